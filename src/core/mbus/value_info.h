// Value information: what the first VIF of a data record (and, for the extension codes FB and
// FD, the first VIFE) says about the unit, the meaning and the decimal scale of its value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/text/number.h"  // PowerOfTen

namespace orvio {

struct ValueInfo {
  std::string unit = "Not supported";
  std::string description;
  double multiplier = 1.0;
  // Plain-text VIF (7C, FC): bytes taken by the length byte and the text. A 7C record's data
  // field starts this many bytes after the VIF chain; an FC record's VIFEs follow the text.
  size_t text_bytes = 0;
  // The text ran past the end of the data block.
  bool text_truncated = false;
};

// `after_vif` holds the bytes that follow the first VIF, up to the end of the data block (the
// checksum byte not included); nothing past it is read.
ValueInfo DecodeValueInfo(uint8_t vif, std::string_view after_vif);

// Extension tables; `code` is the byte after the VIF with bit 7 cleared (0 to 7Fh).
std::string DecodeVifeFD(uint8_t code);
struct VifeFB {
  std::string unit;
  double multiplier;
};
VifeFB DecodeVifeFB(uint8_t code);

}  // namespace orvio
