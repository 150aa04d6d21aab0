// The register grid (`gridInputRegisters`) and the bitmap form of a register block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/modbus/answer.h"
#include "core/tables/text_grid.h"

namespace orvio {

// Memo texts of the register reader: a start register or count that is not a number in range,
// and neither register type checked.
inline constexpr char kRegisterBadConditions[] = "Enter proper initial conditions...";
inline constexpr char kRegisterSelectType[] =
    "Select type of registers you want to read - Input or Holding...";

// Columns of the register grid.
enum RegisterGridColumn {
  kRegisterAddressCol = 0,  // register address, decimal
  kRegisterHighCol = 1,     // high byte, two upper-case hex digits
  kRegisterLowCol = 3,      // low byte
  kRegisterTimeCol = 5,     // time of day the row was written
};

// Each hex digit (either case) becomes its four binary digits; other characters are dropped.
std::string HexToBinaryText(std::string_view text);

// Writes address, high byte, low byte and time into `row` and adds one row to the grid, so the
// grid keeps ending in one empty row.
void AddRegisterRow(TextGrid& grid, uint8_t hi, uint8_t lo, int row, int64_t address,
                    const std::string& timeText);

// Rows of one decoded read, one per register, starting at `firstRow` with `firstRegister`.
void AddRegisterRows(TextGrid& grid, const std::vector<RegisterValue>& registers, int firstRow,
                     int64_t firstRegister, const std::string& timeText);

// Empties rows 1 and below and leaves the header and one empty row.
void ClearRegisterGrid(TextGrid& grid);

struct RegisterBitmap {
  std::string hexText;  // four upper-case hex digits per register, high byte first
  int ones = 0;         // number of 1 bits
};
RegisterBitmap BitmapOfRegisters(const std::vector<RegisterValue>& registers);

}  // namespace orvio
