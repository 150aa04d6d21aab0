#include "core/mbus/value_info.h"

#include <array>

namespace orvio {

namespace {

constexpr double kPowers[] = {1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4,
                              1e-3,  1e-2,  1e-1,  1e0,  1e1,  1e2,  1e3,  1e4,  1e5,
                              1e6,   1e7,   1e8,   1e9,  1e10, 1e11, 1e12};

// One row per code range. A code c in [first, last] has the multiplier
// 10^(exponent + step * (c - first)); step 0 keeps the multiplier of the first code.
struct CodeRow {
  uint8_t first;
  uint8_t last;
  const char* unit;
  int exponent;
  int step;
  const char* description;
};

// Primary VIF codes, extension bit cleared (E = extension bit, not part of the code).
constexpr CodeRow kPrimaryVif[] = {
    {0x00, 0x07, "kWh", -6, 1, ""},                         // E000 0nnn  energy, 10^(nnn-6) kWh
    {0x08, 0x0D, "kJ", -3, 1, ""},                          // E000 1nnn  energy, 10^(nnn-3) kJ
    {0x0E, 0x0F, "MJ", 0, 1, ""},                           // E000 111n  energy, 10^n MJ
    {0x10, 0x17, "m3", -6, 1, ""},                          // E001 0nnn  volume, 10^(nnn-6) m3
    {0x20, 0x20, "On Time", 0, 0, "seconds"},               // E010 0000  on time
    {0x21, 0x21, "On Time", 0, 0, "minutes"},               // E010 0001
    {0x22, 0x22, "On Time", 0, 0, "hours"},                 // E010 0010
    {0x23, 0x23, "On Time", 0, 0, "days"},                  // E010 0011
    {0x24, 0x24, "Operating Time", 0, 0, "seconds"},        // E010 0100  operating time
    {0x25, 0x25, "Operating Time", 0, 0, "minutes"},        // E010 0101
    {0x26, 0x26, "Operating Time", 0, 0, "hours"},          // E010 0110
    {0x27, 0x27, "Operating Time", 0, 0, "days"},           // E010 0111
    {0x28, 0x2D, "W", -3, 1, ""},                           // E010 1nnn  power, 10^(nnn-3) W
    {0x2E, 0x2F, "kW", 0, 1, ""},                           // E010 111n  power, 10^n kW
    {0x30, 0x36, "J/h", 0, 1, ""},                          // E011 0nnn  power, 10^nnn J/h
    {0x38, 0x3F, "l/h", -3, 1, "Debit"},                    // E011 1nnn  flow, 10^(nnn-3) l/h
    {0x58, 0x5B, "deg. C", -3, 1, "Flow Temp."},            // E101 10nn  10^(nn-3) deg. C
    {0x5C, 0x5F, "deg. C", -3, 1, "Return Temp."},          // E101 11nn  10^(nn-3) deg. C
    {0x60, 0x63, "deg. K", -3, 1, "TDiff"},                 // E110 00nn  10^(nn-3) K
    {0x64, 0x67, "deg. C", -3, 1, "External Temperature"},  // E110 01nn  10^(nn-3) deg. C
    {0x68, 0x6A, "mbar", 0, 1, ""},                         // E110 10nn  pressure, 10^nn mbar
    {0x6C, 0x6C, "Time point", 0, 0, "Date (dd.mm.yyyy)"},  // E110 1100  date (type G)
    {0x6D, 0x6D, "Time point", 0, 0,
     "Date and time (hh:mm, dd.mm.yyyy)"},                      // E110 1101  date and time (type F)
    {0x6E, 0x6E, "N/A", 0, 0, ""},                              // E110 1110  HCA units
    {0x70, 0x70, "Average duration", 0, 0, ""},                 // E111 00nn  averaging duration
    {0x74, 0x74, "Actuality Duration", 0, 0, ""},               // E111 01nn  actuality duration
    {0x78, 0x78, "Fabr. No.", 0, 0, ""},                        // E111 1000  fabrication number
    {0x7E, 0x7E, "Readout - not supported for now", 0, 0, ""},  // E111 1110  any VIF (readout)
    {0x7F, 0x7F, "Manufacturer specific", 0, 0, ""},            // E111 1111  manufacturer specific
};

// Second byte after VIF FB (bit 7 cleared).
constexpr CodeRow kVifeFB[] = {
    {0x00, 0x01, "kWh", 2, 1, ""},                            // E000 000n  energy, 10^(n+2) kWh
    {0x02, 0x07, "Reserved", 0, 0, ""},                       // E000 001n, E000 01nn
    {0x08, 0x09, "GJ", -1, 1, ""},                            // E000 100n  energy, 10^(n-1) GJ
    {0x0A, 0x0F, "Reserved", 0, 0, ""},                       // E000 101n, E000 11nn
    {0x10, 0x11, "m3", 2, 1, ""},                             // E001 000n  volume, 10^(n+2) m3
    {0x28, 0x29, "kW", 2, 1, ""},                             // E010 100n  power, 10^(n+2) kW
    {0x2A, 0x2F, "Reserved", 0, 0, ""},                       // E010 101n, E010 11nn
    {0x58, 0x5A, "Flow Temperature, deg. F", -3, 1, ""},      // E101 10nn  10^(nn-3) deg. F
    {0x5B, 0x5B, "Flow Temperature, F", 0, 0, ""},            // E101 1011
    {0x5C, 0x5F, "Return Temperature, deg. F", -3, 1, ""},    // E101 11nn  10^(nn-3) deg. F
    {0x60, 0x62, "Temp. difference, deg. F", -3, 1, ""},      // E110 00nn  10^(nn-3) deg. F
    {0x63, 0x63, "Temp. difference, F", 0, 0, ""},            // E110 0011
    {0x64, 0x67, "External temperature, deg. F", -3, 1, ""},  // E110 01nn  10^(nn-3) deg. F
    {0x68, 0x6F, "Reserved", 0, 0, ""},                       // E110 1nnn
};

// Second byte after VIF FD (bit 7 cleared). Volts and amperes carry their decimal exponent in
// the text only ("Volts, 10^-2"): `exponent` is the bias added to the low nibble.
struct TextRow {
  uint8_t first;
  uint8_t last;
  const char* unit;
  int exponent;
  bool show_exponent;
};
constexpr TextRow kVifeFD[] = {
    {0x00, 0x03, "Credit in currency units", 0, false},  // E000 00nn  credit, 10^(nn-3)
    {0x04, 0x07, "Debit in currency units", 0, false},   // E000 01nn  debit, 10^(nn-3)
    {0x08, 0x08, "Access Number", 0, false},             // E000 1000
    {0x09, 0x09, "Medium", 0, false},                    // E000 1001
    {0x0A, 0x0A, "Manufacturer", 0, false},              // E000 1010
    {0x0B, 0x0B, "Enhanced identification", 0, false},   // E000 1011
    {0x0C, 0x0C, "Model/Version", 0, false},             // E000 1100
    {0x0D, 0x0D, "Hardware version No.", 0, false},      // E000 1101
    {0x0E, 0x0E, "Firmware version No.", 0, false},      // E000 1110
    {0x0F, 0x0F, "Software version No.", 0, false},      // E000 1111
    {0x10, 0x10, "Customer location", 0, false},         // E001 0000
    {0x11, 0x11, "Customer", 0, false},                  // E001 0001
    {0x12, 0x12, "Access code user", 0, false},          // E001 0010
    {0x13, 0x13, "Access code operator", 0, false},      // E001 0011
    {0x16, 0x16, "Password", 0, false},                  // E001 0110
    {0x17, 0x17, "Error flags", 0, false},               // E001 0111
    {0x18, 0x18, "Error mask", 0, false},                // E001 1000
    {0x19, 0x19, "Reserved", 0, false},                  // E001 1001
    {0x1A, 0x1A, "Digitial Output (binary)", 0, false},  // E001 1010
    {0x1B, 0x1B, "Digitial Input (binary)", 0, false},   // E001 1011
    {0x1C, 0x1C, "Baudrate", 0, false},                  // E001 1100
    {0x1D, 0x1D, "Response Delay time", 0, false},       // E001 1101
    {0x1E, 0x1E, "Retry", 0, false},                     // E001 1110
    {0x1F, 0x1F, "Reserved", 0, false},                  // E001 1111
    {0x3A, 0x3A, "Dimensionless", 0, false},             // E011 1010
    {0x40, 0x4F, "Volts, 10^", -9, true},                // E100 nnnn  10^(nnnn-9) V
    {0x50, 0x55, "Ampers, 10^", -12, true},              // E101 nnnn  10^(nnnn-12) A
};

template <typename Row, size_t N>
const Row* FindRow(const Row (&table)[N], uint8_t code) {
  for (const Row& row : table) {
    if (code >= row.first && code <= row.last) return &row;
  }
  return nullptr;
}

double RowMultiplier(const CodeRow& row, uint8_t code) {
  return PowerOfTen(row.exponent + row.step * (code - row.first));
}

}  // namespace

double PowerOfTen(int exponent) {
  if (exponent < -12 || exponent > 12) return 1.0;
  return kPowers[exponent + 12];
}

std::string DecodeVifeFD(uint8_t code) {
  const TextRow* row = FindRow(kVifeFD, static_cast<uint8_t>(code & 0x7F));
  if (!row) return "VIF not supported";
  std::string unit = row->unit;
  if (row->show_exponent) unit += std::to_string((code & 0x0F) + row->exponent);
  return unit;
}

VifeFB DecodeVifeFB(uint8_t code) {
  code &= 0x7F;
  const CodeRow* row = FindRow(kVifeFB, code);
  if (!row) return {"VIF not supported", 1.0};
  return {row->unit, RowMultiplier(*row, code)};
}

ValueInfo DecodeValueInfo(uint8_t vif, std::string_view after_vif) {
  ValueInfo info;
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(after_vif[i]); };

  if (vif == 0x7C || vif == 0xFC) {
    // Plain-text unit: a length byte, then the text as stored.
    if (after_vif.empty()) {
      info.text_truncated = true;
      return info;
    }
    const size_t n = byte(0);
    if (n == 0 && vif == 0x7C) return info;  // nothing set, nothing skipped
    std::string text;
    if (1 + n > after_vif.size()) {
      info.text_truncated = true;
      text.assign(after_vif.substr(1));
    } else {
      text.assign(after_vif.substr(1, n));
    }
    info.text_bytes = 1 + n;
    info.unit = vif == 0x7C ? text : "VIF is user ASCII string: " + text;
    info.description = "text";
    return info;
  }
  if (vif == 0xFD || vif == 0xFB) {
    // The meaning is in the first VIFE; a VIF FD/FB with nothing after it keeps the defaults.
    if (after_vif.empty()) return info;
    if (vif == 0xFD) {
      info.unit = DecodeVifeFD(byte(0));
    } else {
      VifeFB fb = DecodeVifeFB(byte(0));
      info.unit = std::move(fb.unit);
      info.multiplier = fb.multiplier;
    }
    return info;
  }
  // Primary table. Codes F0 to FA keep their first digit F and so are not found.
  if (vif >= 0xF0 && vif < 0xFE) return info;
  const uint8_t code = vif & 0x7F;
  if (const CodeRow* row = FindRow(kPrimaryVif, code)) {
    info.unit = row->unit;
    info.description = row->description;
    info.multiplier = RowMultiplier(*row, code);
  }
  return info;
}

}  // namespace orvio
