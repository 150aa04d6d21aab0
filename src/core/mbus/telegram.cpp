#include "core/mbus/telegram.h"

#include <exception>
#include <stdexcept>

#include "core/bytes.h"
#include "core/mbus/data_field.h"
#include "core/mbus/number_format.h"
#include "core/mbus/value_info.h"

namespace orvio {

namespace {

// Preferred units by kind of medium.
enum UnitSet : uint8_t { kEnergy, kVolume, kPressure, kOther };
constexpr std::array<const char*, 3> kUnitSets[] = {
    {"kWh", "kJ", "MJ"},          // kEnergy
    {"m3", "m3", "m3"},           // kVolume
    {"mbar", "mbar", "mbar"},     // kPressure
    {"N/A", "Other", "Unknown"},  // kOther
};

struct MediumRow {
  uint8_t code;
  const char* name;
  UnitSet units;
};
// Medium byte of the fixed header (byte 14). Codes not listed are "Unknown".
constexpr MediumRow kMedia[] = {
    {0x00, "Other", kOther},        {0x01, "Oil", kVolume},
    {0x02, "Electricity", kEnergy}, {0x03, "Gas", kVolume},
    {0x04, "Heat (rt)", kEnergy},   {0x05, "Steam", kOther},
    {0x06, "Hot water", kVolume},   {0x07, "Water", kVolume},
    {0x08, "Heat C.A.", kOther},    {0x09, "Compr. Air", kOther},
    {0x0A, "Cooling, rt", kEnergy}, {0x0B, "Cooling, ft", kEnergy},
    {0x0C, "Heat (ft)", kEnergy},   {0x0D, "H/C load meter", kEnergy},
    {0x0E, "Bus/System", kOther},   {0x0F, "Unknown", kOther},
    {0x16, "Cold water", kVolume},  {0x17, "Dual water", kVolume},
    {0x18, "Pressure", kPressure},  {0x19, "A/D converter", kOther},
};

// Fixed-layout data types (DIF low nibble): bytes read and how.
enum class FixedKind { kUnsigned, kInt32, kBcd, kNone };
struct FixedCode {
  FixedKind kind;
  uint8_t length;
};
constexpr FixedCode kFixedCodes[16] = {
    {FixedKind::kNone, 0},      // 0000
    {FixedKind::kUnsigned, 1},  // 0001  8-bit unsigned
    {FixedKind::kUnsigned, 2},  // 0010  16-bit unsigned
    {FixedKind::kUnsigned, 3},  // 0011  24-bit unsigned
    {FixedKind::kInt32, 4},     // 0100  32-bit integer
    {FixedKind::kInt32, 4},     // 0101  read as a 32-bit integer too
    {FixedKind::kInt32, 4},     // 0110  first four bytes as a 32-bit integer
    {FixedKind::kNone, 0},      // 0111
    {FixedKind::kNone, 0},      // 1000
    {FixedKind::kBcd, 1},       // 1001  2-digit BCD
    {FixedKind::kBcd, 2},       // 1010  4-digit BCD
    {FixedKind::kBcd, 3},       // 1011  6-digit BCD
    {FixedKind::kBcd, 4},       // 1100  8-digit BCD
    {FixedKind::kNone, 0},      // 1101
    {FixedKind::kBcd, 6},       // 1110  12-digit BCD
    {FixedKind::kNone, 0},      // 1111
};

// Register data bytes of a ZPA meter: byte 23 and byte 33.
constexpr size_t kZpaRegisters[2] = {23, 33};

}  // namespace

std::string DecodeManufacturer(uint8_t low, uint8_t high) {
  const unsigned m = low + 256u * high;
  std::string letters(3, ' ');
  letters[0] = static_cast<char>(64 + ((m >> 10) & 0x3F));
  letters[1] = static_cast<char>(64 + ((m >> 5) & 0x1F));
  letters[2] = static_cast<char>(64 + (m & 0x1F));
  return letters;
}

Medium MediumName(uint8_t code) {
  const char* name = "Unknown";
  UnitSet set = kOther;
  for (const MediumRow& row : kMedia) {
    if (row.code == code) {
      name = row.name;
      set = row.units;
      break;
    }
  }
  const auto& units = kUnitSets[set];
  return {name, {units[0], units[1], units[2]}};
}

FixedRecord DecodeFixedRecord(std::string_view t, size_t data, char decimal_separator) {
  FixedRecord out;
  const size_t end = t.size() >= 2 ? t.size() - 2 : 0;  // checksum byte
  if (data < 4 || data > end) {
    out.inside = false;
    return out;
  }
  const uint8_t dif = static_cast<uint8_t>(t[data - 4]);
  const FixedCode code = kFixedCodes[dif & 0x0F];
  if (code.kind == FixedKind::kNone) {
    out.trace = "Unrecognizable DIF value - not decoded, 1...";
    return out;
  }
  if (data + code.length > end) {
    out.inside = false;
    return out;
  }
  const std::string_view bytes = t.substr(data, code.length);
  const ValueInfo info = DecodeValueInfo(static_cast<uint8_t>(t[data - 2]) & 0x0F, {});
  double raw = 0;
  if (code.kind == FixedKind::kBcd) {
    // Same rule as the record table: digits 0-9 only, at most 2147483647.
    const auto v = BcdToInt32(bytes);
    if (!v) return out;  // conversion error: value, unit empty
    raw = static_cast<double>(*v);
  } else {
    uint32_t v = 0;
    for (size_t i = bytes.size(); i-- > 0;) v = (v << 8) | static_cast<uint8_t>(bytes[i]);
    raw = code.kind == FixedKind::kInt32 ? static_cast<double>(static_cast<int32_t>(v))
                                         : static_cast<double>(v);
  }
  out.value = FormatFixed(raw * info.multiplier, 8, 3, decimal_separator);
  out.unit = info.unit;
  return out;
}

TelegramDecode DecodeTelegram(std::string_view t, char decimal_separator) {
  TelegramDecode out;
  out.trace.push_back("Respond: " + TraceHex(t));
  if (t.size() < 8) return out;

  const auto at = [&](size_t i) { return static_cast<uint8_t>(t[i]); };
  const size_t n = t.size();
  bool ok = true;
  uint8_t sum = 0;
  for (size_t i = 4; i + 2 < n; ++i) sum = static_cast<uint8_t>(sum + at(i));
  if (sum != at(n - 2)) {
    out.trace.emplace_back("Wrong CRC");
    ok = false;
  }
  if (at(n - 1) != 0x16) {
    out.trace.emplace_back("Wrong STOP byte");
    ok = false;
  }
  if (n != static_cast<size_t>(at(1)) + 6) {
    out.trace.emplace_back("Wrong length in the header");
    ok = false;
  }
  if (!ok) return out;

  try {
    // A sound frame without the header's bytes (a control frame, not an RSP_UD) cannot be read.
    if (n < kMinHeaderTelegram) throw std::out_of_range("fixed header");
    TelegramHeader& h = out.header;
    h.address = at(5);
    h.id = HexText(std::string{t[10], t[9], t[8], t[7]});
    h.manufacturer = DecodeManufacturer(at(11), at(12));
    h.medium_code = at(14);
    h.medium = MediumName(h.medium_code);
    h.status = HexByte(at(16));

    if (h.manufacturer == "ZPA") {
      // Fixed layout: two registers whose sum is the meter's value.
      FixedRecord reg[2];
      bool inside = true;
      for (int i = 0; i < 2; ++i) {
        reg[i] = DecodeFixedRecord(t, kZpaRegisters[i], decimal_separator);
        if (!reg[i].trace.empty()) out.trace.push_back(reg[i].trace);
        inside = inside && reg[i].inside;
      }
      if (inside) {
        double total = 0;
        for (const FixedRecord& r : reg) {
          double v = 0;
          if (ParseFixed(r.value, v, decimal_separator)) total += v;  // unreadable counts 0
        }
        out.value = FormatFixed(total, 8, 3, decimal_separator);
        out.unit = reg[1].unit;
      } else {
        // A telegram too short for both registers has no total worth showing.
        out.trace.emplace_back("ZPA telegram too short for its registers");
      }
    } else {
      out.records = DecodeRecords(t, decimal_separator);
      for (const RecordRow& row : out.records) {
        const auto& u = h.medium.units;
        if (row.unit == u[0] || row.unit == u[1] || row.unit == u[2]) {
          out.value = row.value;
          out.unit = row.unit;
          break;
        }
      }
    }
  } catch (const std::exception&) {
    out.trace.emplace_back("Unexpected error in the telegram...");
    out.records.clear();
    return out;
  }

  out.decoded = true;
  out.ok = true;
  const TelegramHeader& h = out.header;
  out.summary = {
      h.id, std::to_string(h.address), h.manufacturer, out.value, out.unit, h.medium.name, h.status,
      ""};
  return out;
}

size_t LongFrameLength(std::string_view bytes) {
  if (bytes.size() < 4) return 0;
  const auto at = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  if (at(0) != 0x68 || at(3) != 0x68 || at(1) != at(2)) return 0;
  const size_t length = static_cast<size_t>(at(1)) + 6;
  return length <= bytes.size() ? length : 0;
}

std::vector<ByteString> SplitJoinedTelegrams(const ByteString& bytes) {
  std::vector<ByteString> out;
  std::string_view rest = bytes;
  for (;;) {
    const size_t length = LongFrameLength(rest);
    if (length == 0 || length >= rest.size() || static_cast<uint8_t>(rest[length - 1]) != 0x16 ||
        static_cast<uint8_t>(rest[length]) != 0x68)
      break;
    out.emplace_back(rest.substr(0, length));
    rest.remove_prefix(length);
  }
  out.emplace_back(rest);
  return out;
}

}  // namespace orvio
