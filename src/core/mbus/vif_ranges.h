// The primary VIF ranges (EN 13757-3) as this program names them: one table serves the record
// table of the telegram decoder and the unit column of the gateway's device map.
#pragma once

#include <cstdint>
#include <span>

namespace orvio {

// Codes first..last (the VIF with its extension bit cleared). A code c in the range has the
// multiplier 10^(exponent + step * (c - first)); step 0 keeps the multiplier of the first code.
struct VifRange {
  uint8_t first;
  uint8_t last;
  int exponent;
  int step;
  const char* record_unit;  // the decoder's unit text (record table, main value)
  const char* description;  // the decoder's description text
  const char* device_unit;  // the device map's unit text (GridDevices "Unit "); nullptr: the
                            // device map does not list the code
};

// The row of a range table (rows with `first` and `last` codes) that holds `code`; nullptr when
// no row does.
template <typename Row>
const Row* FindCodeRow(std::span<const Row> rows, uint8_t code) {
  for (const Row& row : rows) {
    if (code >= row.first && code <= row.last) return &row;
  }
  return nullptr;
}

// Rows in code order, none overlapping.
std::span<const VifRange> PrimaryVifRanges();

// The row holding `code`; nullptr for a code no row holds.
const VifRange* FindPrimaryVif(uint8_t code);

// The multiplier of `code` in its row.
double VifRangeMultiplier(const VifRange& row, uint8_t code);

}  // namespace orvio
