// Activation and deletion against the gateway simulator: the popup commands on the selected row,
// Delete All, Search and activate, and Activate All with its retries and its stop.
#include <algorithm>

#include "core/tables/device_table.h"
#include "gateway_fixture.h"

namespace orvio::test {
namespace {

class ActivationTest : public GatewayWindowTest {
 protected:
  void SetUp() override {
    GatewayWindowTest::SetUp();
    form->UD_timeout->SetPosition(300);
  }
  // GridDevices rows with the given "Addr " cells, then the empty last row.
  void Fill(const std::vector<std::string>& addresses) {
    ClearDeviceTable(*form->GridDevices);
    for (const std::string& a : addresses) {
      DeviceRowCells cells{};
      cells[1] = a;
      AppendDeviceRow(*form->GridDevices, cells);
    }
  }
  void Select(int row) { form->GridDevicesMouseUp(Qt::LeftButton, 0, row, false); }
  bool Activated(int address) {
    const auto a = sim.ActivatedDevices();
    return std::find(a.begin(), a.end(), address) != a.end();
  }
  // Waits for the Timer_free_command tick that logs a one-shot command's answer.
  bool WaitFreeCommandDone() {
    return WaitFor([&] { return !form->Timer_free_command->Enabled() && MemoHasPrefix("UNMD:"); });
  }
  std::vector<std::string> ReadBackAddresses() {
    ClearDeviceTable(*form->GridDevices);
    sim.ClearRequests();
    form->buttonReadModbusClick();
    EXPECT_TRUE(WaitFor([&] {
      return !form->devices.VersionReadPending && !form->devices.DeviceListPending &&
             !form->TimerReadDevices->Enabled() && form->buttonReadModbus->isEnabled();
    }));
    std::vector<std::string> out;
    for (int r = 1; r < form->GridDevices->RowCount() - 1; ++r)
      out.push_back(form->GridDevices->Cell(1, r));
    return out;
  }
  bool ActivateAllIdle() {
    return !form->Timer_activateAll->Enabled() &&
           form->Butt_activateAll->text() == "Activate All in table";
  }
};

TEST_P(ActivationTest, ActivateWritesRegister0WithTheSelectedAddress) {
  Fill({"1", "6"});
  Select(2);
  form->Activate1Click();
  ASSERT_TRUE(WaitRequests(1));
  ASSERT_TRUE(WaitFreeCommandDone());
  const auto writes = RequestsTo(sim, 6, 0);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].values, std::vector<uint16_t>{6});
  EXPECT_TRUE(MemoHasPrefix("UNMD:01 06 00 00 00 06 "));
  EXPECT_TRUE(Activated(6));
  EXPECT_EQ(ReadBackAddresses(), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
}

TEST_P(ActivationTest, DeleteAsksAndWritesRegister1) {
  Fill({"2"});
  Select(1);
  form->Delete1Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Delete Confirmation");
  EXPECT_EQ(boxes[0].text, "Are you sure you want to DELETE Device?");
  ASSERT_TRUE(WaitRequests(1));
  ASSERT_TRUE(WaitFreeCommandDone());
  const auto writes = RequestsTo(sim, 6, 1);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].values, std::vector<uint16_t>{2});
  EXPECT_FALSE(Activated(2));
  EXPECT_EQ(ReadBackAddresses(), (std::vector<std::string>{"1", "3", "4", "5"}));
  EXPECT_TRUE(form->checkDelete->isChecked());
  EXPECT_FALSE(form->checkActivate->isChecked());
}

TEST_P(ActivationTest, DeleteAnsweredNoSendsNothing) {
  Fill({"2"});
  Select(1);
  answer = QMessageBox::No;
  form->Delete1Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(form->Timer_free_command->Enabled());
  // The next request the simulator sees is a later command's.
  form->UDminutes->SetPosition(2);
  form->BitBtn17Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  EXPECT_EQ(sim.Requests().size(), 1u);
  EXPECT_TRUE(Activated(2));
}

TEST_P(ActivationTest, ExcludeTwoInputsWritesRegister2) {
  Fill({"1"});
  Select(1);
  form->Exclude2inputs1Click();
  ASSERT_TRUE(WaitRequests(1));
  ASSERT_TRUE(WaitFreeCommandDone());
  const auto writes = RequestsTo(sim, 6, 2);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].values, std::vector<uint16_t>{1});
  EXPECT_TRUE(form->checkdeactivateInputs->isChecked());
  EXPECT_FALSE(form->checkDelete->isChecked());
  ReadBackAddresses();
  // Meter 1 had inputs 1 and 2.
  EXPECT_EQ(form->GridDevices->Cell(12, 1), "input1=00, input2=00");
}

TEST_P(ActivationTest, WriteModbusNeedsASwitchASelectionAndALink) {
  Fill({"x", "12"});
  // No switch checked.
  form->devices.SelectedDeviceAddress = 12;
  form->BitBtn14Click();
  EXPECT_FALSE(form->Timer_free_command->Enabled());
  // A row without a numeric address selects -1.
  Select(1);
  EXPECT_EQ(form->devices.SelectedDeviceAddress, -1);
  form->Activate1Click();
  form->Delete1Click();
  form->Exclude2inputs1Click();
  EXPECT_FALSE(form->Timer_free_command->Enabled());
  EXPECT_TRUE(Memo().isEmpty()) << Memo().join("\n").toStdString();
  // Beyond the last row nothing is selected anew.
  Select(9);
  form->Activate1Click();
  EXPECT_FALSE(form->Timer_free_command->Enabled());
  form->UDminutes->SetPosition(2);
  form->BitBtn17Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  EXPECT_EQ(sim.Requests().size(), 1u);
}

TEST_P(ActivationTest, SwitchesAreExclusive) {
  form->checkActivate->setChecked(true);
  form->checkActivateClick();
  form->checkDelete->setChecked(true);
  form->checkDeleteClick();
  EXPECT_FALSE(form->checkActivate->isChecked());
  form->checkdeactivateInputs->setChecked(true);
  form->checkdeactivateInputsClick();
  EXPECT_FALSE(form->checkDelete->isChecked());
  EXPECT_TRUE(form->checkdeactivateInputs->isChecked());
}

TEST_P(ActivationTest, DeleteAllOnlyOverTheSerialLink) {
  if (GetParam() == Transport::kTcp) {
    form->DeleteAll1Click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(form->Timer_free_command->Enabled());
    return;
  }
  form->link.SerialRxBuffer = "stale";
  answer = QMessageBox::No;
  form->DeleteAll1Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Delete Confirmation");
  EXPECT_EQ(boxes[0].text, "Are you sure you want to DELETE ALL?");
  EXPECT_TRUE(form->link.SerialRxBuffer.empty());
  EXPECT_FALSE(form->Timer_free_command->Enabled());

  answer = QMessageBox::Yes;
  form->DeleteAll1Click();
  ASSERT_TRUE(WaitRequests(1));
  ASSERT_TRUE(WaitFreeCommandDone());
  const auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 1u);  // the refused one sent nothing
  EXPECT_EQ(requests[0].address, 1);
  EXPECT_EQ(requests[0].values, std::vector<uint16_t>{255});
  EXPECT_TRUE(sim.ActivatedDevices().empty());
}

TEST_P(ActivationTest, SearchAndActivateActivatesTheLine) {
  sim.DeactivateDevice(255);
  form->Edit_address->setText("1");
  form->BitBtn19Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  EXPECT_EQ(RequestsTo(sim, 6, 25704).size(), 1u);
  EXPECT_EQ(sim.ActivatedDevices().size(), 10u);
}

TEST_P(ActivationTest, ActivateAllActivatesEveryRowAndReportsTheEmptyOne) {
  sim.DeactivateDevice(255);
  Fill({"6", "7", "8"});
  form->Butt_activateAllClick();
  EXPECT_EQ(form->Butt_activateAll->text(), "Stop activation");
  EXPECT_FALSE(form->buttonReadModbus->isEnabled());
  EXPECT_FALSE(form->Butt_command_send->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return ActivateAllIdle(); }, 20000));
  const QStringList expected = {"Activating device 6", "Activating device 7", "Activating device 8",
                                "Error in Primary address at row 4",
                                "Activation process finished!"};
  EXPECT_EQ(TextLines(), expected);
  EXPECT_EQ(sim.ActivatedDevices(), (std::vector<int>{6, 7, 8}));
  EXPECT_EQ(CountPrefix("RCVD: 01 06 00 00 00 0"), 3);
  EXPECT_TRUE(form->buttonReadModbus->isEnabled());
  EXPECT_TRUE(form->Butt_command_send->isEnabled());
  EXPECT_TRUE(form->Button4->isEnabled());
}

TEST_P(ActivationTest, SilentGatewayTriesEachRowRetriesPlusOneTimes) {
  sim::Fault f;
  f.silent = true;
  f.count = 0;
  sim.InjectFault(f);
  form->UD_retry->SetPosition(2);
  Fill({"6", "7"});
  form->Butt_activateAllClick();
  ASSERT_TRUE(WaitFor([&] { return ActivateAllIdle(); }, 30000));
  const auto writes = RequestsTo(sim, 6, 0);
  ASSERT_EQ(writes.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(writes[i].values[0], i < 3 ? 6 : 7) << i;
  // Three per row, and one for the empty row's tick.
  EXPECT_EQ(MemoCount("RCVD:"), 7);
  EXPECT_EQ(TextLines().last(), "Activation process finished!");
}

TEST_P(ActivationTest, AnswerFromAnotherUnitOrAnExceptionIsAFailure) {
  sim::Fault other;
  other.function = 6;
  other.other_unit = 9;
  sim.InjectFault(other);
  sim::Fault exception;
  exception.function = 6;
  exception.exception = 4;
  sim.InjectFault(exception);
  form->UD_retry->SetPosition(2);
  Fill({"6"});
  form->Butt_activateAllClick();
  ASSERT_TRUE(WaitFor([&] { return ActivateAllIdle(); }, 20000));
  // Other unit, exception, then the answer that passes: the row is sent three times, and the
  // empty row follows at once after the success.
  EXPECT_EQ(RequestsTo(sim, 6, 0).size(), 3u);
  EXPECT_TRUE(MemoHasPrefix("RCVD: 09 06 "));
  EXPECT_TRUE(MemoHasPrefix("RCVD: 01 86 04 "));
  EXPECT_EQ(TextLines(),
            (QStringList{"Activating device 6", "Activating device 6", "Activating device 6",
                         "Error in Primary address at row 2", "Activation process finished!"}));
}

TEST_P(ActivationTest, PressingAgainStops) {
  sim::Fault f;
  f.silent = true;
  f.count = 0;
  sim.InjectFault(f);
  form->UD_retry->SetPosition(9);
  Fill({"6", "7"});
  form->Butt_activateAllClick();
  ASSERT_TRUE(WaitRequests(2));
  form->Butt_activateAllClick();
  EXPECT_TRUE(ActivateAllIdle());
  EXPECT_TRUE(form->buttonReadModbus->isEnabled());
  EXPECT_FALSE(TextLines().contains("Activation process finished!"));
  const size_t sent = sim.Requests().size();
  // The menu entry starts it again.
  form->ActivateAllinTable1Click();
  EXPECT_EQ(form->Butt_activateAll->text(), "Stop activation");
  ASSERT_TRUE(WaitRequests(sent + 1));
  form->ActivateAllinTable1Click();
  EXPECT_TRUE(ActivateAllIdle());
}

TEST_P(ActivationTest, NothingToActivate) {
  form->GridDevices->SetRowCount(1);
  form->Butt_activateAllClick();
  EXPECT_TRUE(ActivateAllIdle());
  Fill({});  // header and one empty row
  form->Butt_activateAllClick();
  EXPECT_TRUE(ActivateAllIdle());
  EXPECT_TRUE(Memo().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Links, ActivationTest, ::testing::Values(Transport::kTcp, Transport::kRtu),
                         TransportName);

}  // namespace
}  // namespace orvio::test
