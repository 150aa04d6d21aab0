// The register grid rows and the bitmap form of a register block.
#include <gtest/gtest.h>

#include "core/modbus/crc.h"
#include "core/modbus/registers.h"

namespace orvio {
namespace {

ByteString Hex(const char* text) { return ParseHexBytes(text).value(); }

MemoryGrid EmptyRegisterGrid() {
  MemoryGrid grid(6, 2);
  const char* headers[] = {"Addr. modbus", "High ",         "Notes/Decode ",
                           "Low ",         "Notes/Decode ", "Time "};
  for (int c = 0; c < 6; ++c) grid.SetCell(c, 0, headers[c]);
  return grid;
}

std::string RowText(const TextGrid& grid, int row) {
  std::string out;
  for (int c = 0; c < grid.ColCount(); ++c) out += grid.Cell(c, row) + "|";
  return out;
}

struct BinaryRow {
  const char* name;
  const char* text;
  const char* binary;
};

const BinaryRow kBinaryRows[] = {
    {"digits", "09", "00001001"},
    {"upper_and_lower", "aF", "10101111"},
    {"others_dropped", "1-g 2x", "00010010"},
    {"empty", "", ""},
    {"all_ones", "FFff", "1111111111111111"},
};

class BinaryTable : public ::testing::TestWithParam<BinaryRow> {};

TEST_P(BinaryTable, Text) { EXPECT_EQ(HexToBinaryText(GetParam().text), GetParam().binary); }

INSTANTIATE_TEST_SUITE_P(Rows, BinaryTable, ::testing::ValuesIn(kBinaryRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RegisterGrid, TwoRegistersFromHundredLeaveOneEmptyRow) {
  MemoryGrid grid = EmptyRegisterGrid();
  const ByteString answer = Hex("01 04 04 00 0A 01 FF 9A 56");
  AddRegisterRows(grid, ReadAnswerRegisters(answer, ValidateAnswer(answer)), grid.RowCount() - 1,
                  100, "10:11:12");
  ASSERT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(RowText(grid, 1), "100|00||0A||10:11:12|");
  EXPECT_EQ(RowText(grid, 2), "101|01||FF||10:11:12|");
  EXPECT_EQ(RowText(grid, 3), "||||||");
}

TEST(RegisterGrid, SecondReadAppendsBelowFirst) {
  MemoryGrid grid = EmptyRegisterGrid();
  AddRegisterRows(grid, {{0x00, 0x01}}, grid.RowCount() - 1, 7, "t1");
  AddRegisterRows(grid, {{0xAB, 0xCD}, {0x12, 0x34}}, grid.RowCount() - 1, 7, "t2");
  ASSERT_EQ(grid.RowCount(), 5);
  EXPECT_EQ(RowText(grid, 1), "7|00||01||t1|");
  EXPECT_EQ(RowText(grid, 2), "7|AB||CD||t2|");
  EXPECT_EQ(RowText(grid, 3), "8|12||34||t2|");
  EXPECT_EQ(RowText(grid, 4), "||||||");
}

TEST(RegisterGrid, AddressesBeyondSixteenBitsAreWrittenAsGiven) {
  MemoryGrid grid = EmptyRegisterGrid();
  AddRegisterRows(grid, {{0, 1}, {0, 2}}, 1, 65535, "t");
  EXPECT_EQ(grid.Cell(0, 2), "65536");
}

TEST(RegisterGrid, ClearKeepsHeaderAndOneEmptyRow) {
  MemoryGrid grid = EmptyRegisterGrid();
  AddRegisterRows(grid, {{1, 2}, {3, 4}, {5, 6}}, 1, 1, "t");
  ClearRegisterGrid(grid);
  ASSERT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cell(0, 0), "Addr. modbus");
  EXPECT_EQ(RowText(grid, 1), "||||||");
  // The row that was cut off must not come back with its old text when the grid grows.
  grid.SetRowCount(4);
  EXPECT_EQ(RowText(grid, 2), "||||||");
}

TEST(RegisterBitmap, SixteenRegistersWithTwoBits) {
  ByteString answer = Hex("01 04 20 03");
  answer += ByteString(31, '\0');
  answer = WithModbusCrc(answer);
  const AnswerCheck check = ValidateAnswer(answer);
  ASSERT_TRUE(check.ok());
  const RegisterBitmap bitmap = BitmapOfRegisters(ReadAnswerRegisters(answer, check));
  EXPECT_EQ(bitmap.ones, 2);
  EXPECT_EQ(bitmap.hexText, "0300" + std::string(60, '0'));
}

TEST(RegisterBitmap, CountsEveryBit) {
  const RegisterBitmap bitmap = BitmapOfRegisters({{0xFF, 0x80}, {0x01, 0x00}});
  EXPECT_EQ(bitmap.hexText, "FF800100");
  EXPECT_EQ(bitmap.ones, 10);
  EXPECT_EQ(BitmapOfRegisters({}).ones, 0);
}

}  // namespace
}  // namespace orvio
