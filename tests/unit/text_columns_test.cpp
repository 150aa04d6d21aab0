// Plain-text tables of the command line, and the names of the status readout's items.
#include <gtest/gtest.h>

#include "core/gateway/status_readout.h"
#include "core/text/columns.h"

namespace orvio {
namespace {

TEST(TextColumns, AlignsByDisplayWidthAndCutsTrailingBlanks) {
  // "µ" is two bytes and one character: the column after it lines up by characters.
  const std::string text = AlignedColumns(
      {{"ID", "Unit", "Medium"}, {"12345678", "\xC2\xB5s", ""}, {"1", "m3", "Water"}});
  EXPECT_EQ(text,
            "ID        Unit  Medium\n"
            "12345678  \xC2\xB5s\n"
            "1         m3    Water\n");
  EXPECT_EQ(DisplayWidth("\xC2\xB5s"), 2u);
  EXPECT_EQ(AlignedColumns({}), "");
  // Rows of different lengths keep the widths of the columns they have.
  EXPECT_EQ(AlignedColumns({{"a", "bb", "c"}, {"ccc"}}), "a    bb  c\nccc\n");
}

TEST(StatusItems, NamesMatchTheLabelsOfTheLines) {
  EXPECT_STREQ(StatusItemName(1), "Active devices");
  EXPECT_STREQ(StatusItemName(14), "NETWORK NUMBER (Identification)");
  EXPECT_STREQ(StatusItemName(0), "");
  EXPECT_STREQ(StatusItemName(15), "");
  // A labelled step's line starts with its item name and ": ".
  const std::string answer("\x01\x03\x04\xC0\xA8\x01\x64", 7);
  AnswerCheck check;
  check.bodyLength = answer.size();
  for (int step : {7, 8, 9, 10, 11, 12, 13, 14}) {
    const StatusLines out = StatusStepAt(step)->build(answer, check);
    ASSERT_EQ(out.lines.size(), 1u) << step;
    EXPECT_EQ(out.lines[0], std::string(StatusItemName(step)) + ": 192.168.1.100") << step;
  }
}

}  // namespace
}  // namespace orvio
