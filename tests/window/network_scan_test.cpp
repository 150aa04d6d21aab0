// The primary scan, single reads and the real-address listing in the real window against the
// simulated gateway, over TCP and the pseudo-terminal; the M-Bus device table's selection,
// removal and clearing.
#include <string>
#include <vector>

#include "core/mbus/requests.h"
#include "mbus_line_fixture.h"

namespace orvio::test {
namespace {

// Header, the meters given as (ID, Addr), then the open row.
void FillLoops(StringGrid* g, const std::vector<std::pair<std::string, std::string>>& meters) {
  g->SetRowCount(1);
  g->SetRowCount(static_cast<int>(meters.size()) + 2);
  for (size_t i = 0; i < meters.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    g->SetCell(0, row, meters[i].first);
    g->SetCell(1, row, meters[i].second);
  }
}

std::vector<std::string> Column(const StringGrid* g, int col) {
  std::vector<std::string> out;
  for (int r = 1; r < g->RowCount(); ++r) out.push_back(g->Cell(col, r));
  return out;
}

class NetworkScan : public MbusLineTest {
 protected:
  // Starts a scan of from..to and waits for its end.
  void Scan(int from, int to, int retries) {
    form->UDaddressFrom->SetPosition(from);
    form->UDaddressTo->SetPosition(to);
    form->UD_retry->SetPosition(retries);
    form->BitBtn1Click();
    ASSERT_TRUE(form->tunnel.ScanActive);
    ASSERT_TRUE(WaitFor([&] { return !form->tunnel.ScanActive && TunnelIdle(); }, 60000));
  }

  // Reads the meter of a table row (selected as by the keyboard) and waits for the end.
  void ReadRow(int row, int retries) {
    Loops()->setCurrentCell(row, 0);
    form->UD_retry->SetPosition(retries);
    form->Read1Click();
    ASSERT_TRUE(WaitFor([&] { return !form->tunnel.SingleReadActive && TunnelIdle(); }, 30000));
  }
};

TEST_P(NetworkScan, ScanListsTheMetersFound) {
  FillLoops(Loops(), {{"OLD", "99"}});
  Scan(1, 5, 2);

  EXPECT_TRUE(HasBox("Clear table", "Do you want to clear the table?"));
  // One REQ_UD2 per address, FCB set: every meter answered the first time.
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"107B017C16", "107B027D16", "107B037E16",
                                                      "107B047F16", "107B058016"}));
  // Five meters and the open row; the old row went with the cleared table.
  ASSERT_EQ(Loops()->RowCount(), 7);
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"12345678", "23456789", "34567890",
                                                          "45678901", "56789012", ""}));
  EXPECT_EQ(Column(Loops(), 1), (std::vector<std::string>{"1", "2", "3", "4", "5", ""}));
  EXPECT_EQ(Column(Loops(), 2), (std::vector<std::string>{"KAM", "SEN", "ABB", "ELS", "QDS", ""}));
  // Heat meter 1: 12345 kWh; water meter 2: 123.456 m3; gas meter 4: 987.65 m3.
  EXPECT_EQ(Loops()->Cell(3, 1), "12345.000");
  EXPECT_EQ(Loops()->Cell(4, 1), "kWh");
  EXPECT_EQ(Loops()->Cell(3, 2), "123.456");
  EXPECT_EQ(Loops()->Cell(4, 2), "m3");
  EXPECT_EQ(Loops()->Cell(3, 4), "987.650");
  EXPECT_EQ(Column(Loops(), 5), (std::vector<std::string>{"Heat (rt)", "Water", "Electricity",
                                                          "Gas", "Heat C.A.", ""}));
  EXPECT_EQ(Column(Loops(), 6), (std::vector<std::string>{"00", "00", "00", "00", "00", ""}));
  for (int r = 1; r <= 5; ++r) EXPECT_FALSE(Loops()->Cell(7, r).empty()) << r;

  // Each attempt: the tunnel write, the status read, the answer read, and one decode.
  EXPECT_EQ(RequestsTo(sim, 0x10, 33800).size(), 5u);
  EXPECT_EQ(RequestsTo(sim, 0x04, 33799).size(), 5u);
  EXPECT_EQ(RequestsTo(sim, 0x04, 33800).size(), 5u);
  EXPECT_EQ(MemoCount("Mbus telegram decode:"), 5);
  // The answer read asks for the registers the status announced.
  const auto status = sim.InputRegister(33799);
  EXPECT_EQ(RequestsTo(sim, 0x04, 33800).back().count, ((status & 0xFF) + 1) / 2);

  // The scan gave the buttons back.
  for (QPushButton* b :
       {form->BitBtn1, form->BitBtn19, form->buttonReadModbus, form->BitBtn22, form->BitBtn21,
        form->BitBtn23, form->Button4, form->Butt_activateAll, form->BitBtn2})
    EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
  EXPECT_FALSE(form->tunnel.AttemptFailed);
}

TEST_P(NetworkScan, ScanLocksTheOtherTunnelUsersWhileItRuns) {
  form->UDaddressFrom->SetPosition(1);
  form->UDaddressTo->SetPosition(1);
  form->BitBtn1Click();
  for (QPushButton* b : {form->BitBtn1, form->BitBtn19, form->buttonReadModbus, form->BitBtn22,
                         form->BitBtn21, form->BitBtn23, form->Button4, form->Butt_activateAll})
    EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
  EXPECT_TRUE(form->BitBtn2->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return form->BitBtn1->isEnabled(); }, 30000));
}

TEST_P(NetworkScan, RangeIsSwappedAndSilentAddressesLeaveNoRow) {
  answer = QMessageBox::No;  // keep the table
  FillLoops(Loops(), {{"OLD", "99"}});
  Scan(12, 9, 0);
  EXPECT_EQ(form->UDaddressFrom->Position(), 9);
  EXPECT_EQ(form->UDaddressTo->Position(), 12);
  EXPECT_EQ(LineRequests(),
            (std::vector<std::string>{"107B098416", "107B0A8516", "107B0B8616", "107B0C8716"}));
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"OLD", "71436587", "89012345", ""}));
  EXPECT_EQ(Loops()->Cell(6, 3), "04");  // status byte of meter 10
  // Nobody at 11 and 12: the answer status was read, never the answer.
  EXPECT_EQ(RequestsTo(sim, 0x04, 33799).size(), 4u);
  EXPECT_EQ(RequestsTo(sim, 0x04, 33800).size(), 2u);
}

TEST_P(NetworkScan, SilentAddressIsAskedOnceAndRetryTimesMore) {
  form->Check_5B->setChecked(true);
  Scan(20, 21, 2);
  // Three requests each, FCB clear by "0x5B", then the next address; the scan ends after 21.
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"105B146F16", "105B146F16", "105B146F16",
                                                      "105B157016", "105B157016", "105B157016"}));
  EXPECT_EQ(Loops()->RowCount(), 2);
  EXPECT_EQ(MemoCount("Mbus telegram decode:"), 0);
}

TEST_P(NetworkScan, ScanToTheLastAddressEnds) {
  Scan(250, 255, 0);
  // 254 and 255 are asked like any other address; after 255 the scan ends instead of wrapping.
  const auto requests = LineRequests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests.front(), "107BFA7516");
  EXPECT_EQ(requests.back(), "107BFF7A16");
  EXPECT_TRUE(form->BitBtn1->isEnabled());
}

TEST_P(NetworkScan, GatewayFaultsCountAsFailedAttempts) {
  // First attempt: the answer-status read goes unanswered. Second: the status is refused.
  sim.InjectFault({.function = 0x04, .address = 33799, .silent = true});
  sim.InjectFault({.function = 0x04, .address = 33799, .exception = 2});
  Scan(3, 3, 2);
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"107B037E16", "107B037E16", "107B037E16"}));
  EXPECT_TRUE(MemoHasPrefix("Error - ILLEGAL DATA ADDRESS"));
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"34567890", ""}));
}

TEST_P(NetworkScan, BadAnswerReadIsReportedAndNotRepeated) {
  // The answer bytes come back with an exception: reported, and the attempt counts as answered.
  sim.InjectFault({.function = 0x04, .address = 33800, .exception = 4});
  Scan(2, 2, 2);
  EXPECT_TRUE(MemoHasPrefix("Error - SLAVE DEVICE FAILURE"));
  EXPECT_EQ(LineRequests().size(), 1u);
  EXPECT_EQ(Loops()->RowCount(), 2);
}

TEST_P(NetworkScan, StopEndsTheScanAndLeavesNoTimerRunning) {
  form->UDaddressFrom->SetPosition(1);
  form->UDaddressTo->SetPosition(10);
  form->UD_retry->SetPosition(2);
  form->BitBtn1Click();
  ASSERT_TRUE(WaitFor([&] { return Loops()->RowCount() >= 3; }, 30000));  // a meter is listed
  form->BitBtn2Click();
  EXPECT_TRUE(TunnelIdle());
  EXPECT_FALSE(form->tunnel.ScanActive);
  EXPECT_TRUE(form->search.StopRequested);
  EXPECT_EQ(form->changes.ChangeAllRow, Loops()->RowCount() + 1);
  for (QPushButton* b :
       {form->BitBtn1, form->BitBtn19, form->buttonReadModbus, form->BitBtn22, form->BitBtn21,
        form->BitBtn23, form->Button4, form->BitBtn26, form->Butt_activateAll})
    EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
  EXPECT_TRUE(form->editID->isEnabled());
  const int rows = Loops()->RowCount();
  // A frame already leaving the serial port when STOP came is let out whole.
  ASSERT_TRUE(WaitFor([&] { return !form->link.Transmitting(); }));
  Pump(50);
  const size_t requests = sim.Requests().size();
  Pump(1200);  // longer than a whole attempt: nothing more goes out
  EXPECT_EQ(sim.Requests().size(), requests);
  EXPECT_EQ(Loops()->RowCount(), rows);
  EXPECT_TRUE(TunnelIdle());
  EXPECT_LT(LineRequests().size(), 10u);
}

TEST_P(NetworkScan, ReadRefreshesTheSelectedMetersRows) {
  FillLoops(Loops(), {{"OLD", "2"}, {"OTHER", "3"}, {"TWIN", "2"}});
  sim.UpdateMeter("23456789", [](sim::Meter& m) { m.status = 0x10; });
  ReadRow(1, 2);
  EXPECT_EQ(form->tunnel.SelectedMbusAddress, 2);
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"107B027D16"}));
  EXPECT_TRUE(MemoHas("Mbus telegram decode:"));
  // Every row with Addr 2 is overwritten, nothing is added.
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"23456789", "OTHER", "23456789", ""}));
  EXPECT_EQ(Loops()->Cell(2, 1), "SEN");
  EXPECT_EQ(Loops()->Cell(6, 3), "10");
  const QString time = QString::fromStdString(Loops()->Cell(7, 1));
  EXPECT_TRUE(IsTimeOfDay(time)) << time.toStdString();
  // A single read leaves the buttons alone.
  EXPECT_TRUE(form->BitBtn1->isEnabled());
}

TEST_P(NetworkScan, ReadRepeatsFollowTheFcbBoxAndEndSilently) {
  FillLoops(Loops(), {{"GONE", "30"}});
  form->Check_5B->setChecked(true);
  ReadRow(1, 1);
  // The first request is always 7B; the repeat follows "0x5B".
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"107B1E9916", "105B1E7916"}));
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"GONE", ""}));
}

TEST_P(NetworkScan, ReadWithoutRepeatsAsksOnce) {
  FillLoops(Loops(), {{"GONE", "30"}});
  ReadRow(1, 0);
  Pump(800);  // nothing more after the attempt
  EXPECT_EQ(LineRequests().size(), 1u);
}

TEST_P(NetworkScan, ReadBeforeAnySelectionGoesToAddressZero) {
  form->Read1Click();
  ASSERT_TRUE(WaitFor([&] { return !form->tunnel.SingleReadActive && TunnelIdle(); }, 30000));
  ASSERT_FALSE(LineRequests().empty());
  EXPECT_EQ(LineRequests().front(), "107B007B16");
}

TEST_P(NetworkScan, ReadOnARowWithoutAddressSendsNothing) {
  FillLoops(Loops(), {{"X", "abc"}, {"Y", "300"}});
  for (int row : {1, 2}) {
    Loops()->setCurrentCell(row, 0);
    form->MemoClear();
    form->Read1Click();
    EXPECT_EQ(TextLines(), QStringList{"Not a valid device selected..."}) << row;
  }
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_TRUE(TunnelIdle());
}

TEST_P(NetworkScan, ReadDuringAScanIsRefused) {
  FillLoops(Loops(), {{"M", "7"}});
  Loops()->setCurrentCell(1, 0);
  answer = QMessageBox::No;
  form->UDaddressFrom->SetPosition(4);
  form->UDaddressTo->SetPosition(5);
  form->UD_retry->SetPosition(0);
  form->BitBtn1Click();
  form->Read1Click();  // the context menu stays available during a scan
  EXPECT_TRUE(form->tunnel.ScanActive);
  EXPECT_FALSE(form->tunnel.SingleReadActive);
  ASSERT_TRUE(WaitFor([&] { return !form->tunnel.ScanActive && TunnelIdle(); }, 30000));
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"107B047F16", "107B058016"}));
  EXPECT_TRUE(form->BitBtn1->isEnabled());
}

TEST_P(NetworkScan, RealAddressesListEverySlot) {
  form->BitBtn22Click();
  EXPECT_TRUE(form->gateway.CommandPending);
  ASSERT_TRUE(WaitFor([&] { return !form->gateway.CommandPending; }));
  const auto reads = RequestsTo(sim, 0x04, 59400);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].count, 32);
  // The demo gateway has the meters 1..5 in slots 1..5; the other slots hold 0.
  QStringList listing;
  for (const QString& l : Memo())
    if (l.startsWith("Modbus ")) listing << l;
  ASSERT_EQ(listing.size(), 64);
  EXPECT_EQ(listing[0], "Modbus 1 -> Mbus 1");
  EXPECT_EQ(listing[4], "Modbus 5 -> Mbus 5");
  EXPECT_EQ(listing[5], "Modbus 6 -> Mbus 0");
  EXPECT_EQ(listing[63], "Modbus 64 -> Mbus 0");
  EXPECT_TRUE(MemoHasPrefix("UNMD:01 04 40 01 02 "));
}

TEST_P(NetworkScan, RealAddressesRefusedAnswerListsNothing) {
  sim.InjectFault({.function = 0x04, .address = 59400, .exception = 2});
  form->BitBtn22Click();
  ASSERT_TRUE(WaitFor([&] { return !form->gateway.CommandPending; }));
  EXPECT_TRUE(MemoHasPrefix("Error - ILLEGAL DATA ADDRESS"));
  EXPECT_FALSE(MemoHasPrefix("Modbus "));
}

TEST_P(NetworkScan, RealAddressesWithoutAnswerLogOnlyTheEmptyLine) {
  sim.InjectFault({.function = 0x04, .address = 59400, .silent = true});
  form->BitBtn22Click();
  ASSERT_TRUE(WaitFor([&] { return !form->gateway.CommandPending; }));
  EXPECT_EQ(CountPrefix("UNMD:"), 1);
  EXPECT_TRUE(MemoHas("UNMD:"));
  EXPECT_FALSE(MemoHasPrefix("Modbus "));
}

INSTANTIATE_TEST_SUITE_P(Links, NetworkScan, ::testing::Values(Transport::kTcp, Transport::kRtu),
                         TransportName);

// The table and the commands without a gateway behind them.
class MbusTable : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    MakeForm();
  }
  StringGrid* Loops() { return form->gridLoops; }
};

TEST_F(MbusTable, CommandsNeedAnOpenLink) {
  form->BitBtn1Click();
  form->Read1Click();
  form->BitBtn22Click();
  EXPECT_EQ(MemoCount("Serial or TCP port for modbus is not open..."), 3);
  EXPECT_FALSE(form->tunnel.ScanActive);
  EXPECT_FALSE(form->tunnel.SingleReadActive);
  EXPECT_FALSE(form->gateway.CommandPending);
  EXPECT_FALSE(form->Timer_mbus->Enabled());
  EXPECT_FALSE(form->Timer_free_command->Enabled());
  EXPECT_TRUE(form->BitBtn1->isEnabled());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(MbusTable, SelectionShowsTheRowsAddress) {
  EXPECT_EQ(form->tunnel.SelectedMbusAddress, 0);
  FillLoops(Loops(), {{"A", "17"}, {"B", "n/a"}});
  Loops()->setCurrentCell(1, 0);
  EXPECT_EQ(form->tunnel.SelectedMbusRow, 1);
  EXPECT_EQ(form->tunnel.SelectedMbusAddress, 17);
  EXPECT_EQ(form->Label16->text(), "Selected: 17");
  Loops()->setCurrentCell(2, 3);
  EXPECT_EQ(form->tunnel.SelectedMbusRow, 2);
  EXPECT_EQ(form->tunnel.SelectedMbusAddress, -1);
  EXPECT_EQ(form->Label16->text(), "Selected: -1");
  // A mouse-up on a row selects it; outside the rows it changes nothing.
  form->gridLoopsMouseUp(Qt::LeftButton, 0, 1, false);
  EXPECT_EQ(form->Label16->text(), "Selected: 17");
  form->gridLoopsMouseUp(Qt::LeftButton, -1, -1, false);
  form->gridLoopsMouseUp(Qt::LeftButton, 0, 9, false);
  EXPECT_EQ(form->tunnel.SelectedMbusRow, 1);
  EXPECT_EQ(form->tunnel.SelectedMbusAddress, 17);
}

TEST_F(MbusTable, RemoveFromTable) {
  FillLoops(Loops(), {{"A", "1"}, {"B", "2"}, {"C", "3"}});
  form->Removefromtable1Click();  // nothing selected yet
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"A", "B", "C", ""}));
  form->gridLoopsMouseUp(Qt::LeftButton, 0, 2, false);
  form->Removefromtable1Click();
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"A", "C", ""}));
  EXPECT_EQ(Loops()->Cell(1, 2), "3");
  // The last meter goes, the open row stays.
  form->gridLoopsMouseUp(Qt::LeftButton, 0, 2, false);
  form->Removefromtable1Click();
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"A", ""}));
  // The open row is no meter: it stays, so the next meter found cannot overwrite A.
  form->gridLoopsMouseUp(Qt::LeftButton, 0, 2, false);
  form->Removefromtable1Click();
  EXPECT_EQ(Column(Loops(), 0), (std::vector<std::string>{"A", ""}));
}

TEST_F(MbusTable, ClearTableFromTheMenuAndTheButton) {
  EXPECT_EQ(form->Butt_clear_grid->text(), "Clear table");
  EXPECT_EQ(form->Cleartable1->text(), "Clear table");
  for (QAction* a : {form->Cleartable1, static_cast<QAction*>(nullptr)}) {
    FillLoops(Loops(), {{"A", "1"}, {"B", "2"}});
    if (a)
      a->trigger();
    else
      form->Butt_clear_grid->click();
    ASSERT_EQ(Loops()->RowCount(), 2);
    EXPECT_EQ(Loops()->Cell(0, 1), "");
    EXPECT_EQ(Loops()->Cell(1, 1), "");
    EXPECT_EQ(Loops()->Cell(0, 0), "ID ");  // the header stays
  }
}

}  // namespace
}  // namespace orvio::test
