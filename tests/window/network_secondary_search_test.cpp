// "Find by ID" and the secondary-address worker in the real window against the simulated
// gateway, over TCP and the pseudo-terminal: the exact read, the wildcard search, STOP, closing
// the window during a search, and the refusals.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "mbus_line_fixture.h"

namespace orvio::test {
namespace {

class SecondarySearch : public MbusLineTest {
 protected:
  // Leaves only the meters with these IDs on the simulated line.
  void KeepMeters(const std::set<std::string>& ids) {
    for (const sim::Meter& m : sim.Meters()) {
      if (!ids.count(m.id)) {
        ASSERT_TRUE(sim.RemoveMeter(m.id));
      }
    }
    ASSERT_EQ(sim.Meters().size(), ids.size());
  }

  std::set<std::string> TableIds() {
    std::set<std::string> ids;
    for (int r = 1; r < Loops()->RowCount(); ++r)
      if (!Loops()->Cell(0, r).empty()) ids.insert(Loops()->Cell(0, r));
    return ids;
  }

  bool WorkerEnded() {
    return !form->search.SecondarySearchRunning &&
           (!form->search.SecondaryWorker || form->search.SecondaryWorker->isFinished());
  }

  // Starts a run for `id` and waits until it has ended.
  void Find(const QString& id, int boundMs = 60000) {
    form->editID->setText(id);
    form->BitBtn21Click();
    ASSERT_TRUE(form->search.SecondarySearchRunning);
    ASSERT_TRUE(WaitFor([&] { return WorkerEnded(); }, boundMs));
  }

  // The control's 300 ms floor is for real lines; the simulator answers within milliseconds, and
  // a search of many selections stays quick with a shorter scan time.
  void ShortScanTime(int ms) {
    form->UD_timeout->setMinimum(ms);
    form->UD_timeout->SetPosition(ms);
  }

  void ExpectButtonsBack() {
    for (QPushButton* b : {form->BitBtn1, form->BitBtn19, form->buttonReadModbus, form->BitBtn22,
                           form->BitBtn21, form->BitBtn23, form->Button4, form->Butt_activateAll})
      EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(form->editID->isEnabled());
  }
};

TEST_P(SecondarySearch, ExactIdReadsThatMeterAndUpdatesItsRow) {
  // The meter is listed with a stale address; its row is updated in place, not duplicated.
  Loops()->SetRowCount(4);
  Loops()->SetCell(0, 1, "12345678");
  Loops()->SetCell(1, 1, "1");
  Loops()->SetCell(0, 2, "34567890");
  Loops()->SetCell(1, 2, "99");
  form->UD_retry->SetPosition(0);

  Find("34567890");

  EXPECT_EQ(form->UD_retry->Position(), 1);  // raised to one repeat
  EXPECT_TRUE(MemoHasPrefix("Secondary search Thread started at "));
  EXPECT_TRUE(MemoHas("Secondary search thread terminated normally."));
  // The deselection goes out as the run ends, without waiting for its answer.
  WaitFor([&] { return LineRequests().size() >= 3; });
  // Selection of 34567890 (BCD 90 78 56 34), the meter's read at 253, deselection.
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"680B0B6853FD5290785634FFFFFFFF3016",
                                                      "107BFD7816", "1040FD3D16"}));
  ASSERT_EQ(Loops()->RowCount(), 4);
  EXPECT_EQ(Loops()->Cell(0, 2), "34567890");
  EXPECT_EQ(Loops()->Cell(1, 2), "3");
  EXPECT_EQ(Loops()->Cell(2, 2), "ABB");
  EXPECT_EQ(Loops()->Cell(1, 1), "1");  // other rows untouched
  EXPECT_EQ(Loops()->Cell(0, 3), "");
  EXPECT_EQ(form->tunnel.SelectedMbusAddress, 3);
  EXPECT_EQ(form->Label16->text(), "Selected: 3");
  EXPECT_TRUE(form->search.StopRequested);
  ExpectButtonsBack();
  // No meter stays selected.
  for (const sim::Meter& m : sim.Meters()) EXPECT_FALSE(m.selected) << m.id;
}

TEST_P(SecondarySearch, ExactIdSearchesInARowLeaveTheLinkUsable) {
  // The deselection ends each run without waiting for its answer, and the end purges the port
  // while that answer comes in: the link must stay up through it.
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    form->MemoClear();
    Find("34567890");
    EXPECT_TRUE(MemoHas("Secondary search thread terminated normally."));
    EXPECT_EQ(TableIds().count("34567890"), 1u);
    Pump(100);  // the deselection's answer arrives
    ASSERT_TRUE(form->LinkOpen());
  }
  form->MemoClear();
  sim.ClearRequests();
  form->ClearBuffersAndPurge();
  form->SendReadInputRegisters(1, 100, 2);
  EXPECT_TRUE(WaitRequests(1));
  EXPECT_TRUE(WaitFor(
      [&] { return !(Tcp() ? form->link.TcpRxBuffer : form->link.SerialRxBuffer).empty(); }));
  EXPECT_FALSE(MemoHas("Serial or TCP port for modbus is not open..."));
}

TEST_P(SecondarySearch, ExactIdOfAMeterNotListedAppendsIt) {
  Find("21436587");
  ASSERT_EQ(Loops()->RowCount(), 3);
  EXPECT_EQ(Loops()->Cell(0, 1), "21436587");
  EXPECT_EQ(Loops()->Cell(1, 1), "8");
}

TEST_P(SecondarySearch, ExactIdNobodyHasIsRepeatedThenGivenUp) {
  form->UD_retry->SetPosition(2);
  Find("99999999");
  // One selection and two repeats, then the deselection; nothing listed. The simulated line
  // logs the deselection a moment after the gateway took it.
  EXPECT_TRUE(WaitFor([&] { return LineRequests().size() >= 4; }));
  EXPECT_EQ(LineRequests(),
            (std::vector<std::string>{"680B0B6853FD5299999999FFFFFFFF0216",
                                      "680B0B6853FD5299999999FFFFFFFF0216",
                                      "680B0B6853FD5299999999FFFFFFFF0216", "1040FD3D16"}));
  EXPECT_EQ(Loops()->RowCount(), 2);
  EXPECT_TRUE(MemoHas("Secondary search thread terminated normally."));
}

TEST_P(SecondarySearch, ChangeAddressRunMovesTheMeterOfTheSelectedRow) {
  Loops()->SetRowCount(3);
  Loops()->SetCell(0, 1, "34567890");
  Loops()->SetCell(1, 1, "3");
  Loops()->setCurrentCell(1, 0);
  form->UD_address->SetPosition(42);
  form->UD_retry->SetPosition(1);
  form->search.ChangeAddressRequested = true;
  form->search.StopRequested = false;
  ASSERT_TRUE(form->StartSecondaryIDThread());
  EXPECT_FALSE(form->StartSecondaryIDThread());  // one run at a time
  ASSERT_TRUE(WaitFor([&] { return WorkerEnded(); }, 60000));

  // Selection, the new address to 253, deselection, the read at the new address.
  EXPECT_EQ(LineRequests(),
            (std::vector<std::string>{"680B0B6853FD5290785634FFFFFFFF3016",
                                      "6806066873FD51017A2A6616", "1040FD3D16", "107B2AA516"}));
  for (const sim::Meter& m : sim.Meters()) {
    if (m.id == "34567890") {
      EXPECT_EQ(m.primary_address, 42);
    }
  }
  ASSERT_EQ(Loops()->RowCount(), 3);
  EXPECT_EQ(Loops()->Cell(1, 1), "42");
  EXPECT_FALSE(form->search.ChangeAddressRequested);
  EXPECT_TRUE(MemoHas("Secondary search thread terminated normally."));
}

TEST_P(SecondarySearch, WildcardFindsTheOneMeterOnTheLine) {
  KeepMeters({"45678901"});
  Loops()->SetRowCount(3);
  Loops()->SetCell(0, 1, "OLD");
  answer = QMessageBox::Yes;
  form->UD_retry->SetPosition(1);
  ShortScanTime(150);

  Find("FFFFFFFF");

  EXPECT_TRUE(HasBox("Clear table", "Do you want to clear the table?"));
  // Ten selections on the last digit; only "1" draws an answer, the others are repeated once.
  QStringList checking;
  for (const QString& l : Memo())
    if (l.startsWith("Checking ")) checking << l;
  ASSERT_EQ(checking.size(), 10);
  EXPECT_EQ(checking[0], "Checking 0FFFFFFF...");
  EXPECT_EQ(checking[1], "Checking 1FFFFFFF...");
  EXPECT_EQ(checking[9], "Checking 9FFFFFFF...");
  // Each silent value is selected twice (retry setting 1), whatever the timing; "1" answers.
  const std::vector<std::string> sent = LineRequests();
  for (const char* value : {"F0", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9"}) {
    const std::string selection = std::string("680B0B6853FD52") + value;
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [&](const std::string& t) { return t.rfind(selection, 0) == 0; }),
              2)
        << value;
  }
  EXPECT_EQ(TableIds(), (std::set<std::string>{"45678901"}));
  ASSERT_EQ(Loops()->RowCount(), 3);  // the old row went with the cleared table
  EXPECT_EQ(Loops()->Cell(1, 1), "4");
  ExpectButtonsBack();
}

TEST_P(SecondarySearch, StopEndsTheSearchAndNothingMoreIsSent) {
  form->UD_retry->SetPosition(1);
  answer = QMessageBox::No;
  form->editID->setText("FFFFFFFF");
  form->BitBtn21Click();
  ASSERT_TRUE(form->search.SecondarySearchRunning);
  EXPECT_FALSE(form->BitBtn21->isEnabled());
  EXPECT_FALSE(form->editID->isEnabled());
  EXPECT_FALSE(form->BitBtn1->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return CountPrefix("Checking ") >= 2; }, 30000));

  // A scan cannot start while the search holds the tunnel.
  form->BitBtn1->setEnabled(true);
  const int sentBefore = CountPrefix("SENT:");
  form->BitBtn1Click();
  EXPECT_FALSE(form->tunnel.ScanActive);
  EXPECT_EQ(CountPrefix("SENT:"), sentBefore) << "the scan sent nothing of its own";

  form->BitBtn2Click();
  const int sent = CountPrefix("SENT:");
  ASSERT_TRUE(WaitFor([&] { return WorkerEnded(); }, 10000));
  EXPECT_TRUE(MemoHas("Secondary search thread terminated normally."));
  ExpectButtonsBack();
  EXPECT_FALSE(form->Timer_mbus->Enabled());
  EXPECT_FALSE(form->Timer_mbusRespond->Enabled());
  const size_t requests = sim.Requests().size();
  Pump(1500);  // longer than a whole selection: nothing more goes out
  EXPECT_EQ(CountPrefix("SENT:"), sent);
  EXPECT_EQ(sim.Requests().size(), requests);
  EXPECT_LT(CountPrefix("Checking "), 10);

  // The next search starts afresh.
  KeepMeters({"34567890"});
  Find("34567890");
  EXPECT_EQ(TableIds().count("34567890"), 1u);
}

TEST_P(SecondarySearch, ClosingTheWindowDuringASearchEndsIt) {
  answer = QMessageBox::No;
  form->editID->setText("FFFFFFFF");
  form->BitBtn21Click();
  ASSERT_TRUE(WaitFor([&] { return CountPrefix("Checking ") >= 1; }, 30000));
  QPointer<QThread> worker = form->search.SecondaryWorker;
  ASSERT_FALSE(worker.isNull());
  form->close();  // returns once the worker has ended
  EXPECT_TRUE(worker.isNull() || worker->isFinished());
  form.reset();
  EXPECT_TRUE(WaitFor([&] { return worker.isNull(); }, 5000));  // the ended worker deletes itself
}

TEST_P(SecondarySearch, ClosingTheWindowDuringAnExactReadEndsIt) {
  form->editID->setText("34567890");
  form->BitBtn21Click();
  ASSERT_TRUE(WaitFor([&] { return CountPrefix("SENT:") >= 1; }, 30000));
  form->close();
  EXPECT_TRUE(!form->search.SecondaryWorker || form->search.SecondaryWorker->isFinished());
  form.reset();
}

TEST_P(SecondarySearch, WrongIdTextsAreRefused) {
  for (const QString id : {"2143658", "2143F587", "", "FFFFFFF", "ffffffff"}) {
    form->MemoClear();
    form->editID->setText(id);
    form->BitBtn21Click();
    EXPECT_TRUE(MemoHas("Wrong ID entered - 8-digit or FFFFFFFF available...")) << id.toStdString();
    EXPECT_FALSE(form->search.SecondarySearchRunning);
    EXPECT_TRUE(form->BitBtn21->isEnabled());
  }
  EXPECT_TRUE(sim.Requests().empty());
}

TEST_P(SecondarySearch, NoClearingWhenTheUserSaysNo) {
  KeepMeters({});
  Loops()->SetRowCount(3);
  Loops()->SetCell(0, 1, "12345678");
  answer = QMessageBox::No;
  ShortScanTime(100);
  form->UD_retry->SetPosition(0);
  Find("FFFFFFFF");
  // An empty line: ten values, each selected twice (the retry setting was raised to 1).
  EXPECT_EQ(LineRequests().size(), 20u);
  EXPECT_EQ(Loops()->Cell(0, 1), "12345678");
}

INSTANTIATE_TEST_SUITE_P(Links, SecondarySearch,
                         ::testing::Values(Transport::kTcp, Transport::kRtu), TransportName);

// The full search where two IDs differ only in their most significant digit: every position
// collides down to the last one: some 150 selections, so over TCP only and with a short scan time.
class SecondarySearchTcp : public SecondarySearch {};

TEST_P(SecondarySearchTcp, WildcardTellsApartIdsThatDifferOnlyInTheFirstDigit) {
  KeepMeters({"21436587", "71436587"});
  sim.SetLineTime(10ms);
  ShortScanTime(200);
  form->UD_retry->SetPosition(1);
  answer = QMessageBox::Yes;

  Find("FFFFFFFF", 300000);

  EXPECT_EQ(TableIds(), (std::set<std::string>{"21436587", "71436587"}));
  EXPECT_EQ(Loops()->RowCount(), 4);
  // Told apart only at the most significant digit.
  EXPECT_TRUE(MemoHas("Checking 78563412..."));
  EXPECT_TRUE(MemoHas("Checking 78563417..."));
  EXPECT_TRUE(MemoHas("Secondary search thread terminated normally."));
  ExpectButtonsBack();
}

INSTANTIATE_TEST_SUITE_P(Links, SecondarySearchTcp, ::testing::Values(Transport::kTcp),
                         TransportName);

// Without a link nothing starts.
class SecondarySearchNoLink : public WindowTest {};

TEST_F(SecondarySearchNoLink, FindByIdWithoutALinkSaysSo) {
  MakeForm();
  form->editID->setText("FFFFFFFF");
  form->BitBtn21Click();
  EXPECT_TRUE(MemoHas("Serial or TCP port for modbus is not open..."));
  EXPECT_FALSE(form->search.SecondarySearchRunning);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(form->BitBtn21->isEnabled());
}

}  // namespace
}  // namespace orvio::test
