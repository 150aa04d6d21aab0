#include "core/modbus/registers.h"

#include <algorithm>

namespace orvio {

std::string HexToBinaryText(std::string_view text) { return HexToBits(text); }

void AddRegisterRow(TextGrid& grid, uint8_t hi, uint8_t lo, int row, int64_t address,
                    const std::string& timeText) {
  grid.SetCell(kRegisterAddressCol, row, std::to_string(address));
  grid.SetCell(kRegisterHighCol, row, HexByte(hi));
  grid.SetCell(kRegisterLowCol, row, HexByte(lo));
  grid.SetCell(kRegisterTimeCol, row, timeText);
  grid.SetRowCount(grid.RowCount() + 1);
}

void AddRegisterRows(TextGrid& grid, const std::vector<RegisterValue>& registers, int firstRow,
                     int64_t firstRegister, const std::string& timeText) {
  int row = firstRow;
  int64_t address = firstRegister;
  for (const RegisterValue& r : registers) {
    AddRegisterRow(grid, r.hi, r.lo, row++, address++, timeText);
  }
}

void ClearRegisterGrid(TextGrid& grid) { ClearTable(grid); }

RegisterBitmap BitmapOfRegisters(const std::vector<RegisterValue>& registers) {
  RegisterBitmap bitmap;
  std::string bytes;
  for (const RegisterValue& r : registers) {
    bytes += static_cast<char>(r.hi);
    bytes += static_cast<char>(r.lo);
  }
  bitmap.hexText = HexText(bytes);
  const std::string bits = HexToBinaryText(bitmap.hexText);
  bitmap.ones = static_cast<int>(std::count(bits.begin(), bits.end(), '1'));
  return bitmap;
}

}  // namespace orvio
