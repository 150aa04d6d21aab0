// The M-Bus device table read as a plan of primary-address changes.
#include "core/tables/address_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace orvio {
namespace {

// Header, the rows given as (ID, Addr), then the empty open row.
MemoryGrid Table(const std::vector<std::pair<std::string, std::string>>& rows) {
  MemoryGrid g(8, static_cast<int>(rows.size()) + 2);
  g.SetCell(0, 0, "ID ");
  g.SetCell(1, 0, "Addr ");
  for (size_t i = 0; i < rows.size(); ++i) {
    g.SetCell(0, static_cast<int>(i) + 1, rows[i].first);
    g.SetCell(1, static_cast<int>(i) + 1, rows[i].second);
  }
  return g;
}

struct PlanRow {
  const char* name;
  std::string id;
  std::string addr;
  int planned;
};
class PlannedAddressRows : public ::testing::TestWithParam<PlanRow> {};
TEST_P(PlannedAddressRows, Address) {
  const MemoryGrid g = Table({{GetParam().id, GetParam().addr}});
  EXPECT_EQ(PlannedAddress(g, 1), GetParam().planned);
}
INSTANTIATE_TEST_SUITE_P(
    AddressPlan, PlannedAddressRows,
    ::testing::Values(
        PlanRow{"Plain", "12345678", "7", 7}, PlanRow{"Lowest", "12345678", "1", 1},
        PlanRow{"Highest", "12345678", "250", 250},
        // 0 and 251..255 cannot be set; 300 would be clipped to 250.
        PlanRow{"Zero", "12345678", "0", -1}, PlanRow{"Reserved", "12345678", "251", -1},
        PlanRow{"TooLarge", "12345678", "300", -1}, PlanRow{"Negative", "12345678", "-5", -1},
        PlanRow{"Text", "12345678", "x", -1}, PlanRow{"Empty", "12345678", "", -1},
        // The selection would reach the wrong meters without an 8-digit ID.
        PlanRow{"NoId", "", "7", -1}, PlanRow{"ShortId", "1234567", "7", -1},
        PlanRow{"WildcardId", "FFFFFFFF", "7", -1}, PlanRow{"LongIdCut", "123456789", "7", 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddressPlan, NextPlannedRowSkipsRowsWithoutAnAddress) {
  const MemoryGrid g =
      Table({{"11111111", "x"}, {"22222222", "7"}, {"33333333", ""}, {"44444444", "9"}});
  EXPECT_EQ(NextPlannedRow(g, 1), 2);
  EXPECT_EQ(NextPlannedRow(g, 2), 2);
  EXPECT_EQ(NextPlannedRow(g, 3), 4);
  EXPECT_EQ(NextPlannedRow(g, 5), -1);  // the open row
  EXPECT_EQ(NextPlannedRow(g, 99), -1);
  EXPECT_EQ(NextPlannedRow(g, 0), 2);  // the header is never a meter
  // Set all's progress: the planned rows before a row, and all of them.
  for (const auto& [row, before] :
       std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}, {99, 2}})
    EXPECT_EQ(PlannedRowsBefore(g, row), before) << row;
}

TEST(AddressPlan, RowMeterIdIsTheCellsFirstEightDigits) {
  const MemoryGrid g = Table({{"12345678", "1"}, {"87654321abc", "2"}, {"1234 678", "3"}});
  EXPECT_EQ(RowMeterId(g, 1), "12345678");
  EXPECT_EQ(RowMeterId(g, 2), "87654321");
  EXPECT_EQ(RowMeterId(g, 3), "");
  EXPECT_EQ(RowMeterId(g, 0), "");  // header "ID "
  EXPECT_EQ(RowMeterId(g, 4), "");  // open row
  EXPECT_EQ(RowMeterId(g, 9), "");
}

TEST(AddressPlan, NoMeterRow) {
  EXPECT_TRUE(HasNoMeterRow(MemoryGrid(8, 1)));
  EXPECT_TRUE(HasNoMeterRow(Table({})));
  EXPECT_FALSE(HasNoMeterRow(Table({{"12345678", "x"}})));
  EXPECT_FALSE(HasNoMeterRow(Table({{"", "4"}})));
}

}  // namespace
}  // namespace orvio
