// Primary address, medium and counter-value changes in the real window against the simulated
// gateway and its M-Bus line, over TCP and the pseudo-terminal: what the meters hold afterwards,
// what the table shows after reading them back, and the refusals that send nothing.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "mbus_line_fixture.h"

namespace orvio::test {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;  // (ID, Addr)

// The M-Bus device table with the given meter rows and the open row.
void SetTable(StringGrid* g, const Rows& rows) {
  g->SetRowCount(1);
  g->SetRowCount(static_cast<int>(rows.size()) + 2);
  for (size_t i = 0; i < rows.size(); ++i) {
    g->SetCell(0, static_cast<int>(i) + 1, rows[i].first);
    g->SetCell(1, static_cast<int>(i) + 1, rows[i].second);
  }
}

const sim::Meter* FindMeter(const std::vector<sim::Meter>& meters, const std::string& id) {
  for (const sim::Meter& m : meters)
    if (m.id == id) return &m;
  return nullptr;
}

// Litres held by the meter's first volume record (VIF 13), -1 when it has none.
int64_t VolumeLitres(const sim::Meter& m) {
  for (const sim::DataRecord& r : m.records)
    if (r.Vif() == 0x13) return r.IntegerValue();
  return -1;
}

class NetworkChanges : public MbusLineTest {
 protected:
  sim::Meter Meter(const std::string& id) {
    const auto meters = sim.Meters();
    const sim::Meter* m = FindMeter(meters, id);
    EXPECT_NE(m, nullptr) << id;
    return m ? *m : sim::Meter{};
  }

  // Selects a table row as the keyboard does.
  void Select(int row) { Loops()->setCurrentCell(row, 0); }

  // Runs a one-meter request started by `click` to its end.
  template <typename Click>
  void RunSingle(Click click, int retries) {
    form->UD_retry->SetPosition(retries);
    click();
    ASSERT_TRUE(form->tunnel.SingleReadActive);
    ASSERT_TRUE(WaitFor([&] { return !form->tunnel.SingleReadActive && TunnelIdle(); }, 30000));
  }
};

// ---- medium ----

TEST_P(NetworkChanges, MediumChangeReachesTheMeterAndIsReadBack) {
  SetTable(Loops(), {{"12345678", "1"}, {"23456789", "2"}});
  Select(2);
  RunSingle([&] { form->ColdWater1Click(); }, 1);
  // The enhanced identification record with the row's ID and medium 16, sent once; the meter's
  // acknowledgement is no telegram, so the repeat reads it back.
  EXPECT_EQ(LineRequests(),
            (std::vector<std::string>{"680D0D68530251077989674523FFFFFF169116", "107B027D16"}));
  EXPECT_EQ(Meter("23456789").medium, 0x16);
  EXPECT_EQ(Meter("12345678").medium, 0x04);  // the other meter keeps its own
  EXPECT_EQ(Loops()->Cell(5, 2), "Cold water");
  EXPECT_EQ(Loops()->Cell(2, 2), "SEN");
  EXPECT_EQ(Loops()->Cell(5, 1), "");  // row of meter 1 not touched
  // The acknowledgement is read out and fails the telegram checks; the read back decodes.
  EXPECT_EQ(MemoCount("Mbus telegram decode:"), 2);
}

struct MediumEntry {
  const char* entry;
  void (TForm1::*click)();
  int code;
};

TEST_P(NetworkChanges, EveryMediumEntryWritesItsCode) {
  const MediumEntry entries[] = {
      {"Oil", &TForm1::Oil1Click, 0x01},
      {"Hot water", &TForm1::HotWater1Click, 0x06},
      {"Cold water", &TForm1::ColdWater1Click, 0x16},
      {"Electricity", &TForm1::Electricity1Click, 0x02},
      {"Heat", &TForm1::Heat1Click, 0x04},
      {"Gas", &TForm1::Gas1Click, 0x03},
      {"N/A", &TForm1::NA1Click, 0x0F},
  };
  SetTable(Loops(), {{"34567890", "3"}});
  Select(1);
  for (const MediumEntry& e : entries) {
    sim.ClearTunnelLog();
    // Retry setting 0: the telegram goes out once and nothing is read back.
    RunSingle([&] { (form.get()->*e.click)(); }, 0);
    const auto sent = LineRequests();
    ASSERT_EQ(sent.size(), 1u) << e.entry;
    EXPECT_EQ(sent[0].substr(32, 2), HexText(std::string(1, static_cast<char>(e.code)))) << e.entry;
    EXPECT_EQ(Meter("34567890").medium, e.code) << e.entry;
  }
  // Only the seven acknowledgements came back: the row was never rewritten.
  EXPECT_EQ(MemoCount("Mbus telegram decode:"), 7);
  EXPECT_EQ(Loops()->Cell(5, 1), "");
}

TEST_P(NetworkChanges, MediumChangeRefusals) {
  // Addr not a number; a row removed under the selection (another meter moved into it); the
  // header row before any selection; an ID that is not eight digits.
  SetTable(Loops(), {{"12345678", "x"}, {"23456789", "2"}, {"34567890", "3"}, {"1234567", "4"}});
  Select(1);
  form->Gas1Click();
  Select(2);
  form->Removefromtable1Click();  // meter 3 now sits in row 2, the selection still says 2
  form->Gas1Click();
  Select(3);
  form->Gas1Click();  // "1234567" at 4
  EXPECT_EQ(MemoCount("Not a valid device selected..."), 3);

  LinkWindow(kModbusTimeoutMs);  // a new window: nothing selected yet, the header row
  SetTable(Loops(), {{"12345678", "1"}});
  form->tunnel.SelectedMbusAddress = 1;
  form->Gas1Click();
  EXPECT_EQ(MemoCount("Not a valid device selected..."), 1);

  Pump(200);
  EXPECT_TRUE(LineRequests().empty());
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_FALSE(form->tunnel.SingleReadActive);
  EXPECT_EQ(Meter("12345678").medium, 0x04);
}

// ---- counter values ----

TEST_P(NetworkChanges, CounterValueInHexAndBcdReachesTheMeter) {
  SetTable(Loops(), {{"23456789", "2"}});
  Select(1);
  form->Edit_valuePulses->setText("1234");
  form->Check_valueHex->setChecked(true);
  RunSingle([&] { form->Button4Click(); }, 1);
  EXPECT_EQ(LineRequests(),
            (std::vector<std::string>{"680909685302510413D20400009316", "107B027D16"}));
  EXPECT_EQ(VolumeLitres(Meter("23456789")), 1234);
  // Read back: 1234 litres in m3.
  EXPECT_EQ(Loops()->Cell(3, 1), "1.234");
  EXPECT_EQ(Loops()->Cell(4, 1), "m3");

  sim.ClearTunnelLog();
  form->Edit_valuePulses->setText("98765432");
  form->Check_valueBCD->setChecked(true);
  EXPECT_FALSE(form->Check_valueHex->isChecked());
  RunSingle([&] { form->Button4Click(); }, 1);
  EXPECT_EQ(LineRequests().front(), "680909685302510C13325476985916");
  EXPECT_EQ(VolumeLitres(Meter("23456789")), 98765432);
  EXPECT_EQ(Loops()->Cell(3, 1), "98765.432");
  EXPECT_EQ(form->Edit_valuePulses->text(), "98765432");  // the box keeps the text as typed

  // Neither box checked counts as binary.
  sim.ClearTunnelLog();
  form->Check_valueBCD->setChecked(false);
  form->Edit_valuePulses->setText("7");
  RunSingle([&] { form->Button4Click(); }, 0);
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"68090968530251041307000000C416"}));
  EXPECT_EQ(VolumeLitres(Meter("23456789")), 7);
}

TEST_P(NetworkChanges, CounterValueRefusals) {
  SetTable(Loops(), {{"23456789", "n/a"}, {"12345678", "2"}});
  Select(1);
  form->Edit_valuePulses->setText("55");
  form->Button4Click();
  EXPECT_EQ(MemoCount("Not a valid device selected..."), 1);
  Select(2);
  form->Edit_valuePulses->setText("");
  form->Button4Click();                     // silently nothing
  form->Edit_valuePulses->setText("12a4");  // pasted, not typed
  form->Button4Click();
  EXPECT_EQ(TextLines(), QStringList{"Not a valid device selected..."});
  Pump(200);
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_FALSE(form->tunnel.SingleReadActive);
  EXPECT_EQ(VolumeLitres(Meter("23456789")), 123456);
}

TEST_P(NetworkChanges, ChangePrimaryAddressOfTheSelectedMeter) {
  SetTable(Loops(), {{"12345678", "1"}, {"23456789", "2"}});
  Select(2);
  form->UD_address->SetPosition(17);
  form->UD_retry->SetPosition(0);
  form->ChangePrAddr1Click();
  EXPECT_TRUE(HasBox("Change address", "Are you sure changing Primary address?"));
  EXPECT_EQ(form->UD_retry->Position(), 1);  // a selection is repeated at least once
  ASSERT_TRUE(WaitMemo("Secondary search thread terminated normally.", 60000));
  EXPECT_EQ(Meter("23456789").primary_address, 17);
  EXPECT_EQ(Meter("12345678").primary_address, 1);
  // Selected by its ID, given 17 (11h) at 253, read back at 17: its row shows the new address.
  const auto sent = LineRequests();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front(), "680B0B6853FD5289674523FFFFFFFFF616");
  EXPECT_NE(std::find(sent.begin(), sent.end(), "6806066873FD51017A114D16"), sent.end());
  EXPECT_EQ(sent.back(), "107B118C16");
  EXPECT_EQ(Loops()->Cell(1, 2), "17");
  EXPECT_EQ(Loops()->Cell(0, 2), "23456789");
  EXPECT_EQ(Loops()->RowCount(), 4);  // updated in place, not added

  // The meter answers at its new address.
  sim.ClearTunnelLog();
  Loops()->SetCell(3, 2, "");
  Select(2);
  EXPECT_EQ(form->tunnel.SelectedMbusAddress, 17);
  RunSingle([&] { form->Read1Click(); }, 0);
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"107B118C16"}));
  EXPECT_EQ(Loops()->Cell(3, 2), "123.456");
}

TEST_P(NetworkChanges, SetButtonAsksTooAndNoKeepsTheMeter) {
  SetTable(Loops(), {{"12345678", "1"}});
  Select(1);
  form->UD_address->SetPosition(40);
  answer = QMessageBox::No;
  form->BitBtn23Click();
  EXPECT_TRUE(HasBox("Change address", "Are you sure changing Primary address?"));
  Pump(400);
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_FALSE(form->search.ChangeAddressRequested);
  EXPECT_EQ(Meter("12345678").primary_address, 1);
}

TEST_P(NetworkChanges, ChangePrimaryAddressNeedsAMeterRow) {
  // Before any selection the header row is the selected one; then a row without an 8-digit ID.
  SetTable(Loops(), {{"FFFFFFFF", "1"}, {"", "2"}});
  form->ChangePrAddr1Click();
  Select(1);
  form->ChangePrAddr1Click();
  Select(2);
  form->BitBtn23Click();
  EXPECT_EQ(MemoCount("Not a valid device selected..."), 3);
  EXPECT_TRUE(boxes.empty());
  Pump(400);
  EXPECT_TRUE(sim.Requests().empty());
}

TEST_P(NetworkChanges, SetAllPrimaryAddressesOverThreeMeters) {
  SetTable(Loops(), {{"12345678", "21"}, {"23456789", "22"}, {"34567890", "23"}});
  form->UD_retry->SetPosition(0);
  form->BitBtn26Click();
  EXPECT_TRUE(MemoHas("Setting Primary address 21 to device 12345678..."));
  EXPECT_FALSE(form->BitBtn1->isEnabled());
  EXPECT_TRUE(form->Timer_changePrimaryAll->Enabled());
  ASSERT_TRUE(WaitMemo("Invalid primary addresses in the table, process finished!", 90000));
  EXPECT_TRUE(MemoHas("Setting Primary address 22 to device 23456789..."));
  EXPECT_TRUE(MemoHas("Setting Primary address 23 to device 34567890..."));
  EXPECT_EQ(MemoCount("Secondary search thread terminated normally."), 3);
  EXPECT_EQ(Meter("12345678").primary_address, 21);
  EXPECT_EQ(Meter("23456789").primary_address, 22);
  EXPECT_EQ(Meter("34567890").primary_address, 23);
  EXPECT_EQ(Meter("45678901").primary_address, 4);
  // Each meter was read back at its new address: its row is filled in.
  for (int row = 1; row <= 3; ++row) EXPECT_FALSE(Loops()->Cell(2, row).empty()) << row;
  EXPECT_FALSE(form->Timer_changePrimaryAll->Enabled());
  for (QPushButton* b : {form->BitBtn1, form->BitBtn19, form->buttonReadModbus, form->BitBtn22,
                         form->BitBtn21, form->BitBtn23, form->Button4, form->Butt_activateAll})
    EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
}

TEST_P(NetworkChanges, SetAllSkipsRowsWithoutAUsableAddress) {
  // "x" is no number; 300 would be clipped to 250 by the address box.
  SetTable(Loops(), {{"12345678", "x"}, {"23456789", "300"}, {"34567890", "7"}});
  form->BitBtn26Click();
  EXPECT_EQ(form->tunnel.SelectedMbusRow, 3);
  EXPECT_EQ(form->UD_address->Position(), 7);
  ASSERT_TRUE(WaitMemo("Invalid primary addresses in the table, process finished!", 60000));
  EXPECT_EQ(Meter("34567890").primary_address, 7);
  EXPECT_EQ(Meter("12345678").primary_address, 1);
  EXPECT_EQ(Meter("23456789").primary_address, 2);
  EXPECT_EQ(CountPrefix("Setting Primary address "), 1);
}

TEST_P(NetworkChanges, SetAllWithoutAnyAddressSendsNothing) {
  SetTable(Loops(), {{"12345678", "x"}, {"23456789", ""}});
  form->BitBtn26Click();
  EXPECT_EQ(TextLines(), QStringList{"Invalid primary addresses in the table, process finished!"});
  SetTable(Loops(), {});
  form->SetallPrimaryaddresses1Click();  // no data row: nothing at all
  EXPECT_EQ(TextLines().size(), 1);
  Pump(400);
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_FALSE(form->Timer_changePrimaryAll->Enabled());
  EXPECT_TRUE(form->BitBtn1->isEnabled());
}

TEST_P(NetworkChanges, StopEndsSetAll) {
  SetTable(Loops(), {{"12345678", "31"}, {"23456789", "32"}, {"34567890", "33"}});
  form->BitBtn26Click();
  ASSERT_TRUE(WaitFor([&] { return !sim.TunnelLog().empty(); }));
  form->BitBtn2Click();
  ASSERT_TRUE(WaitMemo("Process of setting primary addresses finished!", 30000));
  ASSERT_TRUE(WaitMemo("Secondary search thread terminated normally.", 30000));
  EXPECT_FALSE(form->Timer_changePrimaryAll->Enabled());
  Pump(800);
  EXPECT_EQ(CountPrefix("Setting Primary address "), 1);
  EXPECT_EQ(Meter("23456789").primary_address, 2);
  EXPECT_EQ(Meter("34567890").primary_address, 3);
  EXPECT_TRUE(form->BitBtn1->isEnabled());
}

TEST_P(NetworkChanges, ChangesWaitForARunningScan) {
  SetTable(Loops(), {{"23456789", "2"}});
  Select(1);
  form->UDaddressFrom->SetPosition(1);
  form->UDaddressTo->SetPosition(1);
  answer = QMessageBox::No;
  form->BitBtn1Click();
  ASSERT_TRUE(form->tunnel.ScanActive);
  // Their telegrams would meet the scan's on the one tunnel: none of them starts.
  form->UD_address->SetPosition(60);
  form->ChangePrAddr1Click();
  form->BitBtn26Click();
  form->Gas1Click();
  form->Edit_valuePulses->setText("1");
  form->Button4Click();
  EXPECT_FALSE(HasBox("Change address", "Are you sure changing Primary address?"));
  EXPECT_FALSE(form->Timer_changePrimaryAll->Enabled());
  ASSERT_TRUE(WaitFor([&] { return !form->tunnel.ScanActive && TunnelIdle(); }, 30000));
  Pump(300);
  EXPECT_EQ(LineRequests(), (std::vector<std::string>{"107B017C16"}));
  EXPECT_EQ(Meter("23456789").primary_address, 2);
  EXPECT_EQ(Meter("23456789").medium, 0x07);
  EXPECT_EQ(VolumeLitres(Meter("23456789")), 123456);
}

INSTANTIATE_TEST_SUITE_P(Links, NetworkChanges, ::testing::Values(Transport::kTcp, Transport::kRtu),
                         TransportName);

// Without a link nothing is asked and nothing is sent.
class NetworkChangesUnlinked : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    MakeForm();
  }
};

TEST_F(NetworkChangesUnlinked, CommandsNeedAnOpenLink) {
  SetTable(form->gridLoops, {{"12345678", "1"}, {"23456789", "2"}});
  form->gridLoops->setCurrentCell(1, 0);
  form->ChangePrAddr1Click();
  form->BitBtn23Click();
  form->SetallPrimaryaddresses1Click();
  form->BitBtn26Click();
  form->Oil1Click();
  form->Button4Click();
  EXPECT_EQ(MemoCount("Serial or TCP port for modbus is not open..."), 6);
  EXPECT_EQ(form->MemoLines().size(), 6);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(form->tunnel.SingleReadActive);
  EXPECT_FALSE(form->search.ChangeAddressRequested);
  EXPECT_FALSE(form->Timer_mbus->Enabled());
  EXPECT_FALSE(form->Timer_changePrimaryAll->Enabled());
}

}  // namespace
}  // namespace orvio::test
