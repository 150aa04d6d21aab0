#include "core/modbus/registers.h"

#include <algorithm>

namespace orvio {

namespace {
constexpr const char* kNibbles[16] = {"0000", "0001", "0010", "0011", "0100", "0101",
                                      "0110", "0111", "1000", "1001", "1010", "1011",
                                      "1100", "1101", "1110", "1111"};
}  // namespace

std::string HexToBinaryText(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 4);
  for (char c : text) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (v >= 0) out += kNibbles[v];
  }
  return out;
}

void AddRegisterRow(TextGrid& grid, uint8_t hi, uint8_t lo, int row, int64_t address,
                    const std::string& timeText) {
  grid.SetCell(kRegisterAddressCol, row, std::to_string(address));
  grid.SetCell(kRegisterHighCol, row, HexText(std::string(1, static_cast<char>(hi))));
  grid.SetCell(kRegisterLowCol, row, HexText(std::string(1, static_cast<char>(lo))));
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
