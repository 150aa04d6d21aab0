// Data field values: the text of one record's data field, by the data type in the DIF's low
// nibble and, for dates and fabrication numbers, by the VIF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/bytes.h"  // HexToBits

namespace orvio {

struct DataField {
  std::string text;
  // Bytes the field takes (for a variable-length field: the LVAR byte and what it announces).
  size_t length = 0;
  // False when the field would reach past the end of the bytes it was given; `text` then says
  // so and nothing past them was read.
  bool complete = true;
};

// Text shown for a field that runs past the end of the data block.
inline constexpr const char* kFieldPastEnd = "Data field runs past the end of the telegram";

// `field` holds the bytes from the start of the data field to the end of the data block (the
// checksum byte not included); only the field's own bytes are read. `vif` is the first VIF byte
// as transmitted; `multiplier` comes from its value information.
DataField DecodeDataField(uint8_t dif, uint8_t vif, std::string_view field, double multiplier,
                          char decimal_separator = '.');

// Field length in bytes by the DIF's low nibble; variable length (D) and special functions (F)
// give 0.
size_t DataFieldLength(uint8_t dif);

// A 32-character bit text read as an IEEE 754 single (sign, 8 exponent bits, 23 fraction bits),
// scaled by `multiplier` and written with 9 significant digits and 5 decimals; "-" in front when
// the sign bit is set. Not 32 characters: "NaN"; exponent all ones: "NaN or Infinite".
std::string BitsToFloatText(std::string_view bits, double multiplier = 1.0,
                            char decimal_separator = '.');

// Date (VIF 6C/EC, type G, 2 bytes) or date and time (VIF 6D/ED, type F, 4 bytes) from the data
// bytes b0, b1, ... as transmitted. Too few bytes: "Exception decoding DateTime".
std::string DecodeTimePoint(std::string_view field, uint8_t vif);

}  // namespace orvio
