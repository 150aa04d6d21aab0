// Placement of a meter's summary row in the M-Bus device table.
#include <gtest/gtest.h>

#include "core/tables/meter_placement.h"

namespace orvio {
namespace {

std::array<std::string, 8> Meter(const std::string& id, const std::string& addr,
                                 const std::string& value = "1.000") {
  return {id, addr, "ABC", value, "m3", "Water", "00", "12:00:00"};
}

// Header row and the open row, as the window keeps the table.
MemoryGrid Table() {
  MemoryGrid g(8, 2);
  g.SetCell(0, 0, "ID ");
  g.SetCell(1, 0, "Addr ");
  return g;
}

void AddRow(MemoryGrid& g, const std::string& id, const std::string& addr) {
  const int row = g.RowCount() - 1;
  g.SetCell(0, row, id);
  g.SetCell(1, row, addr);
  g.SetRowCount(g.RowCount() + 1);
}

TEST(MeterPlacement, RuleChoice) {
  EXPECT_EQ(ChooseMeterPlacement(true, true), MeterPlacement::kAppend);
  EXPECT_EQ(ChooseMeterPlacement(true, false), MeterPlacement::kAppend);
  EXPECT_EQ(ChooseMeterPlacement(false, true), MeterPlacement::kMatchId);
  EXPECT_EQ(ChooseMeterPlacement(false, false), MeterPlacement::kMatchAddress);
}

TEST(MeterPlacement, ScanAppendsWithoutDuplicateCheck) {
  MemoryGrid g = Table();
  PlaceMeterSummary(g, Meter("12345678", "5"), MeterPlacement::kAppend);
  const PlacementResult r = PlaceMeterSummary(g, Meter("12345678", "5"), MeterPlacement::kAppend);
  EXPECT_EQ(r.rows, std::vector<int>{2});
  EXPECT_FALSE(r.address_selected);
  ASSERT_EQ(g.RowCount(), 4);
  EXPECT_EQ(g.Cell(0, 1), "12345678");
  EXPECT_EQ(g.Cell(0, 2), "12345678");
  EXPECT_EQ(g.Cell(7, 2), "12:00:00");
  EXPECT_EQ(g.Cell(0, 3), "");  // open row
  EXPECT_EQ(g.Cell(0, 0), "ID ");
}

TEST(MeterPlacement, ScanStopsGrowingAtTheCap) {
  MemoryGrid g = Table();
  for (int i = 0; i < 300; ++i) {
    PlaceMeterSummary(g, Meter(std::to_string(10000000 + i), "1"), MeterPlacement::kAppend);
  }
  EXPECT_EQ(g.RowCount(), kMeterTableMaxRows);
  EXPECT_EQ(g.Cell(0, 248), "10000247");
  EXPECT_EQ(g.Cell(0, 249), "10000299");  // the last row takes every later meter
}

TEST(MeterPlacement, TableWithoutOpenRowGetsOne) {
  MemoryGrid g(8, 1);
  g.SetCell(0, 0, "ID ");
  const PlacementResult r = PlaceMeterSummary(g, Meter("1", "2"), MeterPlacement::kAppend);
  EXPECT_EQ(r.rows, std::vector<int>{1});
  EXPECT_EQ(g.Cell(0, 0), "ID ");
  EXPECT_EQ(g.RowCount(), 3);
}

TEST(MeterPlacement, MatchIdOverwritesEveryRowWithThatId) {
  MemoryGrid g = Table();
  AddRow(g, "11111111", "3");
  AddRow(g, "22222222", "4");
  AddRow(g, "11111111", "9");
  const PlacementResult r =
      PlaceMeterSummary(g, Meter("11111111", "7", "5.000"), MeterPlacement::kMatchId);
  EXPECT_EQ(r.rows, (std::vector<int>{1, 3}));
  EXPECT_EQ(r.select_rows, (std::vector<int>{1, 3}));
  EXPECT_TRUE(r.address_selected);
  EXPECT_EQ(r.selected_address, 7);
  EXPECT_EQ(g.Cell(1, 1), "7");
  EXPECT_EQ(g.Cell(3, 3), "5.000");
  EXPECT_EQ(g.Cell(1, 2), "4");
  EXPECT_EQ(g.RowCount(), 5);  // nothing appended
}

TEST(MeterPlacement, MatchIdAppendsAnUnknownMeter) {
  MemoryGrid g = Table();
  AddRow(g, "11111111", "3");
  const PlacementResult r = PlaceMeterSummary(g, Meter("33333333", "12"), MeterPlacement::kMatchId);
  EXPECT_EQ(r.rows, std::vector<int>{2});
  EXPECT_TRUE(r.select_rows.empty());
  EXPECT_TRUE(r.address_selected);
  EXPECT_EQ(r.selected_address, 12);
  EXPECT_EQ(g.Cell(0, 2), "33333333");
  EXPECT_EQ(g.RowCount(), 4);
}

TEST(MeterPlacement, MatchIdWithAddressThatIsNoNumber) {
  MemoryGrid g = Table();
  const PlacementResult r = PlaceMeterSummary(g, Meter("33333333", "x"), MeterPlacement::kMatchId);
  EXPECT_EQ(r.selected_address, -1);
}

TEST(MeterPlacement, MatchAddressOverwritesAndNeverAppends) {
  MemoryGrid g = Table();
  AddRow(g, "11111111", "5");
  AddRow(g, "22222222", "50");
  AddRow(g, "33333333", "5");
  PlacementResult r =
      PlaceMeterSummary(g, Meter("44444444", "5", "9.000"), MeterPlacement::kMatchAddress);
  EXPECT_EQ(r.rows, (std::vector<int>{1, 3}));
  EXPECT_FALSE(r.address_selected);
  EXPECT_EQ(g.Cell(0, 1), "44444444");
  EXPECT_EQ(g.Cell(0, 2), "22222222");
  EXPECT_EQ(g.Cell(0, 3), "44444444");
  r = PlaceMeterSummary(g, Meter("55555555", "6"), MeterPlacement::kMatchAddress);
  EXPECT_TRUE(r.rows.empty());
  EXPECT_EQ(g.RowCount(), 5);
}

}  // namespace
}  // namespace orvio
