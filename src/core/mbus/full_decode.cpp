#include "core/mbus/full_decode.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/mbus/data_field.h"
#include "core/mbus/number_format.h"
#include "core/mbus/records.h"
#include "core/mbus/telegram.h"
#include "core/mbus/value_info.h"

namespace orvio {

namespace {

constexpr const char* kTimeUnits[4] = {"s", "min", "h", "d"};             // nn of E...nn codes
constexpr const char* kLongTimeUnits[4] = {"h", "d", "months", "years"};  // pp of FD 68-6F
constexpr size_t kMaxExtensions = 10;  // DIFEs and VIFEs a record may carry

constexpr char kDegreeC[] = "\u00B0C";
constexpr char kDegreeF[] = "\u00B0F";

// What a VIF (or the true VIF of the FB/FD tables) says.
struct VifMeaning {
  std::string quantity;
  std::string unit;
  int exponent = 0;  // the value is the field times 10^exponent, in `unit`
  enum Kind : uint8_t { kNumber, kDate, kDateTime, kManufacturer } kind = kNumber;
};

VifMeaning Number(std::string quantity, std::string unit, int exponent = 0) {
  return {std::move(quantity), std::move(unit), exponent, VifMeaning::kNumber};
}

// Primary VIF table; `c` has the extension bit cleared.
VifMeaning PrimaryVif(uint8_t c) {
  const int n3 = c & 7, n2 = c & 3;
  if (c <= 0x07) return Number("Energy", "Wh", n3 - 3);                    // E000 0nnn
  if (c <= 0x0F) return Number("Energy", "J", n3);                         // E000 1nnn
  if (c <= 0x17) return Number("Volume", "m^3", n3 - 6);                   // E001 0nnn
  if (c <= 0x1F) return Number("Mass", "kg", n3 - 3);                      // E001 1nnn
  if (c <= 0x23) return Number("On time", kTimeUnits[n2]);                 // E010 00nn
  if (c <= 0x27) return Number("Operating time", kTimeUnits[n2]);          // E010 01nn
  if (c <= 0x2F) return Number("Power", "W", n3 - 3);                      // E010 1nnn
  if (c <= 0x37) return Number("Power", "J/h", n3);                        // E011 0nnn
  if (c <= 0x3F) return Number("Volume flow", "m^3/h", n3 - 6);            // E011 1nnn
  if (c <= 0x47) return Number("Volume flow", "m^3/min", n3 - 7);          // E100 0nnn
  if (c <= 0x4F) return Number("Volume flow", "m^3/s", n3 - 9);            // E100 1nnn
  if (c <= 0x57) return Number("Mass flow", "kg/h", n3 - 3);               // E101 0nnn
  if (c <= 0x5B) return Number("Flow temperature", kDegreeC, n2 - 3);      // E101 10nn
  if (c <= 0x5F) return Number("Return temperature", kDegreeC, n2 - 3);    // E101 11nn
  if (c <= 0x63) return Number("Temperature difference", "K", n2 - 3);     // E110 00nn
  if (c <= 0x67) return Number("External temperature", kDegreeC, n2 - 3);  // E110 01nn
  if (c <= 0x6B) return Number("Pressure", "bar", n2 - 3);                 // E110 10nn
  if (c == 0x6C) return {"Date", "", 0, VifMeaning::kDate};                // type G
  if (c == 0x6D) return {"Date and time", "", 0, VifMeaning::kDateTime};   // type F
  if (c == 0x6E) return Number("Units for H.C.A.", "");
  if (c <= 0x6F) return Number("Reserved", "");
  if (c <= 0x73) return Number("Averaging duration", kTimeUnits[n2]);  // E111 00nn
  if (c <= 0x77) return Number("Actuality duration", kTimeUnits[n2]);  // E111 01nn
  if (c == 0x78) return Number("Fabrication number", "");
  if (c == 0x79) return Number("Enhanced identification", "");
  if (c == 0x7A) return Number("Bus address", "");
  if (c == 0x7E) return Number("Any VIF", "");
  if (c == 0x7F) return {"Manufacturer specific", "", 0, VifMeaning::kManufacturer};
  return Number("Reserved", "");  // 7B, 7D without their table byte
}

// Main VIFE table after VIF FD; `c` has the extension bit cleared.
VifMeaning FdVif(uint8_t c) {
  // clang-format off
  static constexpr const char* kNames[0x40] = {
      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // credit, debit
      "Access number", "Medium", "Manufacturer", "Parameter set identification",
      "Model/Version", "Hardware version", "Firmware version", "Software version",
      "Customer location", "Customer", "Access code user", "Access code operator",
      "Access code system operator", "Access code developer", "Password", "Error flags",
      "Error mask", "Reserved", "Digital output", "Digital input",
      "Baud rate", "Response delay time", "Retry", "Reserved",
      "First storage number for cyclic storage", "Last storage number for cyclic storage",
      "Size of storage block", "Reserved",
      nullptr, nullptr, nullptr, nullptr,  // storage interval s..d
      nullptr, nullptr, "Reserved", "Reserved",  // storage interval months, years
      nullptr, nullptr, nullptr, nullptr,        // duration since last readout s..d
      "Start of tariff", nullptr, nullptr, nullptr,  // duration of tariff min..d
      nullptr, nullptr, nullptr, nullptr,            // period of tariff s..d
      nullptr, nullptr, "Dimensionless", "Reserved",  // period of tariff months, years
      "Reserved", "Reserved", "Reserved", "Reserved"};
  // clang-format on
  const int n2 = c & 3;
  if (c <= 0x03) return Number("Credit", "currency units", n2 - 3);
  if (c <= 0x07) return Number("Debit", "currency units", n2 - 3);
  if (c == 0x1C) return Number("Baud rate", "Bd");
  if (c == 0x1D) return Number("Response delay time", "bit times");
  if (c >= 0x24 && c <= 0x27) return Number("Storage interval", kTimeUnits[n2]);
  if (c == 0x28) return Number("Storage interval", "months");
  if (c == 0x29) return Number("Storage interval", "years");
  if (c >= 0x2C && c <= 0x2F) return Number("Duration since last readout", kTimeUnits[n2]);
  if (c == 0x30) return {"Start of tariff", "", 0, VifMeaning::kDateTime};
  if (c >= 0x31 && c <= 0x33) return Number("Duration of tariff", kTimeUnits[n2]);
  if (c >= 0x34 && c <= 0x37) return Number("Period of tariff", kTimeUnits[n2]);
  if (c == 0x38) return Number("Period of tariff", "months");
  if (c == 0x39) return Number("Period of tariff", "years");
  if (c < 0x40) return Number(kNames[c], "");
  if (c <= 0x4F) return Number("Voltage", "V", (c & 0x0F) - 9);   // E100 nnnn
  if (c <= 0x5F) return Number("Current", "A", (c & 0x0F) - 12);  // E101 nnnn
  static constexpr const char* kHigh[8] = {"Reset counter",
                                           "Cumulation counter",
                                           "Control signal",
                                           "Day of week",
                                           "Week number",
                                           "Time point of day change",
                                           "State of parameter activation",
                                           "Special supplier information"};
  if (c <= 0x67) return Number(kHigh[c - 0x60], "");
  if (c <= 0x6B) return Number("Duration since last cumulation", kLongTimeUnits[n2]);
  if (c <= 0x6F) return Number("Operating time battery", kLongTimeUnits[n2]);
  if (c == 0x70) return {"Date and time of battery change", "", 0, VifMeaning::kDateTime};
  return Number("Reserved", "");
}

// Alternate extended VIF table after VIF FB; `c` has the extension bit cleared.
VifMeaning FbVif(uint8_t c) {
  const int n1 = c & 1, n2 = c & 3, n3 = c & 7;
  if (c <= 0x01) return Number("Energy", "MWh", n1 - 1);
  if (c == 0x08 || c == 0x09) return Number("Energy", "GJ", n1 - 1);
  if (c == 0x10 || c == 0x11) return Number("Volume", "m^3", n1 + 2);
  if (c == 0x18 || c == 0x19) return Number("Mass", "t", n1 + 2);
  if (c == 0x21) return Number("Volume", "ft^3", -1);
  if (c == 0x22) return Number("Volume", "US gal", -1);
  if (c == 0x23) return Number("Volume", "US gal");
  if (c == 0x24) return Number("Volume flow", "US gal/min", -3);
  if (c == 0x25) return Number("Volume flow", "US gal/min");
  if (c == 0x26) return Number("Volume flow", "US gal/h");
  if (c == 0x28 || c == 0x29) return Number("Power", "MW", n1 - 1);
  if (c == 0x30 || c == 0x31) return Number("Power", "GJ/h", n1 - 1);
  if (c >= 0x58 && c <= 0x5B) return Number("Flow temperature", kDegreeF, n2 - 3);
  if (c >= 0x5C && c <= 0x5F) return Number("Return temperature", kDegreeF, n2 - 3);
  if (c >= 0x60 && c <= 0x63) return Number("Temperature difference", kDegreeF, n2 - 3);
  if (c >= 0x64 && c <= 0x67) return Number("External temperature", kDegreeF, n2 - 3);
  if (c >= 0x70 && c <= 0x73) return Number("Cold/warm temperature limit", kDegreeF, n2 - 3);
  if (c >= 0x74 && c <= 0x77) return Number("Cold/warm temperature limit", kDegreeC, n2 - 3);
  if (c >= 0x78) return Number("Cumulative count of maximum power", "W", n3 - 3);
  return Number("Reserved", "");
}

// Record error codes (VIFE E000 xxxx, E001 xxxx in a response).
const char* RecordErrorName(uint8_t c) {
  switch (c) {
    case 0x00: return "no error";
    case 0x01: return "too many DIFEs";
    case 0x02: return "storage number not implemented";
    case 0x03: return "unit number not implemented";
    case 0x04: return "tariff number not implemented";
    case 0x05: return "function not implemented";
    case 0x06: return "data class not implemented";
    case 0x07: return "data size not implemented";
    case 0x0B: return "too many VIFEs";
    case 0x0C: return "illegal VIF group";
    case 0x0D: return "illegal VIF exponent";
    case 0x0E: return "VIF/DIF mismatch";
    case 0x0F: return "unimplemented action";
    case 0x15: return "no data available (undefined value)";
    case 0x16: return "data overflow";
    case 0x17: return "data underflow";
    case 0x18: return "data error";
    case 0x1C: return "premature end of record";
    default: return "reserved";
  }
}

// What one combinable (orthogonal) VIFE does to the record.
struct VifeEffect {
  std::string text;
  // The VIFE changes what the data field holds: a date (of a limit exceed or of a duration),
  // a duration in the VIFE's time unit, or a count of exceeds.
  enum Holds : uint8_t { kSame, kTimePoint, kDuration, kCount } holds = kSame;
  const char* duration_unit = "";
  int exponent = 0;             // multiplicative correction 10^x
  std::optional<int> additive;  // additive correction 10^x in the VIF's unit
  bool manufacturer_follows = false;
};

VifeEffect OrthogonalVife(uint8_t c) {
  // clang-format off
  static constexpr const char* kPer[0x1D] = {
      "per second", "per minute", "per hour", "per day", "per week", "per month", "per year",
      "per revolution/measurement", "increment per input pulse on input channel 0",
      "increment per input pulse on input channel 1",
      "increment per output pulse on output channel 0",
      "increment per output pulse on output channel 1", "per litre", "per m^3", "per kg",
      "per K", "per kWh", "per GJ", "per kW", "per K*l", "per V", "per A", "multiplied by s",
      "multiplied by s/V", "multiplied by s/A", "start date(/time) of",
      "uncorrected unit", "accumulation only if positive contributions",
      "accumulation of abs value only if negative contributions"};
  // clang-format on
  VifeEffect e;
  const bool upper = c & 0x08, last = c & 0x04, end = c & 0x01;
  const std::string limit = upper ? "upper limit" : "lower limit";
  if (c <= 0x1F) {
    e.text = std::string("record error: ") + RecordErrorName(c);
  } else if (c <= 0x3C) {
    e.text = kPer[c - 0x20];
    if (c == 0x39) e.holds = VifeEffect::kTimePoint;
  } else if (c <= 0x3F) {
    e.text = "reserved";
  } else if (c <= 0x4F) {
    switch (c & 0x07) {
      case 0: e.text = limit + " value"; break;
      case 1:
        e.text = "number of exceeds of " + limit;
        e.holds = VifeEffect::kCount;
        break;
      case 2:
      case 3:
      case 6:
      case 7:
        e.text = std::string("date(/time) of ") + (end ? "end" : "begin") + " of " +
                 (last ? "last " : "first ") + limit + " exceed";
        e.holds = VifeEffect::kTimePoint;
        break;
      default: e.text = "reserved";
    }
  } else if (c <= 0x5F) {
    e.text = std::string("duration of ") + (last ? "last " : "first ") + limit + " exceed";
    e.holds = VifeEffect::kDuration;
    e.duration_unit = kTimeUnits[c & 3];
  } else if (c <= 0x67) {
    e.text = std::string("duration of ") + (last ? "last" : "first");
    e.holds = VifeEffect::kDuration;
    e.duration_unit = kTimeUnits[c & 3];
  } else if (c <= 0x6F) {
    switch (c) {
      case 0x68: e.text = "value during lower limit exceed"; break;
      case 0x69: e.text = "leakage values"; break;
      case 0x6C: e.text = "value during upper limit exceed"; break;
      case 0x6D: e.text = "overflow values"; break;
      default:
        e.text = std::string("date(/time) of ") + (end ? "end" : "begin") + " of " +
                 (last ? "last" : "first");
        e.holds = VifeEffect::kTimePoint;
    }
  } else if (c <= 0x77) {
    e.exponent = (c & 7) - 6;
    e.text = "multiplicative correction factor 10^" + std::to_string(e.exponent);
  } else if (c <= 0x7B) {
    e.additive = (c & 3) - 3;
    e.text = "additive correction constant 10^" + std::to_string(*e.additive);
  } else if (c == 0x7C) {
    e.text = "reserved";
  } else if (c == 0x7D) {
    e.exponent = 3;
    e.text = "multiplicative correction factor 10^3";
  } else if (c == 0x7E) {
    e.text = "future value";
  } else {
    e.text = "manufacturer-specific VIFEs and data follow";
    e.manufacturer_follows = true;
  }
  return e;
}

// Bytes as hex digits, most significant (last transmitted) byte first.
std::string HexReversed(std::string_view bytes) {
  return HexText(std::string(bytes.rbegin(), bytes.rend()));
}

// Exact decimal text of `digits` (decimal digits, most significant first) times 10^exponent.
std::string DecimalText(bool negative, std::string digits, int exponent) {
  const size_t nz = digits.find_first_not_of('0');
  digits = nz == std::string::npos ? "0" : digits.substr(nz);
  if (digits == "0") negative = false;
  if (exponent >= 0) {
    if (digits != "0") digits.append(static_cast<size_t>(exponent), '0');
  } else {
    const size_t decimals = static_cast<size_t>(-exponent);
    if (digits.size() <= decimals) digits.insert(0, decimals - digits.size() + 1, '0');
    digits.insert(digits.size() - decimals, 1, '.');
  }
  return negative ? "-" + digits : digits;
}

std::string ShortestText(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// An IEEE 754 single as decimal digits and a power of ten (shortest round trip).
std::string FloatText(float f, int exponent) {
  if (!std::isfinite(f)) return std::isnan(f) ? "NaN" : (f < 0 ? "-INF" : "INF");
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(f), std::chars_format::scientific);
  const std::string s(buf, r.ptr);  // d.ddde+XX
  const size_t e_at = s.find('e');
  std::string digits;
  for (char c : s.substr(0, e_at)) {
    if (c != '.') digits += c;
  }
  const int e10 = std::stoi(s.substr(e_at + 1)) - static_cast<int>(digits.size()) + 1;
  return DecimalText(std::signbit(f), digits, e10 + exponent);
}

int CalendarYear(int y, int hundreds) {
  if (hundreds > 0) return 1900 + 100 * hundreds + y;
  return y <= 80 ? 2000 + y : 1900 + y;  // two-digit years 81..99 are 1981..1999
}

std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// Type G (2 bytes) or type F (4 bytes); anything else is not a date.
std::optional<TimePoint> DecodeDate(std::string_view d) {
  const auto b = [&](size_t i) { return static_cast<int>(ByteAt(d, i)); };
  TimePoint t;
  int y = 0, hundreds = 0;
  if (d.size() == 2) {
    t.day = b(0) & 0x1F;
    t.month = b(1) & 0x0F;
    y = ((b(0) & 0xE0) >> 5) | ((b(1) & 0xF0) >> 1);
  } else if (d.size() == 4) {
    t.has_time = true;
    t.minute = b(0) & 0x3F;
    t.invalid = b(0) & 0x80;
    t.hour = b(1) & 0x1F;
    hundreds = (b(1) >> 5) & 0x03;
    t.summer_time = b(1) & 0x80;
    t.day = b(2) & 0x1F;
    t.month = b(3) & 0x0F;
    y = ((b(2) & 0xE0) >> 5) | ((b(3) & 0xF0) >> 1);
  } else {
    return std::nullopt;
  }
  t.year = y == 127 ? -1 : CalendarYear(y, hundreds);
  if (t.month == 15) t.month = -1;
  return t;
}

std::string TimePointText(const TimePoint& t) {
  std::string s = t.year < 0 ? "*" : std::to_string(t.year);
  s += "-" + (t.month < 0 ? std::string("*") : TwoDigits(t.month)) + "-" + TwoDigits(t.day);
  if (t.has_time) s += "T" + TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
  if (t.invalid) s += " invalid";
  if (t.summer_time) s += " summer time";
  return s;
}

// BCD digits, most significant first; a leading F nibble is the minus sign. False when another
// nibble is not a decimal digit.
bool BcdDigits(std::string_view bytes, bool& negative, std::string& digits) {
  digits = HexReversed(bytes);
  negative = !digits.empty() && digits[0] == 'F';
  if (negative) digits[0] = '0';
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int64_t SignedLittleEndian(std::string_view bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i-- > 0;) v = (v << 8) | ByteAt(bytes, i);
  const unsigned bits = static_cast<unsigned>(bytes.size()) * 8;
  if (bits > 0 && bits < 64 && ((v >> (bits - 1)) & 1)) v |= ~uint64_t{0} << bits;
  return static_cast<int64_t>(v);
}

std::string IntegerText(int64_t v, int exponent) {
  const bool negative = v < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  return DecimalText(negative, std::to_string(magnitude), exponent);
}

constexpr const char* kIntegerTypes[9] = {"",
                                          "8-bit integer",
                                          "16-bit integer",
                                          "24-bit integer",
                                          "32-bit integer",
                                          "32-bit real",
                                          "48-bit integer",
                                          "64-bit integer",
                                          "selection for readout"};

// Fills data_type, value, numeric and time of `r` from its data field.
void DecodeValue(FullRecord& r, const VifMeaning& m, int exponent) {
  const uint8_t type = ByteAt(r.dif, 0) & 0x0F;
  const std::string_view d = r.data;
  const bool is_date = m.kind == VifMeaning::kDate || m.kind == VifMeaning::kDateTime;
  std::string digits;
  bool negative = false;
  bool numeric = false;

  if (type == 0x00) {
    r.data_type = "no data";
    return;
  }
  if (type == 0x08) {
    r.data_type = kIntegerTypes[8];
    return;
  }
  if (type == 0x0D) {
    const uint8_t lvar = ByteAt(d, 0);
    const std::string_view v = d.substr(1);
    if (lvar <= 0xBF) {
      r.data_type = "variable length text";
      r.value = Latin1ToUtf8(std::string(v.rbegin(), v.rend()));  // sent last character first
      return;
    }
    if (lvar <= 0xDF) {
      r.data_type = lvar <= 0xCF ? "variable length BCD" : "variable length negative BCD";
      if (!BcdDigits(v, negative, digits)) {
        r.value = HexReversed(v);
        r.error = "BCD digits out of range";
        return;
      }
      r.value = DecimalText(negative || lvar >= 0xD0, digits, exponent);
      numeric = true;
    } else if (lvar <= 0xEF && v.size() <= 8) {
      r.data_type = "variable length integer";
      r.value = IntegerText(SignedLittleEndian(v), exponent);
      numeric = true;
    } else {
      r.data_type = "variable length binary";
      r.value = "0x" + HexReversed(v);
      return;
    }
  } else if (is_date && (d.size() == 2 || d.size() == 4) && type != 0x05) {
    r.data_type = d.size() == 2 ? "date (type G)" : "date and time (type F)";
    r.time = DecodeDate(d);
    r.value = TimePointText(*r.time);
    return;
  } else if (type == 0x05) {
    r.data_type = kIntegerTypes[5];
    float f;
    uint32_t bits = static_cast<uint32_t>(SignedLittleEndian(d));
    std::memcpy(&f, &bits, sizeof f);
    r.value = FloatText(f, exponent);
    numeric = std::isfinite(f);
  } else if (type <= 0x07) {
    r.data_type = kIntegerTypes[type];
    r.value = IntegerText(SignedLittleEndian(d), exponent);
    numeric = true;
  } else {
    r.data_type = std::to_string(2 * d.size()) + "-digit BCD";
    if (!BcdDigits(d, negative, digits)) {
      r.value = HexReversed(d);
      r.error = "BCD digits out of range";
      return;
    }
    r.value = DecimalText(negative, digits, exponent);
    numeric = true;
  }
  if (numeric) {
    double v = 0;
    if (ParseFixed(r.value, v)) r.numeric = v;
  }
}

void AppendExtension(FullRecord& r, std::string text) {
  r.quantity += r.extensions.empty() ? ", " : "; ";
  r.quantity += text;
  r.extensions.push_back(std::move(text));
}

// Unit code (six bits) of a counter of the fixed data structure.
struct FixedUnit {
  std::string quantity;
  std::string unit;
  int exponent = 0;
};

FixedUnit FixedUnitOf(uint8_t code) {
  // 02h..37h: six quantities, each three units times 1, 10 and 100.
  static constexpr const char* kGroups[6][4] = {
      {"Energy", "Wh", "kWh", "MWh"}, {"Energy", "kJ", "MJ", "GJ"},
      {"Power", "W", "kW", "MW"},     {"Power", "kJ/h", "MJ/h", "GJ/h"},
      {"Volume", "ml", "l", "m^3"},   {"Volume flow", "ml/h", "l/h", "m^3/h"}};
  if (code == 0x00) return {"Time", "h,m,s"};
  if (code == 0x01) return {"Date", "D,M,Y"};
  if (code <= 0x37) {
    const int k = code - 0x02;
    const auto* g = kGroups[k / 9];
    return {g[0], g[1 + (k % 9) / 3], k % 3};
  }
  if (code == 0x38) return {"Temperature", kDegreeC, -3};
  if (code == 0x39) return {"Units for H.C.A.", ""};
  if (code == 0x3F) return {"Without units", ""};
  return {"Reserved", ""};  // 3Ah..3Dh; 3Eh (same but historic) is read by the caller
}

// Reads the fixed data structure after the CI field at 6: `end` is the checksum byte.
void DecodeFixedStructure(std::string_view t, size_t end, FullDecode& out) {
  constexpr size_t kFixedBytes = 16;  // identification 4, access 1, status 1, medium/unit 2, 2 x 4
  const auto at = [&](size_t i) { return ByteAt(t, i); };
  if (7 + kFixedBytes > end) {
    out.errors.emplace_back("Telegram too short for the fixed data structure");
    return;
  }
  FullHeader& h = out.header;
  h.fixed_structure = true;
  h.length = 1 + 8;
  h.id = HexText(std::string{t[10], t[9], t[8], t[7]});
  h.access_number = at(11);
  h.status = at(12);
  h.status_bits = FixedStatusBitNames(h.status);
  const uint8_t units[2] = {at(13), at(14)};
  h.medium_unit = static_cast<uint16_t>(units[0] | units[1] << 8);
  h.medium_code = static_cast<uint8_t>((units[0] >> 6) | (units[1] >> 6) << 2);
  h.medium = FixedMediumName(h.medium_code);
  out.ok = true;

  const bool binary = h.status & 0x01;
  const bool fixed_date = h.status & 0x02;
  FixedUnit first;
  for (int i = 0; i < 2; ++i) {
    FullRecord r;
    r.number = i + 1;
    r.offset = r.data_offset = 15 + 4 * static_cast<size_t>(i);
    r.length = 4;
    r.data = t.substr(r.offset, 4);
    r.storage = fixed_date ? 1 : 0;
    const uint8_t code = units[i] & 0x3F;
    FixedUnit u = FixedUnitOf(code);
    if (i == 1 && code == 0x3E) {
      u = first;  // the first counter's unit, a historic value
      r.storage = 1;
    }
    r.quantity = u.quantity;
    r.unit = u.unit;
    if (i == 1 && code == 0x3E) AppendExtension(r, "historic value in the unit of counter 1");
    if (i == 0) first = u;
    std::string digits;
    bool negative = false;
    if (binary) {
      r.data_type = kIntegerTypes[4];
      r.value = IntegerText(SignedLittleEndian(r.data), u.exponent);
    } else {
      r.data_type = "8-digit BCD";
      if (!BcdDigits(r.data, negative, digits)) {
        r.value = HexReversed(r.data);
        r.error = "BCD digits out of range";
        out.errors.push_back("Record " + std::to_string(r.number) + ": " + r.error);
      } else {
        r.value = DecimalText(negative, digits, u.exponent);
      }
    }
    double v = 0;
    if (r.error.empty() && ParseFixed(r.value, v)) r.numeric = v;
    out.records.push_back(std::move(r));
  }
  if (7 + kFixedBytes < end) {
    out.errors.push_back("Bytes after the counters of the fixed data structure: " +
                         std::to_string(end - 7 - kFixedBytes));
  }
}

}  // namespace

const char* RecordFunctionName(RecordFunction f) {
  switch (f) {
    case RecordFunction::kInstantaneous: return "Instantaneous value";
    case RecordFunction::kMaximum: return "Maximum value";
    case RecordFunction::kMinimum: return "Minimum value";
    case RecordFunction::kValueDuringError: return "Value during error state";
    case RecordFunction::kManufacturerSpecific: return "Manufacturer specific";
    case RecordFunction::kMoreRecordsFollow: return "More records follow";
  }
  return "";
}

namespace {
// Bits 2-7, which both structures' status bytes share, after the names in `out`.
std::vector<std::string> WithErrorAndManufacturerBits(uint8_t s, std::vector<std::string> out) {
  if (s & 0x04) out.emplace_back("power low");
  if (s & 0x08) out.emplace_back("permanent error");
  if (s & 0x10) out.emplace_back("temporary error");
  for (int bit = 5; bit < 8; ++bit) {
    if (s & (1 << bit)) out.push_back("manufacturer bit " + std::to_string(bit));
  }
  return out;
}
}  // namespace

std::vector<std::string> StatusBitNames(uint8_t s) {
  static constexpr const char* kApplication[4] = {nullptr, "application busy", "application error",
                                                  "abnormal condition"};
  std::vector<std::string> out;
  if (kApplication[s & 3]) out.emplace_back(kApplication[s & 3]);
  return WithErrorAndManufacturerBits(s, std::move(out));
}

std::vector<std::string> FixedStatusBitNames(uint8_t s) {
  std::vector<std::string> out;
  if (s & 0x01) out.emplace_back("counters signed binary");
  if (s & 0x02) out.emplace_back("counters stored at fixed date");
  return WithErrorAndManufacturerBits(s, std::move(out));
}

std::string FixedMediumName(uint8_t code) {
  static constexpr const char* kNames[16] = {"Other",
                                             "Oil",
                                             "Electricity",
                                             "Gas",
                                             "Heat",
                                             "Steam",
                                             "Hot water",
                                             "Water",
                                             "Heat cost allocator",
                                             "Reserved",
                                             "Gas (mode 2)",
                                             "Heat (mode 2)",
                                             "Hot water (mode 2)",
                                             "Water (mode 2)",
                                             "Heat cost allocator (mode 2)",
                                             "Reserved"};
  return kNames[code & 0x0F];
}

std::string MediumFullName(uint8_t code) {
  // clang-format off
  static constexpr const char* kNames[0x38] = {
      "Other", "Oil", "Electricity", "Gas", "Heat (outlet)", "Steam",
      "Warm water (30-90 \xC2\xB0" "C)", "Water", "Heat cost allocator", "Compressed air",
      "Cooling load meter (outlet)", "Cooling load meter (inlet)", "Heat (inlet)",
      "Heat / cooling load meter", "Bus / system component", "Unknown medium",
      nullptr, nullptr, nullptr, nullptr, nullptr,
      "Hot water (>= 90 \xC2\xB0" "C)", "Cold water", "Dual register (hot/cold) water meter",
      "Pressure", "A/D converter", "Smoke detector", "Room sensor", "Gas detector",
      nullptr, nullptr, nullptr,
      "Breaker (electricity)", "Valve (gas or water)", nullptr, nullptr, nullptr,
      "Customer unit (display device)", nullptr, nullptr, "Waste water", "Garbage",
      "Carbon dioxide", nullptr, nullptr, nullptr, nullptr, nullptr,
      nullptr, "Communication controller", "Unidirectional repeater", "Bidirectional repeater",
      nullptr, nullptr, "Radio converter (system side)", "Radio converter (meter side)"};
  // clang-format on
  if (code < 0x38 && kNames[code]) return kNames[code];
  return "Reserved";
}

FullDecode DecodeFull(std::string_view t) {
  FullDecode out;
  const size_t n = t.size();
  const auto at = [&](size_t i) { return ByteAt(t, i); };
  if (n < 9 || at(0) != 0x68 || at(3) != 0x68 || at(1) != at(2)) {
    out.errors.emplace_back("Not a long frame (68 L L 68 ... CS 16)");
    return out;
  }
  uint8_t sum = 0;
  for (size_t i = 4; i + 2 < n; ++i) sum = static_cast<uint8_t>(sum + at(i));
  if (sum != at(n - 2)) out.errors.emplace_back("Wrong CRC");
  if (at(n - 1) != 0x16) out.errors.emplace_back("Wrong STOP byte");
  if (n != static_cast<size_t>(at(1)) + 6) out.errors.emplace_back("Wrong length in the header");
  if (!out.errors.empty()) return out;

  const size_t end = n - 2;  // the checksum byte
  FullHeader& h = out.header;
  h.c_field = at(4);
  h.address = at(5);
  h.ci = at(6);
  h.offset = 6;
  size_t header_bytes = 0;
  if (h.ci == 0x73) {
    DecodeFixedStructure(t, end, out);
    return out;
  }
  if (h.ci == 0x72) {
    header_bytes = 12;
  } else if (h.ci == 0x7A) {
    header_bytes = 4;
  } else if (h.ci != 0x78) {
    const char* what = h.ci == 0x77   ? " (fixed data structure)"
                       : h.ci == 0x76 ? " (data most significant byte first)"
                                      : "";
    out.errors.push_back("CI " + HexByte(h.ci) + "h" + what + " not decoded");
    return out;
  }
  if (7 + header_bytes > end) {
    out.errors.emplace_back("Telegram too short for the fixed header");
    return out;
  }
  h.length = 1 + header_bytes;
  size_t p = 7;
  if (h.ci == 0x72) {
    h.long_header = true;
    h.id = HexText(std::string{t[10], t[9], t[8], t[7]});
    h.manufacturer_code = static_cast<uint16_t>(at(11) | at(12) << 8);
    h.manufacturer = DecodeManufacturer(at(11), at(12));
    h.version = at(13);
    h.medium_code = at(14);
    h.medium = MediumFullName(h.medium_code);
    p = 15;
  }
  if (header_bytes) {
    h.access_number = at(p);
    h.status = at(p + 1);
    h.signature = static_cast<uint16_t>(at(p + 2) | at(p + 3) << 8);
    h.status_bits = StatusBitNames(h.status);
    p += 4;
  }
  out.ok = true;

  while (p < end) {
    const uint8_t dif = at(p);
    if (dif == 0x2F) {  // idle filler
      ++p;
      continue;
    }
    FullRecord r;
    r.number = static_cast<int>(out.records.size()) + 1;
    r.offset = p;
    if (dif == 0x0F || dif == 0x1F) {
      // Manufacturer-specific data up to the end of the user data, as one record.
      r.function =
          dif == 0x0F ? RecordFunction::kManufacturerSpecific : RecordFunction::kMoreRecordsFollow;
      r.dif = t.substr(p, 1);
      r.data_offset = p + 1;
      r.data = t.substr(p + 1, end - p - 1);
      r.length = end - p;
      r.data_type = "manufacturer specific";
      r.value = TraceHex(r.data);
      if (!r.value.empty()) r.value.pop_back();
      r.quantity = "Manufacturer specific";
      out.records.push_back(std::move(r));
      break;
    }
    if ((dif & 0x0F) == 0x0F) {
      out.errors.push_back("Special function DIF " + HexByte(dif) + " at byte " +
                           std::to_string(p) + ": walk ended");
      break;
    }

    // DIF and DIFEs: storage number, tariff and subunit, least significant bits first.
    r.function = static_cast<RecordFunction>((dif >> 4) & 0x03);
    r.storage = (dif >> 6) & 1;
    size_t q = p;
    size_t difes = 0;
    bool broken = false;
    while (at(q) & 0x80) {
      if (++q >= end || ++difes > kMaxExtensions) {
        broken = true;
        break;
      }
      const uint8_t e = at(q);
      r.storage |= static_cast<uint64_t>(e & 0x0F) << (1 + 4 * (difes - 1));
      r.tariff |= static_cast<uint32_t>((e >> 4) & 0x03) << (2 * (difes - 1));
      r.subunit |= static_cast<uint32_t>((e >> 6) & 0x01) << (difes - 1);
    }
    const size_t v = q + 1;
    if (broken || v >= end) {
      out.errors.push_back("Record " + std::to_string(r.number) + ": " +
                           (difes > kMaxExtensions ? "more than ten DIFEs"
                                                   : "DIF without a VIF before the checksum"));
      break;
    }
    r.dif = t.substr(p, v - p);
    r.vif = t.substr(v, 1);
    const uint8_t vif = at(v);

    // VIF, plain-text unit and VIFEs.
    VifMeaning meaning;
    size_t s = v + 1;  // next byte of the value information
    bool more = vif & 0x80;
    if ((vif & 0x7F) == 0x7C) {
      // Plain-text unit: length byte and the text (sent last character first), then the VIFEs
      // that the extension bit announces, as meters send it.
      if (s >= end || s + 1 + at(s) > end) {
        out.errors.push_back("Record " + std::to_string(r.number) +
                             ": plain-text unit runs past the end of the telegram");
        break;
      }
      const std::string_view text = t.substr(s + 1, at(s));
      meaning = Number("Plain-text unit", Latin1ToUtf8(std::string(text.rbegin(), text.rend())));
      s += 1 + text.size();
    } else if (vif == 0xFB || vif == 0xFD) {
      if (s >= end) {
        out.errors.push_back("Record " + std::to_string(r.number) +
                             ": extension VIF without its code");
        break;
      }
      meaning = vif == 0xFD ? FdVif(at(s) & 0x7F) : FbVif(at(s) & 0x7F);
      more = at(s) & 0x80;
      ++s;
    } else {
      meaning = PrimaryVif(vif & 0x7F);
    }
    bool manufacturer = meaning.kind == VifMeaning::kManufacturer;
    int exponent = meaning.exponent;
    std::optional<int> additive;
    size_t vifes = 0;
    while (more) {
      if (s >= end || ++vifes > kMaxExtensions) {
        broken = true;
        break;
      }
      const uint8_t e = at(s++);
      more = e & 0x80;
      if (manufacturer) {
        r.extensions.push_back("manufacturer-specific VIFE " + HexByte(e));
        continue;
      }
      VifeEffect effect = OrthogonalVife(e & 0x7F);
      exponent += effect.exponent;
      if (effect.additive) additive = effect.additive;
      manufacturer = effect.manufacturer_follows;
      switch (effect.holds) {
        case VifeEffect::kSame: break;
        case VifeEffect::kTimePoint:
          meaning.kind = VifMeaning::kDateTime;  // type G or F by the field's size
          meaning.unit.clear();
          break;
        case VifeEffect::kDuration:
          meaning.unit = effect.duration_unit;
          exponent = 0;
          break;
        case VifeEffect::kCount:
          meaning.unit.clear();
          exponent = 0;
          break;
      }
      AppendExtension(r, std::move(effect.text));
    }
    if (broken) {
      out.errors.push_back("Record " + std::to_string(r.number) + ": " +
                           (vifes > kMaxExtensions ? "more than ten VIFEs"
                                                   : "VIFEs run past the end of the telegram"));
      break;
    }
    {
      // AppendExtension built the quantity's tail; put the VIF's quantity in front.
      std::string tail = r.quantity;
      r.quantity = meaning.quantity + tail;
    }
    r.unit = meaning.unit;
    r.vife = t.substr(v + 1, s - v - 1);

    // Data field.
    r.data_offset = s;
    size_t length = DataFieldLength(dif);
    if ((dif & 0x0F) == 0x0D) {
      if (s >= end) {
        r.error = "Data field runs past the end of the telegram";
      } else {
        const uint8_t lvar = at(s);
        size_t bytes = 0;
        if (lvar <= 0xBF) {
          bytes = lvar;
        } else if (lvar <= 0xEF) {
          bytes = lvar & 0x0F;
        } else if (lvar <= 0xF4) {
          bytes = 4 * static_cast<size_t>(lvar - 0xEC);
        } else if (lvar == 0xF5) {
          bytes = 48;
        } else if (lvar == 0xF6) {
          bytes = 64;
        } else {
          r.error = "Reserved LVAR " + HexByte(lvar);
        }
        if ((lvar >= 0xCA && lvar <= 0xCF) || (lvar >= 0xDA && lvar <= 0xDF)) {
          r.error = "Reserved LVAR " + HexByte(lvar);
        }
        length = 1 + bytes;
      }
    }
    if (r.error.empty() && s + length > end)
      r.error = "Data field runs past the end of the telegram";
    if (!r.error.empty()) {
      r.data = t.substr(s, end - s);
      r.length = end - p;
      r.value = HexText(r.data);
      out.errors.push_back("Record " + std::to_string(r.number) + ": " + r.error);
      out.records.push_back(std::move(r));
      break;
    }
    r.data = t.substr(s, length);
    r.length = s + length - p;
    DecodeValue(r, meaning, exponent);
    if (additive && r.numeric) {
      r.numeric = *r.numeric + PowerOfTen(*additive);
      r.value = ShortestText(*r.numeric);
    }
    p = s + length;
    out.records.push_back(std::move(r));
  }
  return out;
}

}  // namespace orvio
