#include "core/mbus/change_requests.h"

#include <algorithm>
#include <array>

#include "core/text/number.h"

namespace orvio {

namespace {

// Medium names and the EN 13757-3 codes written for them; the first matching name wins.
struct MediumCodeRow {
  std::string_view name;
  uint8_t code;
};
constexpr std::array<MediumCodeRow, 12> kMediumCodeTable{{
    {"Oil", 0x01},
    {"Electricity", 0x02},
    {"Gas", 0x03},
    {"Heat meter", 0x04},
    {"Steam", 0x05},
    {"Hot water", 0x06},
    {"Water", 0x07},
    {"H.C.A", 0x08},
    {"Cold meter", 0x0B},
    {"Cold water", 0x16},
    {"Pressure", 0x18},
    {"Other", 0x00},
}};

constexpr uint8_t kDifInt64 = 0x07;  // 8-byte integer
constexpr uint8_t kVifEnhancedId = 0x79;
constexpr uint8_t kDifInt32 = 0x04;        // 32-bit binary integer
constexpr uint8_t kDifBcd8 = 0x0C;         // 8-digit BCD
constexpr uint8_t kVifVolumeLitre = 0x13;  // 0001 0nnn volume 10^(nnn-6) m3, nnn = 3: litres
constexpr size_t kCounterDigits = 8;

bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Eight decimal digits d1..d8 as BCD bytes d7d8, d5d6, d3d4, d1d2.
ByteString BcdLsbFirst(std::string_view d) {
  ByteString out = DigitsToBcd(d);
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace

std::optional<ByteString> LongFrame(uint8_t control, uint8_t address, uint8_t ci,
                                    std::string_view data) {
  const size_t length = 3 + data.size();
  if (length > 255) return std::nullopt;
  ByteString body;
  body += static_cast<char>(control);
  body += static_cast<char>(address);
  body += static_cast<char>(ci);
  body += data;
  uint8_t sum = 0;
  for (char c : body) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  ByteString f = {'\x68', static_cast<char>(length), static_cast<char>(length), '\x68'};
  f += body;
  f += static_cast<char>(sum);
  f += '\x16';
  return f;
}

uint8_t MediumCode(std::string_view name) {
  for (const MediumCodeRow& row : kMediumCodeTable)
    if (row.name == name) return row.code;
  return kUnknownMedium;
}

bool IsMeterId(std::string_view id) { return id.size() == 8 && AllDigits(id); }

std::optional<ByteString> MeterIdBcd(std::string_view id) {
  if (!IsMeterId(id)) return std::nullopt;
  return BcdLsbFirst(id);
}

std::optional<ByteString> MediumChangeTelegram(uint8_t address, std::string_view id,
                                               uint8_t medium) {
  const auto bcd = MeterIdBcd(id);
  if (!bcd) return std::nullopt;
  ByteString data = {static_cast<char>(kDifInt64), static_cast<char>(kVifEnhancedId)};
  data += *bcd;
  data += "\xFF\xFF\xFF";  // manufacturer and version: keep
  data += static_cast<char>(medium);
  return LongFrame(kSndUdControl, address, kCiDataSend, data);
}

std::optional<ByteString> CounterValueBytes(std::string_view digits, CounterEncoding encoding) {
  if (digits.empty() || digits.size() > kCounterDigits || !AllDigits(digits)) return std::nullopt;
  const std::string d = std::string(kCounterDigits - digits.size(), '0') + std::string(digits);
  if (encoding == CounterEncoding::kBcd) return BcdLsbFirst(d);
  const auto n = static_cast<uint32_t>(ParseDecimal(d).value_or(0));  // at most 99999999
  ByteString out(4, '\0');
  for (size_t k = 0; k < 4; ++k) out[k] = static_cast<char>((n >> (8 * k)) & 0xFF);
  return out;
}

std::optional<ByteString> CounterTelegram(uint8_t address, std::string_view digits,
                                          CounterEncoding encoding) {
  const auto value = CounterValueBytes(digits, encoding);
  if (!value) return std::nullopt;
  ByteString data = {static_cast<char>(encoding == CounterEncoding::kBcd ? kDifBcd8 : kDifInt32),
                     static_cast<char>(kVifVolumeLitre)};
  data += *value;
  return LongFrame(kSndUdControl, address, kCiDataSend, data);
}

}  // namespace orvio
