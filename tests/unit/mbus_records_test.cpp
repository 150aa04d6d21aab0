// The record walk: where records start and end, what each column holds, and how the walk
// stops at the checksum byte.
#include <gtest/gtest.h>

#include "core/bytes.h"
#include "core/mbus/data_field.h"
#include "core/mbus/records.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Rsp;

struct Cells {
  const char* number;
  const char* value;
  const char* unit;
  const char* description;
  const char* dif;
  const char* vif;
  const char* vife;
};

struct WalkRow {
  const char* name;
  const char* records;  // hex of the variable data block
  std::vector<Cells> rows;
};

class RecordWalkRows : public ::testing::TestWithParam<WalkRow> {};

TEST_P(RecordWalkRows, Walks) {
  const WalkRow& w = GetParam();
  const auto rows = DecodeRecords(Rsp(w.records));
  ASSERT_EQ(rows.size(), w.rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const Cells& e = w.rows[i];
    const auto c = rows[i].Cells();
    EXPECT_EQ(c[0], e.number) << "row " << i;
    EXPECT_EQ(c[1], e.value) << "row " << i;
    EXPECT_EQ(c[2], e.unit) << "row " << i;
    EXPECT_EQ(c[3], e.description) << "row " << i;
    EXPECT_EQ(c[4], e.dif) << "row " << i;
    EXPECT_EQ(c[5], e.vif) << "row " << i;
    EXPECT_EQ(c[6], e.vife) << "row " << i;
  }
}

const WalkRow kWalkRows[] = {
    {"NoRecords", "", {}},
    {"OneVolume", "04 13 78 56 34 12", {{"1", "305419.896", "m3", "", "04 ", "13", ""}}},
    {"NextRecordStartsAfterTheField",
     "04 13 78 56 34 12 02 5B 15 00",
     {{"1", "305419.896", "m3", "", "04 ", "13", ""},
      {"2", "21.000", "deg. C", "Flow Temp.", "02 ", "5B", ""}}},
    {"IdleFillersAreSkipped",
     "2F 2F 01 FD 1B 05 2F 02 5B 15 00 2F",
     {{"1", "5.000", "Digitial Input (binary)", "", "01 ", "FD", "1B "},
      {"2", "21.000", "deg. C", "Flow Temp.", "02 ", "5B", ""}}},
    {"DifeChain",
     "84 10 13 01 00 00 00 C4 80 40 06 02 00 00 00",
     {{"1", "0.001", "m3", "", "84 10 ", "13", ""},
      {"2", "2.000", "kWh", "", "C4 80 40 ", "06", ""}}},
    {"VifeChain",
     "04 93 BC 3C 01 00 00 00 01 2B 07",
     {{"1", "0.001", "m3", "", "04 ", "93", "BC 3C "}, {"2", "7.000", "W", "", "01 ", "2B", ""}}},
    {"ManufacturerDataAfterTwoRecords",
     "01 2B 07 01 2B 08 0F 01 02 03 04 01 2B 09",
     {{"1", "7.000", "W", "", "01 ", "2B", ""},
      {"2", "8.000", "W", "", "01 ", "2B", ""},
      {"3", "01 02 03 04 01 2B 09 ", "", "Manf. secific", "", "", ""}}},
    {"MoreRecordsFollowIs1F",
     "01 2B 07 1F AA",
     {{"1", "7.000", "W", "", "01 ", "2B", ""}, {"2", "AA ", "", "Manf. secific", "", "", ""}}},
    {"ManufacturerDataEmpty", "0F", {{"1", "", "", "Manf. secific", "", "", ""}}},
    {"DifWithExtensionBitLastEndsWithoutRow",
     "01 2B 07 84",
     {{"1", "7.000", "W", "", "01 ", "2B", ""}}},
    {"DifeChainIntoChecksumEndsWithoutRow",
     "01 2B 07 84 80 80",
     {{"1", "7.000", "W", "", "01 ", "2B", ""}}},
    {"VifeChainIntoChecksumEndsWithoutRow",
     "01 2B 07 04 93 BC",
     {{"1", "7.000", "W", "", "01 ", "2B", ""}}},
    {"RecordWithoutDataBeforeChecksumEndsWithoutRow",
     "01 2B 07 00 13",
     {{"1", "7.000", "W", "", "01 ", "2B", ""}}},
    {"SelectionForReadoutTakesNoData",
     "08 13 01 2B 07",
     {{"1", "Unrecognizable DIF, not decoded ", "m3", "", "08 ", "13", ""},
      {"2", "7.000", "W", "", "01 ", "2B", ""}}},
    {"PlainTextUnit",
     "0C 7C 03 41 42 43 78 56 34 12 01 2B 07",
     {{"1", "12345678.000", "ABC", "text", "0C ", "7C", "03 41 42 43 "},
      {"2", "7.000", "W", "", "01 ", "2B", ""}}},
    {"PlainTextOfLengthZeroSkipsNothing",
     "01 7C 00 01 2B 07",
     {{"1", "0.000", "Not supported", "", "01 ", "7C", ""},
      {"2", "7.000", "W", "", "01 ", "2B", ""}}},
    // FC as meters send it: FC, length byte, text, then the VIFEs, then the data.
    {"PlainTextWithVife",
     "02 FC 03 48 52 25 74 D4 11 01 2B 07",
     {{"1", "4564.000", "VIF is user ASCII string: HR%", "text", "02 ", "FC", "03 48 52 25 74 "},
      {"2", "7.000", "W", "", "01 ", "2B", ""}}},
    {"PlainTextWithVifeChain",
     "01 FC 01 25 F4 3C 09 01 2B 07",
     {{"1", "9.000", "VIF is user ASCII string: %", "text", "01 ", "FC", "01 25 F4 3C "},
      {"2", "7.000", "W", "", "01 ", "2B", ""}}},
    // Past the end: a row that says so, then the walk ends.
    {"DataFieldPastChecksum",
     "01 2B 07 04 13 78 56",
     {{"1", "7.000", "W", "", "01 ", "2B", ""}, {"2", kFieldPastEnd, "m3", "", "04 ", "13", ""}}},
    {"VariableFieldPastChecksum",
     "0D FD 0B 09 41 42",
     {{"1", kFieldPastEnd, "Enhanced identification", "", "0D ", "FD", "0B "}}},
    {"PlainTextPastChecksum",
     "01 7C 09 41 42",
     {{"1", kFieldPastEnd, "AB", "text", "01 ", "7C", "09 41 42 "}}},
    {"ExtendedPlainTextPastChecksum",
     "01 FC 09 41 42",
     {{"1", kFieldPastEnd, "VIF is user ASCII string: AB", "text", "01 ", "FC", "09 41 42 "}}},
    {"ExtendedPlainTextWithoutItsVife",
     "01 FC 02 41 42",
     {{"1", kFieldPastEnd, "VIF is user ASCII string: AB", "text", "01 ", "FC", "02 41 42 "}}},
};
INSTANTIATE_TEST_SUITE_P(Mbus, RecordWalkRows, ::testing::ValuesIn(kWalkRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MbusRecords, KeepsRawOffsetsBesideTheTexts) {
  const ByteString t = Rsp("2F 84 10 13 01 00 00 00");
  const auto rows = DecodeRecords(t);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].dif_offset, 20u);
  EXPECT_EQ(rows[0].vif_offset, 22u);
  EXPECT_EQ(rows[0].data_offset, 23u);
  EXPECT_EQ(rows[0].data_length, 4u);
  EXPECT_EQ(rows[0].dif_byte, 0x84);
  EXPECT_EQ(rows[0].vif_byte, 0x13);
  EXPECT_EQ(rows[0].multiplier, 1e-3);
}

TEST(MbusRecords, DecimalSeparator) {
  const auto rows = DecodeRecords(Rsp("04 13 78 56 34 12"), ',');
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].value, "305419,896");
}

TEST(MbusRecords, NeverReadsPastTheChecksumWhateverTheBytes) {
  // Every DIF with every VIF as the last two bytes of the block: the walk must stay inside.
  for (int dif = 0; dif < 256; ++dif) {
    for (int vif : {0x13, 0x7C, 0xFC, 0xFD, 0xFB, 0x6D, 0x78}) {
      std::string block = HexText(std::string{static_cast<char>(dif), static_cast<char>(vif)});
      const auto rows = DecodeRecords(Rsp(block));
      for (const auto& r : rows) {
        EXPECT_LE(r.data_offset + r.data_length, 21u) << block;
      }
    }
  }
}

TEST(MbusRecords, TooShortForAHeaderGivesNoRows) {
  EXPECT_TRUE(DecodeRecords("").empty());
  EXPECT_TRUE(DecodeRecords(test::Hex("68 03 03 68 08 01 72 7B 16")).empty());
}

TEST(MbusRecords, FillRecordTableEndsWithOneEmptyRow) {
  MemoryGrid grid(7, 5);
  grid.SetCell(1, 4, "stale");
  FillRecordTable(grid, DecodeRecords(Rsp("01 2B 07 02 5B 15 00")));
  ASSERT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cell(0, 0), "1");
  EXPECT_EQ(grid.Cell(1, 1), "21.000");
  EXPECT_EQ(grid.Cell(3, 1), "Flow Temp.");
  for (int c = 0; c < 7; ++c) EXPECT_EQ(grid.Cell(c, 2), "") << c;

  FillRecordTable(grid, {});
  ASSERT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.Cell(0, 0), "");
}

}  // namespace
}  // namespace orvio
