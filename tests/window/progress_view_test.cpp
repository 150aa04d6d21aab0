// The status bar's progress view of the long jobs in the real window against the simulated
// gateway: what it says while a scan, a search, Activate All, the device-map readback, the status
// readout and a read with repeats run, that the time left comes from the settings the jobs use,
// and that it clears when a job ends or STOP is pressed.
#include <set>
#include <string>
#include <vector>

#include "core/progress/progress.h"
#include "core/tables/device_table.h"
#include "mbus_line_fixture.h"

namespace orvio::test {
namespace {

class ProgressView : public MbusLineTest {
 protected:
  QStringList seen;  // every text the view showed, in order

  ProgressWidget* View() { return form->JobProgress; }

  // Every text the view shows is noted, also one shown only for a moment between two polls
  // (a job whose waits finish early moves on at once).
  void SetUp() override {
    MbusLineTest::SetUp();
    QObject::connect(View(), &ProgressWidget::Shown, form.get(), [this] { Watch(); });
  }

  void Watch() {
    const QString text = View()->Text();
    if (!text.isEmpty() && (seen.isEmpty() || seen.back() != text)) seen << text;
  }
  bool WaitWatching(const std::function<bool()>& cond, int ms) {
    return WaitFor(
        [&] {
          Watch();
          return cond();
        },
        ms);
  }
  bool Seen(const QString& part) {
    for (const QString& t : seen)
      if (t.contains(part)) return true;
    return false;
  }
  // The largest "<n> <word>" count the view showed.
  int MostCounted(const QString& word) {
    int most = -1;
    const QRegularExpression count("(\\d+) " + word);
    for (const QString& t : seen) {
      const auto m = count.match(t);
      if (m.hasMatch()) most = std::max(most, m.captured(1).toInt());
    }
    return most;
  }
  void ExpectCleared() {
    EXPECT_TRUE(View()->isHidden());
    EXPECT_EQ(View()->Text(), "");
  }

  void KeepMeters(const std::set<std::string>& ids) {
    for (const sim::Meter& m : sim.Meters()) {
      if (!ids.count(m.id)) {
        ASSERT_TRUE(sim.RemoveMeter(m.id));
      }
    }
  }
  void ShortScanTime(int ms) {
    form->UD_timeout->setMinimum(ms);
    form->UD_timeout->SetPosition(ms);
  }
  bool SearchEnded() { return !form->search.SecondarySearchRunning; }
};

TEST_P(ProgressView, ScanShowsWhereItIsWhatItFoundAndClearsAtTheEnd) {
  ExpectCleared();  // nothing runs at start
  form->UDaddressFrom->SetPosition(1);
  form->UDaddressTo->SetPosition(8);
  form->UD_retry->SetPosition(0);
  form->BitBtn1Click();
  EXPECT_FALSE(View()->isHidden());
  EXPECT_TRUE(View()->Text().startsWith("Scan"));
  ASSERT_TRUE(WaitWatching([&] { return !form->tunnel.ScanActive && TunnelIdle(); }, 60000));

  // Where it is, out of the range, with the meters found growing: eight in the report after the
  // last answer, shown just before the end clears the view.
  EXPECT_TRUE(Seen("Scan: address 2 of 1..8")) << seen.join("\n").toStdString();
  EXPECT_TRUE(Seen("address 8 of 1..8"));
  EXPECT_TRUE(Seen("1 found"));
  EXPECT_EQ(MostCounted("found"), 8);
  EXPECT_TRUE(Seen(" left"));
  // The text never went backwards in the range.
  int last = 0;
  static const QRegularExpression kAddress("address (\\d+) of");
  for (const QString& t : seen) {
    const auto m = kAddress.match(t);
    if (!m.hasMatch()) continue;
    EXPECT_GE(m.captured(1).toInt(), last) << t.toStdString();
    last = m.captured(1).toInt();
  }
  ExpectCleared();
}

TEST_P(ProgressView, ScanTimeLeftComesFromTheScanSettings) {
  form->UDaddressFrom->SetPosition(20);
  form->UDaddressTo->SetPosition(29);
  form->UD_retry->SetPosition(1);
  form->BitBtn1Click();
  ASSERT_TRUE(WaitFor([&] { return View()->State(Job::Scan)->pace.prescribedMs > 0; }, 30000));
  // After the first silent attempt at 20: one repeat there and two attempts at each of 21..29,
  // each the scan time and the Modbus wait the scan was started with (the whole time-out with
  // fixed waits, a moment when waits finish early).
  const progress::JobState* s = View()->State(Job::Scan);
  const progress::Waits waits{300, form->AnswerWaitMs(kModbusTimeoutMs), 1};
  EXPECT_DOUBLE_EQ(s->last.prescribedLeft.maxMs, progress::ScanLeftMs(waits, 20, 1, 29));
  EXPECT_DOUBLE_EQ(s->pace.prescribedMs, progress::ScanAttemptMs(waits, false));
  EXPECT_TRUE(View()->Text().contains("0 found"));
  EXPECT_EQ(View()->BarValue(), 0);

  // STOP clears the view at once, and a late step of the stopped scan does not bring it back.
  form->BitBtn2Click();
  ExpectCleared();
  Pump(800);
  ExpectCleared();
}

TEST_P(ProgressView, ReadWithRepeatsCountsItsAttempts) {
  form->UD_retry->SetPosition(2);
  form->gridLoops->SetCell(1, 1, "40");  // nobody answers at 40
  form->gridLoops->setCurrentCell(1, 1);
  form->Read1Click();
  ASSERT_TRUE(View()->Running(Job::SingleRead));
  ASSERT_TRUE(WaitWatching([&] { return !form->tunnel.SingleReadActive && TunnelIdle(); }, 30000));
  EXPECT_TRUE(Seen("Read: address 40, attempt 1 of 3")) << seen.join("\n").toStdString();
  EXPECT_TRUE(Seen("attempt 3 of 3"));
  ExpectCleared();
}

INSTANTIATE_TEST_SUITE_P(Links, ProgressView, ::testing::Values(Transport::kTcp, Transport::kRtu),
                         TransportName);

class ProgressViewTcp : public ProgressView {};

TEST_P(ProgressViewTcp, WildcardSearchShowsDigitSelectionsFoundAndARange) {
  KeepMeters({"12345678", "45678901"});
  form->UD_retry->SetPosition(1);
  ShortScanTime(150);
  form->editID->setText("FFFFFFFF");
  form->BitBtn21Click();
  ASSERT_TRUE(form->search.SecondarySearchRunning);
  ASSERT_TRUE(WaitWatching([&] { return SearchEnded(); }, 120000));

  EXPECT_TRUE(Seen("Search: digit 1 of 8, 0 selections")) << seen.join("\n").toStdString();
  EXPECT_TRUE(Seen("digit 1 of 8, 16 selections"));  // before 9: eight silent twice, 1 and 8 once
  EXPECT_EQ(MostCounted("found"), 2);
  // Not one number but a range: the search's length depends on the meters still to be found.
  EXPECT_TRUE(Seen(" .. ")) << seen.join("\n").toStdString();
  ExpectCleared();
}

TEST_P(ProgressViewTcp, StopClearsTheSearch) {
  form->UD_retry->SetPosition(1);
  answer = QMessageBox::No;
  form->editID->setText("FFFFFFFF");
  form->BitBtn21Click();
  ASSERT_TRUE(WaitWatching([&] { return CountPrefix("Checking ") >= 2; }, 30000));
  EXPECT_TRUE(View()->Text().startsWith("Search: digit 1 of 8"));
  form->BitBtn2Click();
  ExpectCleared();
  ASSERT_TRUE(WaitFor([&] { return SearchEnded(); }, 10000));
  Pump(300);  // the worker's last reports arrive after STOP
  ExpectCleared();
}

TEST_P(ProgressViewTcp, ActivateAllReadbackAndStatusShowTheirSteps) {
  ClearDeviceTable(*form->GridDevices);
  for (const char* a : {"6", "7", "8"}) {
    DeviceRowCells cells{};
    cells[1] = a;
    AppendDeviceRow(*form->GridDevices, cells);
  }
  form->Butt_activateAllClick();
  EXPECT_TRUE(View()->Text().startsWith("Activate All: row 1 of 4"))
      << View()->Text().toStdString();
  ASSERT_TRUE(WaitWatching([&] { return !form->Timer_activateAll->Enabled(); }, 30000));
  EXPECT_TRUE(Seen("row 3 of 4 \u00B7 2 activated")) << seen.join("\n").toStdString();
  EXPECT_EQ(MostCounted("activated"), 3);
  ExpectCleared();

  seen.clear();
  form->buttonReadModbusClick();
  ASSERT_TRUE(WaitWatching(
      [&] {
        return !form->devices.VersionReadPending && !form->devices.DeviceListPending &&
               !form->TimerReadDevices->Enabled();
      },
      30000));
  // Five activated at start and the three above.
  EXPECT_TRUE(Seen("Device map: record 1 of 8")) << seen.join("\n").toStdString();
  EXPECT_TRUE(Seen("record 8 of 8"));
  ExpectCleared();

  seen.clear();
  form->BitBtn18Click();
  EXPECT_TRUE(View()->Text().startsWith("Status: step 1 of 14"));
  ASSERT_TRUE(WaitWatching([&] { return !form->Timer_status->Enabled(); }, 30000));
  EXPECT_TRUE(Seen("step 14 of 14"));
  ExpectCleared();
}

TEST_P(ProgressViewTcp, SetAllCountsThePlannedRowsAndStopClearsIt) {
  // Three rows, of which the middle one plans no address.
  Loops()->SetRowCount(1);
  Loops()->SetRowCount(5);
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"12345678", "21"}, {"23456789", "x"}, {"34567890", "23"}};
  for (int r = 1; r <= 3; ++r) {
    Loops()->SetCell(0, r, rows[static_cast<size_t>(r - 1)].first);
    Loops()->SetCell(1, r, rows[static_cast<size_t>(r - 1)].second);
  }
  form->UD_retry->SetPosition(0);
  form->BitBtn26Click();
  EXPECT_TRUE(View()->Text().startsWith("Set all: row 1 of 2")) << View()->Text().toStdString();
  ASSERT_TRUE(WaitWatching([&] { return Seen("Set all: row 2 of 2"); }, 60000))
      << seen.join("\n").toStdString();
  form->BitBtn2Click();
  ExpectCleared();
  ASSERT_TRUE(WaitMemo("Process of setting primary addresses finished!", 30000));
  ExpectCleared();
}

TEST_P(ProgressViewTcp, AutomaticReadingCountsDownToTheNextRead) {
  form->EditInputAddress->setText("32768");
  form->EditInputCount->setText("1");
  form->UD_auto->SetPosition(1);
  form->CheckBox1->setChecked(true);
  form->CheckBox1Click();
  EXPECT_TRUE(View()->Text().startsWith("Automatic read: every 1 s"))
      << View()->Text().toStdString();
  ASSERT_TRUE(WaitWatching([&] { return RequestsTo(sim, 4, 32768).size() >= 2; }, 10000));
  EXPECT_TRUE(Seen("next in"));
  form->CheckBox1->setChecked(false);
  form->CheckBox1Click();
  ExpectCleared();
}

INSTANTIATE_TEST_SUITE_P(Link, ProgressViewTcp, ::testing::Values(Transport::kTcp), TransportName);

}  // namespace
}  // namespace orvio::test
