// The last telegram of every M-Bus device table row: it follows its row through removals, goes
// with a cleared or loaded table, and is never given out for a row that shows another meter.
#include "core/tables/meter_telegrams.h"

#include <gtest/gtest.h>

#include "core/tables/meter_table.h"

namespace orvio {
namespace {

class MeterTelegramsTest : public ::testing::Test {
 protected:
  MemoryGrid loops{8, 5};  // header, three meters, the open row
  MeterTelegrams telegrams;

  void SetUp() override {
    for (int row = 1; row <= 3; ++row) {
      loops.SetCell(0, row, "1000000" + std::to_string(row));
      loops.SetCell(1, row, std::to_string(row));
      telegrams.Store(loops, row, "T" + std::to_string(row));
    }
  }

  std::string At(int row) {
    const ByteString* t = telegrams.Find(loops, row);
    return t ? *t : "none";
  }
};

TEST_F(MeterTelegramsTest, EachRowGivesItsOwnAndANewerOneReplacesIt) {
  EXPECT_EQ(At(1), "T1");
  EXPECT_EQ(At(2), "T2");
  EXPECT_EQ(At(3), "T3");
  telegrams.Store(loops, 2, "T2 newer");
  EXPECT_EQ(At(2), "T2 newer");
  // The header, the open row and rows past the end have none and take none.
  telegrams.Store(loops, 0, "header");
  telegrams.Store(loops, 9, "past");
  for (int row : {0, 4, 9, -1}) EXPECT_EQ(At(row), "none") << row;
  EXPECT_EQ(telegrams.Size(), 3u);
}

TEST_F(MeterTelegramsTest, RemovedRowTakesItsTelegramAlongAndTheRowsBelowMoveUp) {
  ASSERT_TRUE(RemoveMeterRow(loops, 2));
  telegrams.RowRemoved(2);
  EXPECT_EQ(At(1), "T1");
  EXPECT_EQ(At(2), "T3");
  EXPECT_EQ(At(3), "none");  // now the open row
  ASSERT_TRUE(RemoveMeterRow(loops, 1));
  telegrams.RowRemoved(1);
  EXPECT_EQ(At(1), "T3");
  EXPECT_EQ(telegrams.Size(), 1u);
}

TEST_F(MeterTelegramsTest, ClearedOrLoadedTableHasNone) {
  telegrams.Clear();
  for (int row = 1; row <= 3; ++row) EXPECT_EQ(At(row), "none") << row;
}

TEST_F(MeterTelegramsTest, RowShowingAnotherMeterGivesNothing) {
  // Rewritten without the store being told: another ID, another Addr, emptied.
  loops.SetCell(0, 1, "99999999");
  loops.SetCell(1, 2, "7");
  loops.SetCell(0, 3, "");
  loops.SetCell(1, 3, "");
  for (int row = 1; row <= 3; ++row) EXPECT_EQ(At(row), "none") << row;
  // The same meter written back is its own again.
  loops.SetCell(0, 1, "10000001");
  EXPECT_EQ(At(1), "T1");
}

TEST(MeterRows, OnlyRowsBelowTheHeaderWithAnIdOrAddrHoldAMeter) {
  MemoryGrid loops(8, 4);
  loops.SetCell(0, 0, "ID ");
  loops.SetCell(0, 1, "12345678");
  loops.SetCell(1, 2, "5");
  EXPECT_FALSE(IsMeterRow(loops, 0));
  EXPECT_TRUE(IsMeterRow(loops, 1));
  EXPECT_TRUE(IsMeterRow(loops, 2));
  EXPECT_FALSE(IsMeterRow(loops, 3));
  EXPECT_FALSE(IsMeterRow(loops, 4));
}

}  // namespace
}  // namespace orvio
