#include "core/mbus/data_field.h"

#include <cmath>
#include <cstring>

#include "core/bytes.h"
#include "core/mbus/number_format.h"

namespace orvio {

namespace {

enum class Kind { kNone, kInteger, kReal, kInteger64, kSelection, kBcd, kVariable, kSpecial };

// Data field codes, one row per value of the DIF's low nibble (xxxx dddd).
struct DataCode {
  Kind kind;
  uint8_t length;     // bytes
  uint8_t precision;  // significant digits of the shown value
  bool raw_for_78;    // VIF 78 (fabrication number) shows the digits as they are
};

// Shown for a BCD field that is no decimal number within the signed 32-bit range (the only
// field that can fail to convert).
constexpr char kBcdConversionError[] = "Exception ";

constexpr DataCode kDataCodes[16] = {
    {Kind::kNone, 0, 0, false},       // 0000  no data
    {Kind::kInteger, 1, 8, false},    // 0001  8-bit integer
    {Kind::kInteger, 2, 8, false},    // 0010  16-bit integer
    {Kind::kInteger, 3, 11, true},    // 0011  24-bit integer
    {Kind::kInteger, 4, 13, true},    // 0100  32-bit integer
    {Kind::kReal, 4, 9, false},       // 0101  32-bit real
    {Kind::kInteger, 6, 15, true},    // 0110  48-bit integer
    {Kind::kInteger64, 8, 0, false},  // 0111  64-bit integer
    {Kind::kSelection, 0, 0, false},  // 1000  selection for readout
    {Kind::kBcd, 1, 8, false},        // 1001  2-digit BCD
    {Kind::kBcd, 2, 8, false},        // 1010  4-digit BCD
    {Kind::kBcd, 3, 11, true},        // 1011  6-digit BCD
    {Kind::kBcd, 4, 13, true},        // 1100  8-digit BCD
    {Kind::kVariable, 0, 0, false},   // 1101  variable length
    {Kind::kBcd, 6, 15, true},        // 1110  12-digit BCD
    {Kind::kSpecial, 0, 0, false},    // 1111  special functions
};

// Hex digits of `bytes`, most significant (last transmitted) byte first.
void AppendHexReversed(std::string& out, std::string_view bytes) {
  for (size_t i = bytes.size(); i-- > 0;) out += HexByte(ByteAt(bytes, i));
}

// Hex digits of `bytes` in the order stored.
void AppendHex(std::string& out, std::string_view bytes) { out += HexText(bytes); }

// Little-endian two's complement integer of 1 to 8 bytes.
int64_t SignedLittleEndian(std::string_view bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i-- > 0;) v = (v << 8) | static_cast<uint8_t>(bytes[i]);
  const unsigned bits = static_cast<unsigned>(bytes.size()) * 8;
  if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~uint64_t{0} << bits;
  return static_cast<int64_t>(v);
}

std::string VariableField(std::string_view field, DataField& out) {
  if (field.empty()) {
    out.complete = false;
    return kFieldPastEnd;
  }
  const auto lvar = static_cast<uint8_t>(field[0]);
  // LVAR 00h-BFh: that many characters; C0h-FAh: n = low nibble bytes (F0h-FAh: up to 10);
  // FBh-FFh: reserved, the LVAR byte alone.
  size_t n = 0;
  if (lvar <= 0xBF) {
    n = lvar;
  } else if (lvar <= 0xFA) {
    n = static_cast<size_t>(lvar - (lvar & 0xF0));
  }
  out.length = 1 + n;
  if (lvar >= 0xFB) return "Reserved for future use? ";
  if (out.length > field.size()) {
    out.complete = false;
    return kFieldPastEnd;
  }
  const std::string_view data = field.substr(1, n);
  std::string text;
  if (lvar <= 0xBF) {
    text.assign(data);
  } else if (lvar <= 0xCF) {
    AppendHex(text, data);  // positive BCD
  } else if (lvar <= 0xDF) {
    text = "-";  // negative BCD
    AppendHex(text, data);
  } else if (lvar <= 0xEF) {
    text = "0x";  // binary number
    AppendHex(text, data);
  } else {
    text = "Floating point, to be defined in the future, but hex is: 0x";
    AppendHex(text, data);
  }
  return text;
}

}  // namespace

size_t DataFieldLength(uint8_t dif) { return kDataCodes[dif & 0x0F].length; }

std::string BitsToFloatText(std::string_view bits, double multiplier, char decimal_separator) {
  if (bits.size() != 32) return "NaN";
  for (char c : bits) {
    if (c != '0' && c != '1') return "Exception on float conversion";
  }
  // s eeeeeeee fffffffffffffffffffffff
  int exponent = 0;
  for (size_t i = 1; i <= 8; ++i) exponent = exponent * 2 + (bits[i] - '0');
  if (exponent == 255) return "NaN or Infinite";
  // The implicit leading 1 is assumed for every exponent: subnormals are far below the five
  // decimals shown anyway.
  float fraction = 1.0f;
  float weight = 0.5f;
  for (size_t i = 9; i < 32; ++i, weight /= 2) {
    if (bits[i] == '1') fraction += weight;
  }
  const float magnitude = std::ldexp(fraction, exponent - 127);
  std::string text =
      FormatFixed(static_cast<double>(magnitude) * multiplier, 9, 5, decimal_separator);
  if (bits[0] == '1') text.insert(0, 1, '-');
  return text;
}

std::string DecodeTimePoint(std::string_view field, uint8_t vif) {
  const auto b = [&](size_t i) { return static_cast<unsigned>(static_cast<uint8_t>(field[i])); };
  std::string text;
  if (vif == 0x6D || vif == 0xED) {
    // Type F: b0 ..mmmmmm minute, b1 ...hhhhh hour, b2 yyyddddd day, b3 yyyymmmm month
    if (field.size() < 4) return "Exception decoding DateTime";
    const unsigned minute = b(0) & 0x3F, hour = b(1) & 0x1F, day = b(2) & 0x1F, month = b(3) & 0x0F;
    const unsigned year = ((b(2) & 0xE0) >> 5) + ((b(3) & 0xF0) >> 1);
    text = std::to_string(hour) + ":" + (minute < 10 ? "0" : "") + std::to_string(minute) + ", " +
           std::to_string(day) + "." + std::to_string(month) + "." + std::to_string(year);
    return text;
  }
  // Type G: b0 yyyddddd day, b1 yyyymmmm month
  if (field.size() < 2) return "Exception decoding DateTime";
  const unsigned day = b(0) & 0x1F, month = b(1) & 0x0F;
  const unsigned year = ((b(0) & 0xE0) >> 5) + ((b(1) & 0xF0) >> 1);
  return std::to_string(day) + "." + std::to_string(month) + "." + std::to_string(year);
}

DataField DecodeDataField(uint8_t dif, uint8_t vif, std::string_view field, double multiplier,
                          char decimal_separator) {
  const DataCode& code = kDataCodes[dif & 0x0F];
  DataField out;
  out.length = code.length;
  if (code.kind == Kind::kVariable) {
    out.text = VariableField(field, out);
    if (vif == 0x6C || vif == 0x6D || vif == 0xEC || vif == 0xED) {
      // A date in a variable-length field: the bytes after LVAR.
      if (out.complete) out.text = DecodeTimePoint(field.substr(1, out.length - 1), vif);
    }
    return out;
  }
  if (out.length > field.size()) {
    out.complete = false;
    out.text = kFieldPastEnd;
    return out;
  }
  const std::string_view data = field.substr(0, out.length);

  if (vif == 0x6C || vif == 0x6D || vif == 0xEC || vif == 0xED) {
    out.text = DecodeTimePoint(data, vif);
    return out;
  }

  switch (code.kind) {
    case Kind::kNone: out.text = "No data "; break;
    case Kind::kSelection:
    case Kind::kSpecial: out.text = "Unrecognizable DIF, not decoded "; break;
    case Kind::kInteger64:
      out.text = "64-bit integer not supported, but hex is: 0x";
      AppendHexReversed(out.text, data);
      break;
    case Kind::kReal:
      out.text = BitsToFloatText(HexToBits(HexText(std::string(data.rbegin(), data.rend()))),
                                 multiplier, decimal_separator);
      break;
    case Kind::kInteger:
      if (vif == 0x78 && code.raw_for_78) {
        if (data.size() < 4) out.text.assign(2 * (4 - data.size()), '0');
        AppendHexReversed(out.text, data);
      } else {
        out.text = FormatFixed(static_cast<double>(SignedLittleEndian(data)) * multiplier,
                               code.precision, 3, decimal_separator);
      }
      break;
    case Kind::kBcd:
      if (vif == 0x78 && code.raw_for_78) {
        AppendHexReversed(out.text, data);
      } else {
        const auto v = BcdToInt32(data);
        out.text = v ? FormatFixed(static_cast<double>(*v) * multiplier, code.precision, 3,
                                   decimal_separator)
                     : kBcdConversionError;
      }
      break;
    case Kind::kVariable: break;
  }
  return out;
}

}  // namespace orvio
