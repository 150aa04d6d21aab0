// The decoder in the real window: memo lines, the record table GridFullTelegram and the meter's
// row in gridLoops by the placement rules; the tunnelled telegram kept raw or decoded, and
// AttemptFailed.
#include "core/modbus/crc.h"
#include "harness.h"
#include "mbus/decode_window.h"

namespace orvio::test {
namespace {

// Water meter 12345678 at primary address 5, manufacturer ABC: 305419.896 m3, 21 deg. C.
ByteString Water() {
  return *ParseHexBytes(
      "68 19 19 68 08 05 72 78 56 34 12 43 04 01 07 2A 00 00 00 04 13 78 56 34 12 02 5B 15 00 "
      "A9 16");
}

// Read-input-registers answer carrying `telegram` padded to whole registers.
ByteString TunnelAnswer(const ByteString& telegram, size_t* count) {
  ByteString payload = telegram;
  if (payload.size() % 2) payload += '\0';
  *count = payload.size();
  ByteString a("\x01\x04", 2);
  a += static_cast<char>(payload.size());
  a += payload;
  return WithModbusCrc(a);
}

class MbusDecodeWindow : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    MakeForm();
    // Two meters already in the table, then the open row.
    StringGrid* g = form->gridLoops;
    g->SetRowCount(4);
    for (int c = 0; c < 8; ++c) {
      g->SetCell(c, 1, "");
      g->SetCell(c, 2, "");
      g->SetCell(c, 3, "");
    }
    g->SetCell(0, 1, "11111111");
    g->SetCell(1, 1, "5");
    g->SetCell(0, 2, "12345678");
    g->SetCell(1, 2, "9");
  }
  StringGrid* Loops() { return form->gridLoops; }
};

TEST_F(MbusDecodeWindow, SingleReadOverwritesTheRowWithItsAddress) {
  ASSERT_TRUE(form->DecodeTelegram(Water()));
  EXPECT_TRUE(MemoHas("Respond: " + QString::fromStdString(TraceHex(Water()))));
  // Record table: two rows and the empty one.
  ASSERT_EQ(form->GridFullTelegram->RowCount(), 3);
  EXPECT_EQ(form->GridFullTelegram->Cell(1, 0), "305419.896");
  EXPECT_EQ(form->GridFullTelegram->Cell(3, 1), "Flow Temp.");
  EXPECT_EQ(form->GridFullTelegram->Cell(0, 2), "");
  // Row with Addr 5 overwritten; nothing appended.
  EXPECT_EQ(Loops()->RowCount(), 4);
  EXPECT_EQ(Loops()->Cell(0, 1), "12345678");
  EXPECT_EQ(Loops()->Cell(2, 1), "ABC");
  EXPECT_EQ(Loops()->Cell(3, 1), "305419.896");
  EXPECT_EQ(Loops()->Cell(4, 1), "m3");
  EXPECT_EQ(Loops()->Cell(5, 1), "Water");
  EXPECT_EQ(Loops()->Cell(6, 1), "00");
  EXPECT_FALSE(Loops()->Cell(7, 1).empty());  // the time
  EXPECT_EQ(Loops()->Cell(1, 2), "9");
}

TEST_F(MbusDecodeWindow, ScanAppendsIntoTheOpenRow) {
  form->tunnel.ScanActive = true;
  // The scan rule comes first.
  ASSERT_TRUE(form->DecodeTelegram(Water(), /*matchRowsById=*/true));
  EXPECT_EQ(Loops()->RowCount(), 5);
  EXPECT_EQ(Loops()->Cell(0, 3), "12345678");
  EXPECT_EQ(Loops()->Cell(1, 3), "5");
  EXPECT_EQ(Loops()->Cell(0, 4), "");
  EXPECT_EQ(Loops()->Cell(1, 2), "9");  // no duplicate check
}

TEST_F(MbusDecodeWindow, SearchOverwritesTheRowWithItsIdAndSelectsIt) {
  ASSERT_TRUE(form->DecodeTelegram(Water(), /*matchRowsById=*/true));
  EXPECT_EQ(Loops()->RowCount(), 4);
  EXPECT_EQ(Loops()->Cell(1, 2), "5");
  EXPECT_EQ(form->tunnel.SelectedMbusAddress, 5);
  EXPECT_EQ(Loops()->currentRow(), 2);
}

TEST_F(MbusDecodeWindow, FailedChecksLeaveBothTablesAlone) {
  form->GridFullTelegram->SetRowCount(2);
  form->GridFullTelegram->SetCell(1, 0, "old");
  ByteString bad = Water();
  bad[bad.size() - 2] = '\x00';
  EXPECT_FALSE(form->DecodeTelegram(bad));
  EXPECT_TRUE(MemoHas("Wrong CRC"));
  EXPECT_EQ(form->GridFullTelegram->Cell(1, 0), "old");
  EXPECT_EQ(Loops()->Cell(0, 1), "11111111");
}

TEST_F(MbusDecodeWindow, DecimalSeparatorFollowsTheLocale) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const bool ok = form->DecodeTelegram(Water());
  QLocale::setDefault(QLocale::c());
  ASSERT_TRUE(ok);
  EXPECT_EQ(form->GridFullTelegram->Cell(1, 0), "305419,896");
}

TEST_F(MbusDecodeWindow, TunnelledTelegramIsDecoded) {
  size_t count = 0;
  const ByteString answer = TunnelAnswer(Water(), &count);
  const ByteString t = ExtractTunnelledTelegram(*form, answer, count);
  EXPECT_EQ(t, Water());
  EXPECT_TRUE(MemoHas("Mbus telegram decode:"));
  EXPECT_EQ(Loops()->Cell(0, 1), "12345678");
  EXPECT_FALSE(form->tunnel.AttemptFailed);
}

TEST_F(MbusDecodeWindow, KeepRawAnswerOnlyExtracts) {
  size_t count = 0;
  const ByteString answer = TunnelAnswer(Water(), &count);
  const ByteString t = ExtractTunnelledTelegram(*form, answer, count, RawAnswer::kKeep);
  EXPECT_EQ(t, Water());
  EXPECT_FALSE(MemoHas("Mbus telegram decode:"));
  EXPECT_FALSE(MemoHasPrefix("Respond: "));
  EXPECT_EQ(Loops()->Cell(0, 1), "11111111");
}

TEST_F(MbusDecodeWindow, BadTelegramSetsAttemptFailed) {
  ByteString bad = Water();
  bad[bad.size() - 1] = '\x17';
  size_t count = 0;
  const ByteString answer = TunnelAnswer(bad, &count);
  ExtractTunnelledTelegram(*form, answer, count);
  EXPECT_TRUE(MemoHas("Mbus telegram decode:"));
  EXPECT_TRUE(MemoHas("Wrong STOP byte"));
  EXPECT_TRUE(form->tunnel.AttemptFailed);
}

TEST_F(MbusDecodeWindow, RejectedAnswerIsReportedAndNotDecoded) {
  size_t count = 0;
  ByteString answer = TunnelAnswer(Water(), &count);
  answer[answer.size() - 2] = static_cast<char>(answer[answer.size() - 2] ^ 0x55);
  const ByteString t = ExtractTunnelledTelegram(*form, answer, count);
  EXPECT_TRUE(t.empty());
  EXPECT_TRUE(MemoHasPrefix("Error in CRC field"));
  EXPECT_EQ(form->Panel(2), "Error in CRC field");
  EXPECT_FALSE(MemoHas("Mbus telegram decode:"));
  EXPECT_FALSE(form->tunnel.AttemptFailed);
}

}  // namespace
}  // namespace orvio::test
