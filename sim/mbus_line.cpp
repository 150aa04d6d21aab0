#include "sim/mbus_line.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

namespace orvio::sim {
namespace {

constexpr uint8_t kAck = 0xE5;
constexpr uint8_t kAddressSelected = 253;   // network layer: the selected slave(s)
constexpr uint8_t kAddressTest = 254;       // every slave answers
constexpr uint8_t kAddressBroadcast = 255;  // every slave listens, none answers

// Data field length by the low nibble of the DIF (0xD variable, 0xF special: handled apart).
//                          0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F
constexpr int kFieldLength[16] = {0, 1, 2, 3, 4, 4, 6, 8, 0, 1, 2, 3, 4, -1, 6, 0};

bool IsBcdField(uint8_t dif) {
  const int code = dif & 0x0F;
  return code >= 0x9 && code <= 0xE && code != 0xD;
}

// A real's integer part; beyond int64's range the nearest end of it, NaN 0. (Casting a float
// outside the range is undefined.) 2^63 is exact as a float; every float below it fits.
int64_t SaturatingInt64(float f) {
  constexpr float kTwo63 = 9223372036854775808.0f;
  if (std::isnan(f)) return 0;
  if (f >= kTwo63) return std::numeric_limits<int64_t>::max();
  if (f < -kTwo63) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(f);
}

constexpr char kDigits[] = "0123456789ABCDEF";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint8_t Checksum(std::string_view bytes) {
  unsigned sum = 0;
  for (unsigned char c : bytes) sum += c;
  return static_cast<uint8_t>(sum);
}

// Digit k (1 = most significant) of an 8-character ID as a nibble value.
int IdNibble(const std::string& id, int k) {
  const int v = HexDigit(id[static_cast<size_t>(k - 1)]);
  return v < 0 ? 0 : v;
}

// The four BCD bytes of an ID as they travel: d7d8, d5d6, d3d4, d1d2.
std::string IdBytes(const std::string& id) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) {
    const int hi = 7 - 2 * i, lo = 8 - 2 * i;
    out[static_cast<size_t>(i)] = static_cast<char>(IdNibble(id, hi) << 4 | IdNibble(id, lo));
  }
  return out;
}

std::string IdFromBytes(std::string_view b) {
  std::string id(8, '0');
  for (int i = 0; i < 4; ++i) {
    const auto v = static_cast<uint8_t>(b[static_cast<size_t>(i)]);
    id[static_cast<size_t>(6 - 2 * i)] = kDigits[v >> 4];
    id[static_cast<size_t>(7 - 2 * i)] = kDigits[v & 0x0F];
  }
  return id;
}

std::string EncodeField(uint8_t dif, int64_t value) {
  const int code = dif & 0x0F;
  if (code == 0x5) {
    const float f = static_cast<float>(value);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<char>(bits >> (8 * i));
    return out;
  }
  if (code == 0xD) return std::string(1, '\0');  // empty variable-length field
  const int length = kFieldLength[code];
  std::string out(static_cast<size_t>(length), '\0');
  if (IsBcdField(dif)) {
    uint64_t v = static_cast<uint64_t>(value < 0 ? -value : value);
    for (int i = 0; i < length; ++i) {
      out[static_cast<size_t>(i)] = static_cast<char>((v / 10 % 10) << 4 | (v % 10));
      v /= 100;
    }
    // A negative BCD value carries F in its most significant digit.
    if (value < 0 && length > 0) out.back() = static_cast<char>(0xF0 | (out.back() & 0x0F));
    return out;
  }
  const auto v = static_cast<uint64_t>(value);
  for (int i = 0; i < length; ++i) out[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
  return out;
}

}  // namespace

// ---- DataRecord ----

DataRecord DataRecord::Number(uint8_t dif, uint8_t vif, int64_t value, const std::string& dife,
                              const std::string& vife) {
  DataRecord r;
  r.header.push_back(static_cast<char>(dif));
  r.header += dife;
  r.header.push_back(static_cast<char>(vif));
  r.header += vife;
  r.data = EncodeField(dif, value);
  return r;
}

uint8_t DataRecord::Dif() const { return header.empty() ? 0 : static_cast<uint8_t>(header[0]); }

uint8_t DataRecord::Vif() const {
  // DIF and DIFEs continue while their extension bit is set; the VIF follows the last one.
  size_t i = 0;
  while (i < header.size() && (static_cast<uint8_t>(header[i]) & 0x80) != 0) ++i;
  ++i;
  return i < header.size() ? static_cast<uint8_t>(header[i]) : 0;
}

int64_t DataRecord::IntegerValue() const {
  const uint8_t dif = Dif();
  const int code = dif & 0x0F;
  if (code == 0x5 && data.size() >= 4) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
      bits |= static_cast<uint32_t>(static_cast<uint8_t>(data[static_cast<size_t>(i)])) << (8 * i);
    float f;
    std::memcpy(&f, &bits, 4);
    return SaturatingInt64(f);
  }
  const int length = kFieldLength[code];
  if (length <= 0 || data.size() < static_cast<size_t>(length)) return 0;
  if (IsBcdField(dif)) {
    int64_t v = 0;
    bool negative = false;
    for (int i = length - 1; i >= 0; --i) {
      const auto b = static_cast<uint8_t>(data[static_cast<size_t>(i)]);
      int hi = b >> 4;
      if (i == length - 1 && hi == 0xF) {
        negative = true;
        hi = 0;
      }
      v = v * 100 + (hi % 10) * 10 + ((b & 0x0F) % 10);
    }
    return negative ? -v : v;
  }
  uint64_t v = 0;
  for (int i = length - 1; i >= 0; --i)
    v = v << 8 | static_cast<uint8_t>(data[static_cast<size_t>(i)]);
  // Sign-extend from the field's width.
  const int bits = 8 * length;
  if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~uint64_t{0} << bits;
  return static_cast<int64_t>(v);
}

// ---- helpers ----

bool ParseHex(std::string_view text, std::string* bytes) {
  bytes->clear();
  int pending = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == ',' || c == '\n' || c == '\r' || c == '\t' || c == ':') continue;
    if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        pending < 0) {
      ++i;
      continue;
    }
    const int d = HexDigit(c);
    if (d < 0) return false;
    if (pending < 0) {
      pending = d;
    } else {
      bytes->push_back(static_cast<char>(pending << 4 | d));
      pending = -1;
    }
  }
  return pending < 0;
}

std::string ToHex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 0x0F]);
  }
  return out;
}

uint16_t PackManufacturer(std::string_view letters) {
  uint16_t code = 0;
  for (size_t i = 0; i < 3; ++i) {
    const int c = i < letters.size() ? std::toupper(static_cast<unsigned char>(letters[i])) : '@';
    code = static_cast<uint16_t>(code << 5 | ((c - 64) & 0x1F));
  }
  return code;
}

std::string UnpackManufacturer(uint16_t code) {
  std::string s(3, '@');
  s[0] = static_cast<char>(64 + ((code >> 10) & 0x1F));
  s[1] = static_cast<char>(64 + ((code >> 5) & 0x1F));
  s[2] = static_cast<char>(64 + (code & 0x1F));
  return s;
}

bool SplitRecords(std::string_view area, std::vector<DataRecord>* records) {
  records->clear();
  size_t pos = 0;
  const size_t n = area.size();
  while (pos < n) {
    const auto dif = static_cast<uint8_t>(area[pos]);
    if (dif == 0x2F) {  // filler
      ++pos;
      continue;
    }
    if ((dif & 0x0F) == 0x0F) {  // manufacturer-specific data to the end
      DataRecord r;
      r.header = std::string(area.substr(pos, 1));
      r.data = std::string(area.substr(pos + 1));
      records->push_back(std::move(r));
      return true;
    }
    const size_t start = pos++;
    // DIFEs while the previous byte has its extension bit.
    for (int k = 0; (static_cast<uint8_t>(area[pos - 1]) & 0x80) != 0; ++k) {
      if (pos >= n || k >= 10) return false;
      ++pos;
    }
    if (pos >= n) return false;
    const auto vif = static_cast<uint8_t>(area[pos++]);
    if ((vif & 0x7F) == 0x7C) {  // plain-text VIF: length byte and the text
      if (pos >= n) return false;
      const size_t len = static_cast<uint8_t>(area[pos]);
      if (pos + 1 + len > n) return false;
      pos += 1 + len;
    }
    for (int k = 0; (static_cast<uint8_t>(area[pos - 1]) & 0x80) != 0; ++k) {
      if (pos >= n || k >= 10) return false;
      ++pos;
    }
    const size_t header_end = pos;
    int length = kFieldLength[dif & 0x0F];
    if ((dif & 0x0F) == 0x0D) {
      if (pos >= n) return false;
      const auto lvar = static_cast<uint8_t>(area[pos]);
      if (lvar < 0xC0)
        length = 1 + lvar;
      else if (lvar < 0xE0)
        length = 1 + (lvar & 0x0F);
      else if (lvar < 0xF0)
        length = 1 + (lvar - 0xE0);
      else if (lvar <= 0xFA)
        length = 1 + (lvar - 0xF0);
      else
        return false;
    }
    if (pos + static_cast<size_t>(length) > n) return false;
    pos += static_cast<size_t>(length);
    DataRecord r;
    r.header = std::string(area.substr(start, header_end - start));
    r.data = std::string(area.substr(header_end, pos - header_end));
    records->push_back(std::move(r));
  }
  return true;
}

size_t MbusFrameLength(std::string_view b) {
  if (b.empty()) return 0;
  const auto at = [&](size_t i) { return static_cast<uint8_t>(b[i]); };
  if (at(0) == kAck) return 1;
  if (at(0) == 0x10) {
    if (b.size() < 5 || at(4) != 0x16) return 0;
    return Checksum(b.substr(1, 2)) == at(3) ? 5 : 0;
  }
  if (at(0) == 0x68) {
    if (b.size() < 6) return 0;
    const size_t l = at(1);
    if (l < 3 || at(2) != l || at(3) != 0x68 || b.size() < l + 6 || at(l + 5) != 0x16) return 0;
    return Checksum(b.substr(4, l)) == at(4 + l) ? l + 6 : 0;
  }
  return 0;
}

std::string AdoptRawTelegram(Meter* meter) {
  const std::string& t = meter->raw_telegram;
  if (MbusFrameLength(t) != t.size() || t.size() < 21 || static_cast<uint8_t>(t[0]) != 0x68)
    return "raw telegram is not a complete M-Bus long frame";
  if (static_cast<uint8_t>(t[6]) != 0x72) return "raw telegram has no long data header (CI 72)";
  meter->primary_address = static_cast<uint8_t>(t[5]);
  meter->id = IdFromBytes(std::string_view(t).substr(7, 4));
  meter->manufacturer = UnpackManufacturer(
      static_cast<uint16_t>(static_cast<uint8_t>(t[11]) | static_cast<uint8_t>(t[12]) << 8));
  meter->version = static_cast<uint8_t>(t[13]);
  meter->medium = static_cast<uint8_t>(t[14]);
  meter->access_number = static_cast<uint8_t>(t[15]);
  meter->status = static_cast<uint8_t>(t[16]);
  const size_t l = static_cast<uint8_t>(t[1]);
  if (!SplitRecords(std::string_view(t).substr(19, l + 4 - 19), &meter->records))
    meter->records.clear();  // a telegram the line replays verbatim all the same
  return {};
}

std::string CheckMeter(const Meter& m) {
  if (m.primary_address < 0 || m.primary_address > 250) return "primary address must be 0..250";
  if (m.id.size() != 8) return "secondary address must have 8 digits";
  // Replayed telegrams may carry hex digits in their ID; F would be a wildcard in selections.
  for (char c : m.id)
    if (HexDigit(c) < 0 || HexDigit(c) == 0xF || (m.raw_telegram.empty() && HexDigit(c) > 9))
      return "secondary address must be 8 decimal digits";
  if (m.manufacturer.size() != 3) return "manufacturer must be three letters";
  for (char c : m.manufacturer)
    if (c < '@' || c > '_') return "manufacturer must be three letters";
  if (!m.raw_telegram.empty()) {
    if (MbusFrameLength(m.raw_telegram) != m.raw_telegram.size() || m.raw_telegram.size() < 21)
      return "raw telegram is not a complete M-Bus long frame";
    return {};
  }
  size_t total = 0;
  for (const DataRecord& r : m.records) {
    if (r.header.empty()) return "data record without DIF";
    total += r.header.size() + r.data.size();
  }
  if (total > 252 - 15) return "data records do not fit one long frame";
  return {};
}

// ---- Meter ----

uint16_t Meter::ManufacturerCode() const { return PackManufacturer(manufacturer); }

std::string Meter::Telegram() const {
  std::string body;
  if (!raw_telegram.empty() && raw_telegram.size() >= 21) {
    const size_t l = static_cast<uint8_t>(raw_telegram[1]);
    body = raw_telegram.substr(4, l);
  } else {
    body = std::string{'\x08', '\0', '\x72'};
    body += std::string(12, '\0');
    body[15 - 4] = static_cast<char>(access_number);
    body[16 - 4] = static_cast<char>(status);
    for (const DataRecord& r : records) body += r.header + r.data;
  }
  // Patch the fields the meter may have changed since (address, identity, medium).
  body[1] = static_cast<char>(primary_address);
  const std::string id_bytes = IdBytes(id);
  std::copy(id_bytes.begin(), id_bytes.end(), body.begin() + 3);
  const uint16_t man = ManufacturerCode();
  body[7] = static_cast<char>(man & 0xFF);
  body[8] = static_cast<char>(man >> 8);
  body[9] = static_cast<char>(version);
  body[10] = static_cast<char>(medium);
  body[12] = static_cast<char>(status);
  std::string frame;
  frame.push_back('\x68');
  frame.push_back(static_cast<char>(body.size()));
  frame.push_back(static_cast<char>(body.size()));
  frame.push_back('\x68');
  frame += body;
  frame.push_back(static_cast<char>(Checksum(body)));
  frame.push_back('\x16');
  return frame;
}

// ---- MbusLine ----

std::string MbusLine::Superimpose(const std::vector<std::string>& answers) const {
  if (answers.empty()) return {};
  if (answers.size() == 1) return answers[0];
  std::string out = answers[0];
  for (size_t k = 1; k < answers.size(); ++k) {
    const std::string& other = answers[k];
    // On the bus a space (0 bit) from any slave wins; an idle line reads as all ones.
    if (other.size() > out.size()) out.resize(other.size(), '\xFF');
    for (size_t i = 0; i < out.size(); ++i) {
      const auto b = i < other.size() ? static_cast<uint8_t>(other[i]) : uint8_t{0xFF};
      out[i] = static_cast<char>(static_cast<uint8_t>(out[i]) & b);
    }
  }
  // Identical acknowledgements superimpose into one; a garbled telegram must never pass.
  if (out.size() > 1 && MbusFrameLength(out) == out.size())
    out[out.size() - 2] = static_cast<char>(out[out.size() - 2] ^ 0x5A);
  return out;
}

void MbusLine::ApplyWrite(Meter& meter, std::string_view area) {
  std::vector<DataRecord> records;
  if (!SplitRecords(area, &records)) return;
  bool records_changed = false;
  for (const DataRecord& r : records) {
    const auto h = [&](size_t i) { return static_cast<uint8_t>(r.header[i]); };
    const auto d = [&](size_t i) { return static_cast<uint8_t>(r.data[i]); };
    if (r.header.size() == 2 && h(0) == 0x01 && h(1) == 0x7A && r.data.size() == 1) {
      if (d(0) <= 250) meter.primary_address = d(0);  // new primary address
    } else if (r.header.size() == 2 && h(0) == 0x07 && h(1) == 0x79 && r.data.size() == 8) {
      // Enhanced identification: ID (BCD, F keeps that digit), manufacturer, version,
      // medium; all-ones fields keep their value.
      std::string id = meter.id;
      const std::string given = IdFromBytes(std::string_view(r.data).substr(0, 4));
      for (size_t i = 0; i < 8; ++i)
        if (given[i] != 'F') id[i] = given[i];
      bool digits = true;
      for (char c : id) digits = digits && c >= '0' && c <= '9';
      if (digits) meter.id = id;
      const uint16_t man = static_cast<uint16_t>(d(4) | d(5) << 8);
      if (man != 0xFFFF) meter.manufacturer = UnpackManufacturer(man);
      if (d(6) != 0xFF) meter.version = d(6);
      if (d(7) != 0xFF) meter.medium = d(7);
    } else if (r.header.size() == 2 && (h(0) == 0x04 || h(0) == 0x0C) && h(1) == 0x13) {
      // Counter value in litres (VIF 13: 10^-3 m3) for the meter's volume register.
      const int64_t litres = r.IntegerValue();
      DataRecord* target = nullptr;
      for (DataRecord& own : meter.records) {
        const uint8_t vif = own.Vif() & 0x7F;
        if ((own.Dif() & 0xF0) == 0 && vif >= 0x10 && vif <= 0x17 && (own.Dif() & 0x0F) != 0x0D &&
            (own.Dif() & 0x0F) != 0x05) {
          target = &own;
          break;
        }
      }
      if (target == nullptr) {
        meter.records.push_back(DataRecord::Number(0x04, 0x13, litres));
      } else {
        // Record VIF 0x10+n holds 10^(n-6) m3, so it holds litres / 10^(n-3).
        const int n = (target->Vif() & 0x07);
        int64_t v = litres;
        for (int i = n; i < 3; ++i) v *= 10;
        for (int i = 3; i < n; ++i) v /= 10;
        target->data = EncodeField(target->Dif(), v);
      }
      records_changed = true;
    }
  }
  if (records_changed && !meter.raw_telegram.empty()) {
    // A replayed telegram carries the new value from now on: rebuild its data area.
    std::string body = meter.raw_telegram.substr(4, 15);
    for (const DataRecord& r : meter.records) body += r.header + r.data;
    if (body.size() > 252) return;
    std::string frame = {'\x68', static_cast<char>(body.size()), static_cast<char>(body.size()),
                         '\x68'};
    frame += body;
    frame.push_back(static_cast<char>(Checksum(body)));
    frame.push_back('\x16');
    meter.raw_telegram = frame;
  }
}

std::string MbusLine::Transact(std::string_view request) {
  const size_t n = MbusFrameLength(request);
  if (n < 5) return {};  // garbage or a lone E5: meters stay silent
  const std::string_view f = request.substr(0, n);
  const auto at = [&](size_t i) { return static_cast<uint8_t>(f[i]); };
  const uint8_t c = at(1 + (at(0) == 0x68 ? 3 : 0)) & 0xDF;  // function without the FCB bit
  const uint8_t a = at(at(0) == 0x68 ? 5 : 2);

  const auto addressed = [&](const Meter& m) {
    if (a == kAddressSelected) return m.selected;
    if (a == kAddressTest || a == kAddressBroadcast) return true;
    return m.primary_address == a;
  };
  const bool answers = a != kAddressBroadcast;
  std::vector<std::string> replies;

  if (at(0) == 0x10) {
    if (c == 0x40) {  // SND_NKE: link reset; to 253 or 255 it also deselects
      for (Meter& m : meters_) {
        if (!addressed(m)) continue;
        if (a == kAddressSelected || a == kAddressBroadcast) m.selected = false;
        if (answers) replies.emplace_back(1, static_cast<char>(kAck));
      }
    } else if (c == 0x5B) {  // REQ_UD2 (C = 5B or 7B)
      if (!answers) return {};
      for (Meter& m : meters_) {
        if (!addressed(m)) continue;
        replies.push_back(m.Telegram());
        ++m.access_number;
      }
    } else if (c == 0x5A) {  // REQ_UD1: no alarm data to report
      for (Meter& m : meters_)
        if (addressed(m) && answers) replies.emplace_back(1, static_cast<char>(kAck));
    }
    return Superimpose(replies);
  }

  if (c != 0x53) return {};  // only SND_UD goes from master to slaves
  const uint8_t ci = at(6);
  const std::string_view data = f.substr(7, n - 9);
  if (a == kAddressSelected && (ci == 0x52 || ci == 0x56)) {
    // Selection by secondary address: ID as BCD, least significant byte first, F = any
    // digit; manufacturer FFFF, version FF and medium FF match anything. Every meter that
    // does not match is deselected.
    if (data.size() < 4) return {};
    const std::string pattern = IdFromBytes(data.substr(0, 4));
    const auto byte = [&](size_t i, int missing) {
      return i < data.size() ? static_cast<int>(static_cast<uint8_t>(data[i])) : missing;
    };
    const int man = data.size() >= 6 ? (byte(4, 0xFF) | byte(5, 0xFF) << 8) : 0xFFFF;
    const int version = byte(6, 0xFF), medium = byte(7, 0xFF);
    for (Meter& m : meters_) {
      bool match = true;
      for (size_t i = 0; i < 8; ++i) match = match && (pattern[i] == 'F' || pattern[i] == m.id[i]);
      match = match && (man == 0xFFFF || man == m.ManufacturerCode());
      match = match && (version == 0xFF || version == m.version);
      match = match && (medium == 0xFF || medium == m.medium);
      m.selected = match;
      if (match) replies.emplace_back(1, static_cast<char>(kAck));
    }
    return Superimpose(replies);
  }
  for (Meter& m : meters_) {
    if (!addressed(m)) continue;
    if (ci == 0x51) ApplyWrite(m, data);
    if (answers) replies.emplace_back(1, static_cast<char>(kAck));
  }
  return Superimpose(replies);
}

}  // namespace orvio::sim
