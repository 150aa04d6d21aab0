// The record walk over the variable data block of an RSP_UD telegram: DIF, DIFEs, VIF, VIFEs,
// data field, one row of texts per record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/tables/text_grid.h"

namespace orvio {

struct RecordRow {
  // The seven columns of the record table.
  std::string number;       // counted from 1
  std::string value;        // data field text
  std::string unit;         // value information unit
  std::string description;  // value information description
  std::string dif;          // DIF and DIFEs, "84 10 "
  std::string vif;          // first VIF, "13"
  std::string vife;         // bytes after the VIF up to the data field, "3C "

  // The raw record beside its texts: byte offsets into the telegram.
  size_t dif_offset = 0;   // the DIF
  size_t vif_offset = 0;   // the first VIF (0 for a manufacturer-specific block)
  size_t data_offset = 0;  // the data field
  size_t data_length = 0;  // bytes of the data field that lie inside the telegram
  uint8_t dif_byte = 0;
  uint8_t vif_byte = 0;
  double multiplier = 1.0;

  std::array<std::string, 7> Cells() const {
    return {number, value, unit, description, dif, vif, vife};
  }
};

// Byte index of the first record: after the 12-byte fixed header of a long frame.
inline constexpr size_t kFirstRecordOffset = 19;

// Walks the records of a long-frame telegram (68 L L 68 C A CI, fixed header, records, CS 16),
// from byte 19 up to the checksum byte. Nothing past the checksum byte is read: a record whose
// DIF or VIF chain runs into it ends the walk without a row; a record whose text or data field
// runs into it gets the row with kFieldPastEnd as its value and ends the walk.
std::vector<RecordRow> DecodeRecords(std::string_view telegram, char decimal_separator = '.');

// The decoder's texts are 8-bit (plain-text units and values come from the telegram as they
// are); shown on screen they are taken as Latin-1.
std::string Latin1ToUtf8(std::string_view text);

// The record table: seven columns, no header, one row per record, then one empty row.
void FillRecordTable(TextGrid& grid, const std::vector<RecordRow>& rows);

}  // namespace orvio
