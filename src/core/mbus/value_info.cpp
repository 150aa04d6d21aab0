#include "core/mbus/value_info.h"

#include <array>

#include "core/mbus/vif_ranges.h"

namespace orvio {

namespace {

// Second byte after VIF FB (bit 7 cleared), in the layout of the primary ranges; the rows carry
// no description and the device map never sees them.
constexpr VifRange kVifeFB[] = {
    {0x00, 0x01, 2, 1, "kWh", "", nullptr},       // E000 000n  energy, 10^(n+2) kWh
    {0x02, 0x07, 0, 0, "Reserved", "", nullptr},  // E000 001n, E000 01nn
    {0x08, 0x09, -1, 1, "GJ", "", nullptr},       // E000 100n  energy, 10^(n-1) GJ
    {0x0A, 0x0F, 0, 0, "Reserved", "", nullptr},  // E000 101n, E000 11nn
    {0x10, 0x11, 2, 1, "m3", "", nullptr},        // E001 000n  volume, 10^(n+2) m3
    {0x28, 0x29, 2, 1, "kW", "", nullptr},        // E010 100n  power, 10^(n+2) kW
    {0x2A, 0x2F, 0, 0, "Reserved", "", nullptr},  // E010 101n, E010 11nn
    {0x58, 0x5A, -3, 1, "Flow Temperature, deg. F", "", nullptr},    // E101 10nn  10^(nn-3) deg. F
    {0x5B, 0x5B, 0, 0, "Flow Temperature, F", "", nullptr},          // E101 1011
    {0x5C, 0x5F, -3, 1, "Return Temperature, deg. F", "", nullptr},  // E101 11nn  10^(nn-3) deg. F
    {0x60, 0x62, -3, 1, "Temp. difference, deg. F", "", nullptr},    // E110 00nn  10^(nn-3) deg. F
    {0x63, 0x63, 0, 0, "Temp. difference, F", "", nullptr},          // E110 0011
    {0x64, 0x67, -3, 1, "External temperature, deg. F", "",
     nullptr},                                    // E110 01nn  10^(nn-3) deg. F
    {0x68, 0x6F, 0, 0, "Reserved", "", nullptr},  // E110 1nnn
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

}  // namespace

std::string DecodeVifeFD(uint8_t code) {
  const TextRow* row = FindCodeRow<TextRow>(kVifeFD, static_cast<uint8_t>(code & 0x7F));
  if (!row) return "VIF not supported";
  std::string unit = row->unit;
  if (row->show_exponent) unit += std::to_string((code & 0x0F) + row->exponent);
  return unit;
}

VifeFB DecodeVifeFB(uint8_t code) {
  code &= 0x7F;
  const VifRange* row = FindCodeRow<VifRange>(kVifeFB, code);
  if (!row) return {"VIF not supported", 1.0};
  return {row->record_unit, VifRangeMultiplier(*row, code)};
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
  if (const VifRange* row = FindPrimaryVif(code)) {
    info.unit = row->record_unit;
    info.description = row->description;
    info.multiplier = VifRangeMultiplier(*row, code);
  }
  return info;
}

}  // namespace orvio
