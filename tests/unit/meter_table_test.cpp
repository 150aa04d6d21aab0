// Edits of the M-Bus device table: the selected row's address, row removal and clearing.
#include "core/tables/meter_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvio {
namespace {

// Header, one meter per address text, then the empty open row.
MemoryGrid Table(const std::vector<std::string>& addrs) {
  MemoryGrid g(8, static_cast<int>(addrs.size()) + 2);
  for (int c = 0; c < 8; ++c) g.SetCell(c, 0, "H" + std::to_string(c));
  for (size_t i = 0; i < addrs.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    g.SetCell(0, row, "ID" + std::to_string(row));
    g.SetCell(1, row, addrs[i]);
    g.SetCell(7, row, "T" + std::to_string(row));
  }
  return g;
}

std::vector<std::string> Ids(const MemoryGrid& g) {
  std::vector<std::string> out;
  for (int r = 1; r < g.RowCount(); ++r) out.push_back(g.Cell(0, r));
  return out;
}

struct AddrRow {
  const char* name;
  const char* cell;
  int address;
};
class MeterAddressRows : public ::testing::TestWithParam<AddrRow> {};
TEST_P(MeterAddressRows, Parses) {
  const MemoryGrid g = Table({GetParam().cell});
  EXPECT_EQ(MeterRowAddress(g, 1), GetParam().address);
}
INSTANTIATE_TEST_SUITE_P(MeterTable, MeterAddressRows,
                         ::testing::Values(AddrRow{"Decimal", "17", 17}, AddrRow{"Zero", "0", 0},
                                           AddrRow{"Plus", "+5", 5}, AddrRow{"Minus", "-3", -3},
                                           AddrRow{"Empty", "", -1}, AddrRow{"Text", "abc", -1},
                                           AddrRow{"TrailingText", "5x", -1},
                                           AddrRow{"Blank", " 5", -1},
                                           AddrRow{"Overflow", "99999999999", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MeterTable, AddressOfMissingRows) {
  const MemoryGrid g = Table({"4"});
  EXPECT_EQ(MeterRowAddress(g, 2), -1);  // open row
  EXPECT_EQ(MeterRowAddress(g, 3), -1);  // past the end
  EXPECT_EQ(MeterRowAddress(g, -1), -1);
}

struct RemoveRow {
  const char* name;
  int rows;  // meters before
  int remove;
  bool removed;
  std::vector<std::string> ids;  // ID column after, open row included
};
class RemoveRows : public ::testing::TestWithParam<RemoveRow> {};
TEST_P(RemoveRows, Removes) {
  const RemoveRow& r = GetParam();
  std::vector<std::string> addrs;
  for (int i = 1; i <= r.rows; ++i) addrs.push_back(std::to_string(i));
  MemoryGrid g = Table(addrs);
  EXPECT_EQ(RemoveMeterRow(g, r.remove), r.removed);
  EXPECT_EQ(Ids(g), r.ids);
  EXPECT_EQ(g.Cell(0, 0), "H0");  // the header stays
}
INSTANTIATE_TEST_SUITE_P(
    MeterTable, RemoveRows,
    ::testing::Values(RemoveRow{"Middle", 3, 2, true, {"ID1", "ID3", ""}},
                      RemoveRow{"First", 3, 1, true, {"ID2", "ID3", ""}},
                      RemoveRow{"LastMeterKeepsTheOpenRow", 3, 3, true, {"ID1", "ID2", ""}},
                      RemoveRow{"OnlyMeter", 1, 1, true, {""}},
                      RemoveRow{"NothingSelected", 3, 0, false, {"ID1", "ID2", "ID3", ""}},
                      // The open row holds no meter: removing it would let the next meter found
                      // overwrite the last one listed.
                      RemoveRow{"OpenRowStays", 3, 4, false, {"ID1", "ID2", "ID3", ""}},
                      RemoveRow{"EmptyTable", 0, 1, false, {""}},
                      RemoveRow{"PastTheEnd", 2, 7, false, {"ID1", "ID2", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MeterTable, RemovingFromAFullTableOpensARow) {
  // 250 rows with the header; the last one holds a meter that overwrote the open row.
  std::vector<std::string> addrs;
  for (int i = 1; i <= 248; ++i) addrs.push_back(std::to_string(i));
  MemoryGrid g = Table(addrs);
  g.SetCell(0, 249, "LAST");
  g.SetCell(1, 249, "249");
  ASSERT_EQ(g.RowCount(), 250);
  ASSERT_TRUE(RemoveMeterRow(g, 10));
  EXPECT_EQ(g.RowCount(), 250);
  EXPECT_EQ(g.Cell(0, 10), "ID11");
  EXPECT_EQ(g.Cell(0, 248), "LAST");
  EXPECT_EQ(g.Cell(0, 249), "");
  // The last row of a full table is a meter too.
  g.SetCell(0, 249, "AGAIN");
  ASSERT_TRUE(RemoveMeterRow(g, 249));
  EXPECT_EQ(g.RowCount(), 250);
  EXPECT_EQ(g.Cell(0, 248), "LAST");
  EXPECT_EQ(g.Cell(0, 249), "");
}

TEST(MeterTable, ClearLeavesHeaderAndOpenRow) {
  MemoryGrid g = Table({"1", "2", "3"});
  ClearMeterTable(g);
  ASSERT_EQ(g.RowCount(), 2);
  EXPECT_EQ(g.Cell(0, 0), "H0");
  for (int c = 0; c < 8; ++c) EXPECT_EQ(g.Cell(c, 1), "") << c;
  // Growing the table again brings back no old cells.
  g.SetRowCount(4);
  EXPECT_EQ(g.Cell(0, 2), "");
}

}  // namespace
}  // namespace orvio
