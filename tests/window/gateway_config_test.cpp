// Configuration commands of the "Commands" and "TCP settings" groups against the gateway
// simulator: the register each one writes, what the simulator then holds, and the refusals.
#include <functional>

#include "gateway_fixture.h"

namespace orvio::test {
namespace {

struct WriteRow {
  const char* name;
  std::function<void(TForm1&)> set;
  void (TForm1::*click)();
  int function;
  int address;
  std::vector<uint16_t> values;
};

const WriteRow kWrites[] = {
    {"timeouts_between_position_7",
     [](TForm1& f) {
       f.checkBetween->setChecked(true);
       f.UD_variousTimes->SetPosition(7);
     },
     &TForm1::BitBtn9Click,
     0x06,
     4,
     {0x0007}},
    {"timeouts_respond_position_0",
     [](TForm1& f) { f.checkRespond->setChecked(true); },
     &TForm1::BitBtn9Click,
     0x06,
     5,
     {0x0000}},
    {"timeouts_respond_position_99",
     [](TForm1& f) {
       f.checkRespond->setChecked(true);
       f.UD_variousTimes->SetPosition(99);
     },
     &TForm1::BitBtn9Click,
     0x06,
     5,
     {0x0063}},
    {"baud_mbus_port_9600_odd",
     [](TForm1& f) {
       f.checkFPbaud->setChecked(true);
       f.Combo_baud->setCurrentText("9600");
       f.Combo_parity->setCurrentText("Odd");
     },
     &TForm1::BitBtn11Click,
     0x06,
     32787,
     {0x0041}},
    {"baud_modbus_port_115200_none",
     [](TForm1& f) {
       f.checkModbusPort->setChecked(true);
       f.Combo_baud->setCurrentText("115200");
       f.Combo_parity->setCurrentText("None");
     },
     &TForm1::BitBtn11Click,
     0x06,
     32786,
     {0x0082}},
    {"baud_modbus_port_300_even",
     [](TForm1& f) {
       f.checkModbusPort->setChecked(true);
       f.Combo_baud->setCurrentText("300");
       f.Combo_parity->setCurrentText("Even");
     },
     &TForm1::BitBtn11Click,
     0x06,
     32786,
     {0x0000}},
    {"modbus_address_254",
     [](TForm1& f) { f.Edit_address->setText("254"); },
     &TForm1::BitBtn12Click,
     0x06,
     32785,
     {254}},
    {"modbus_address_0",
     [](TForm1& f) { f.Edit_address->setText("0"); },
     &TForm1::BitBtn12Click,
     0x06,
     32785,
     {0}},
    {"readout_720_minutes",
     [](TForm1& f) { f.UDminutes->SetPosition(720); },
     &TForm1::BitBtn17Click,
     0x06,
     3,
     {0xA8C0}},
    {"readout_1_minute",
     [](TForm1& f) { f.UDminutes->SetPosition(1); },
     &TForm1::BitBtn17Click,
     0x06,
     3,
     {60}},
    {"flags_sort_with_01",
     [](TForm1& f) {
       f.checkSort->setChecked(true);
       f.check01->setChecked(true);
     },
     &TForm1::BitBtn20Click,
     0x06,
     6,
     {0x008A}},
    {"flags_snd_nke",
     [](TForm1& f) { f.checkNKE->setChecked(true); },
     &TForm1::BitBtn20Click,
     0x06,
     6,
     {0x0001}},
    {"flags_7b_with_01",
     [](TForm1& f) {
       f.check5B->setChecked(true);
       f.check01->setChecked(true);
     },
     &TForm1::BitBtn20Click,
     0x06,
     6,
     {0x0082}},
    {"flags_start_mbus",
     [](TForm1& f) { f.checkStopMbus->setChecked(true); },
     &TForm1::BitBtn20Click,
     0x06,
     6,
     {0x0009}},
    {"flags_reset",
     [](TForm1& f) { f.checkReset->setChecked(true); },
     &TForm1::BitBtn20Click,
     0x06,
     7,
     {0x0011}},
    {"flags_dhcp_with_01",
     [](TForm1& f) {
       f.checkDHCP->setChecked(true);
       f.check01->setChecked(true);
     },
     &TForm1::BitBtn20Click,
     0x06,
     7,
     {0x0081}},
    {"values_real",
     [](TForm1& f) { f.Check_realValues->setChecked(true); },
     &TForm1::BitBtn25Click,
     0x06,
     6,
     {0x0006}},
    {"values_transformed",
     [](TForm1& f) { f.Check_generalValues->setChecked(true); },
     &TForm1::BitBtn25Click,
     0x06,
     6,
     {0x0086}},
    {"listen_port_502",
     [](TForm1& f) { f.Edit_tcpPort->setText("502"); },
     &TForm1::Button2Click,
     0x06,
     56002,
     {0x01F6}},
    {"listen_port_65535",
     [](TForm1& f) { f.Edit_tcpPort->setText("65535"); },
     &TForm1::Button2Click,
     0x06,
     56002,
     {0xFFFF}},
    {"serial_number_12345678",
     [](TForm1& f) { f.Edit_id->setText("12345678"); },
     &TForm1::Button3Click,
     0x10,
     55330,
     {0x1234, 0x5678}},
    {"search_and_activate",
     [](TForm1& f) { f.Edit_address->setText("1"); },
     &TForm1::BitBtn19Click,
     0x06,
     25704,
     {250}},
};

using ConfigWriteTest = GatewayWindowTest;

TEST_P(ConfigWriteTest, EachCommandWritesItsRegisterAndLogsTheAnswer) {
  for (const WriteRow& row : kWrites) {
    SCOPED_TRACE(row.name);
    NewLinkedForm();
    row.set(*form);
    (form.get()->*row.click)();
    EXPECT_TRUE(form->gateway.CommandPending);
    ASSERT_TRUE(WaitRequests(1));
    ASSERT_TRUE(WaitCommandDone());
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].unit, 1);
    EXPECT_EQ(requests[0].function, row.function);
    EXPECT_EQ(requests[0].address, row.address);
    EXPECT_EQ(requests[0].values, row.values);
    EXPECT_EQ(requests[0].exception, 0);
    // The echo of the write, in RTU form on either link.
    const QString echo = row.function == 0x06 ? "UNMD:01 06 " : "UNMD:01 10 ";
    EXPECT_TRUE(MemoHasPrefix(echo)) << Memo().join("\n").toStdString();
    EXPECT_TRUE(MemoHasPrefix("SENT"));
    sim.SetUnitAddress(1);  // the address rows give the gateway a new one
  }
}

TEST_P(ConfigWriteTest, TheSimulatorHoldsWhatWasWritten) {
  form->checkBetween->setChecked(true);
  form->UD_variousTimes->SetPosition(12);
  form->BitBtn9Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  EXPECT_EQ(sim.HoldingRegister(4), 12);

  form->UDminutes->SetPosition(720);
  form->BitBtn17Click();
  ASSERT_TRUE(WaitRequests(2) && WaitCommandDone());
  EXPECT_EQ(sim.HoldingRegister(3), 43200);

  form->Edit_id->setText("12345678");
  form->Button3Click();
  ASSERT_TRUE(WaitRequests(3) && WaitCommandDone());
  EXPECT_EQ(sim.HoldingRegister(55330), 0x1234);
  EXPECT_EQ(sim.HoldingRegister(55331), 0x5678);

  form->Check_generalValues->setChecked(true);
  form->BitBtn25Click();
  ASSERT_TRUE(WaitRequests(4) && WaitCommandDone());
  EXPECT_TRUE(sim.TransformedValues());
}

TEST_P(ConfigWriteTest, MbusPortAbove9600ShowsAndWrites2400) {
  form->checkFPbaud->setChecked(true);
  form->Combo_baud->setCurrentText("19200");
  form->Combo_parity->setCurrentText("Even");
  form->BitBtn11Click();
  EXPECT_EQ(form->Combo_baud->currentText(), "2400");
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  const auto writes = RequestsTo(sim, 0x06, 32787);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].values, std::vector<uint16_t>{0x20});
  EXPECT_EQ(sim.HoldingRegister(32787), 0x20);
}

TEST_P(ConfigWriteTest, DateAndTimeComeFromTheClockAtSending) {
  // Sunday, 2026-12-06 21:30:05.
  form->seam.localNow = [] {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_hour = 21;
    t.tm_min = 30;
    t.tm_sec = 5;
    t.tm_wday = 0;
    return t;
  };
  form->BitBtn10Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  const auto writes = RequestsTo(sim, 0x10, 16);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].count, 4);
  // 05 1E 15 07 06 0C 1A 00
  EXPECT_EQ(writes[0].values, (std::vector<uint16_t>{0x051E, 0x1507, 0x060C, 0x1A00}));
  // The gateway's clock runs on from there: compare down to the minute.
  const std::vector<int> t = sim.DeviceTime();
  ASSERT_EQ(t.size(), 7u);
  EXPECT_EQ(std::vector<int>(t.begin() + 1, t.end()), (std::vector<int>{30, 21, 7, 6, 12, 26}));
  EXPECT_TRUE(Memo().join("\n").contains("01 10 00 10 00 04 08 05 1E 15 07 06 0C 1A 00 "))
      << Memo().join("\n").toStdString();
}

// Program IP for every setting type writes the four bytes at the type's register.
TEST_P(ConfigWriteTest, ProgramIpWritesEverySettingType) {
  const struct {
    const char* type;
    int reg;
  } kTypes[] = {{"IP address", 55400},     {"Gateway", 55402},
                {"Mask", 55404},           {"Control IP #1", 55406},
                {"Control IP #2", 55408},  {"Operator IP #1", 55410},
                {"Operator IP #2", 55412}, {"Operator IP #3", 55414},
                {"Operator IP #4", 55416}, {"Net number (optional)", 55420}};
  int n = 0;
  for (const auto& t : kTypes) {
    SCOPED_TRACE(t.type);
    form->Combo_tcpCommand->setCurrentText(t.type);
    ASSERT_EQ(form->Combo_tcpCommand->currentText(), t.type);
    form->Edit_ip->setText(QString("10.20.%1.%2").arg(n).arg(200 + n));
    form->Button1Click();
    ASSERT_TRUE(WaitRequests(static_cast<size_t>(++n)) && WaitCommandDone());
    const auto writes = RequestsTo(sim, 0x10, t.reg);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].values,
              (std::vector<uint16_t>{0x0A14, static_cast<uint16_t>(((n - 1) << 8) | (199 + n))}));
    EXPECT_EQ(sim.HoldingRegister(static_cast<uint16_t>(t.reg)), 0x0A14);
  }
  form->Combo_tcpCommand->setCurrentText("Gateway");
  form->Edit_ip->setText("192.168.1.1");
  form->Button1Click();
  ASSERT_TRUE(WaitRequests(static_cast<size_t>(++n)) && WaitCommandDone());
  EXPECT_EQ(sim.HoldingRegister(55402), 0xC0A8);
  EXPECT_EQ(sim.HoldingRegister(55403), 0x0101);
}

// ---- refusals: the command's own text (or none) and nothing on the wire ----

struct RefusalRow {
  const char* name;
  std::function<void(TForm1&)> set;
  void (TForm1::*click)();
  const char* memo;  // nullptr: refused without a word
};

const RefusalRow kRefusals[] = {
    {"timeouts_neither_box", [](TForm1&) {}, &TForm1::BitBtn9Click, "Error in timeouts..."},
    {"baud_14400",
     [](TForm1& f) {
       f.checkModbusPort->setChecked(true);
       f.Combo_baud->setCurrentText("14400");
     },
     &TForm1::BitBtn11Click, "Wrong baud or parity selected..."},
    {"parity_mark",
     [](TForm1& f) {
       f.Combo_baud->setCurrentText("9600");
       f.Combo_parity->setCurrentText("Mark");
     },
     &TForm1::BitBtn11Click, "Wrong baud or parity selected..."},
    {"address_255", [](TForm1& f) { f.Edit_address->setText("255"); }, &TForm1::BitBtn12Click,
     "Invalid new modbus address entered..."},
    {"address_999", [](TForm1& f) { f.Edit_address->setText("999"); }, &TForm1::BitBtn12Click,
     "Invalid new modbus address entered..."},
    {"address_not_a_number", [](TForm1& f) { f.Edit_address->setText("x1"); },
     &TForm1::BitBtn12Click, "Invalid new modbus address entered..."},
    {"address_empty", [](TForm1& f) { f.Edit_address->setText(""); }, &TForm1::BitBtn12Click,
     "Modbus address not entered"},
    {"flags_none", [](TForm1& f) { f.check01->setChecked(true); }, &TForm1::BitBtn20Click,
     "Nothing selected as a flag function..."},
    {"values_neither",
     [](TForm1& f) {
       f.Check_realValues->setChecked(false);
       f.Check_generalValues->setChecked(false);
     },
     &TForm1::BitBtn25Click,
     "Select what type of values you want - real or pre-defined to general units..."},
    {"listen_port_empty", [](TForm1& f) { f.Edit_tcpPort->setText(""); }, &TForm1::Button2Click,
     "Modbus TCP port not entered"},
    {"listen_port_49", [](TForm1& f) { f.Edit_tcpPort->setText("49"); }, &TForm1::Button2Click,
     "Invalid modbus TCP port entered..."},
    // Only the low 16 bits would travel: 70000 would program port 4464 into the gateway.
    {"listen_port_70000", [](TForm1& f) { f.Edit_tcpPort->setText("70000"); },
     &TForm1::Button2Click, "Invalid modbus TCP port entered..."},
    {"listen_port_not_a_number", [](TForm1& f) { f.Edit_tcpPort->setText("5o2"); },
     &TForm1::Button2Click, "Invalid modbus TCP port entered..."},
    {"serial_seven_digits", [](TForm1& f) { f.Edit_id->setText("1234567"); }, &TForm1::Button3Click,
     "Wrong ID - must be 8-digit..."},
    {"serial_with_letter", [](TForm1& f) { f.Edit_id->setText("1234567F"); }, &TForm1::Button3Click,
     "Exception converting ID - 'F' is not a valid integer value"},
    {"search_address_255", [](TForm1& f) { f.Edit_address->setText("255"); },
     &TForm1::BitBtn19Click, "Invalid new modbus address entered..."},
    {"ip_two_points", [](TForm1& f) { f.Edit_ip->setText("192.168.1"); }, &TForm1::Button1Click,
     nullptr},
    {"ip_empty_part", [](TForm1& f) { f.Edit_ip->setText("192.168..1"); }, &TForm1::Button1Click,
     nullptr},
    {"ip_part_256", [](TForm1& f) { f.Edit_ip->setText("192.168.1.256"); }, &TForm1::Button1Click,
     nullptr},
    {"ip_four_points", [](TForm1& f) { f.Edit_ip->setText("1.2.3.4.5"); }, &TForm1::Button1Click,
     nullptr},
    {"ip_empty", [](TForm1& f) { f.Edit_ip->setText(""); }, &TForm1::Button1Click, nullptr},
    {"ip_unknown_type",
     [](TForm1& f) {
       f.Combo_tcpCommand->setEditable(true);
       f.Combo_tcpCommand->setCurrentText("Router");
       f.Edit_ip->setText("1.2.3.4");
     },
     &TForm1::Button1Click, nullptr},
};

TEST_P(ConfigWriteTest, RefusedInputsSendNothingAndSayTheirText) {
  for (const RefusalRow& row : kRefusals) {
    SCOPED_TRACE(row.name);
    NewLinkedForm();
    row.set(*form);
    (form.get()->*row.click)();
    if (row.memo)
      EXPECT_EQ(Memo(), QStringList{row.memo});
    else
      EXPECT_TRUE(Memo().isEmpty()) << Memo().join("\n").toStdString();
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(form->Timer_modbus->Enabled());
    // A write sent afterwards is the first and only request the simulator sees.
    form->UDminutes->SetPosition(2);
    form->BitBtn17Click();
    ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].address, 3);
  }
}

TEST_P(ConfigWriteTest, MbusPortSpeedThatIsNoNumberEndsWithTheConversionError) {
  form->checkFPbaud->setChecked(true);
  form->Combo_baud->setCurrentText("fast");
  form->BitBtn11Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "'fast' is not a valid integer value");
  EXPECT_TRUE(Memo().isEmpty());
  EXPECT_FALSE(form->gateway.CommandPending);
  EXPECT_FALSE(form->Timer_modbus->Enabled());
  form->BitBtn17Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  EXPECT_EQ(sim.Requests().size(), 1u);
}

// A second command while the first answer is awaited empties the buffers; the one tick that
// follows (starting the running timer again does not restart it) logs whatever arrived after
// that, and the flag ends cleared.
TEST_P(ConfigWriteTest, SecondCommandWhileAnAnswerIsAwaited) {
  form->UDminutes->SetPosition(5);
  form->BitBtn17Click();
  form->checkRespond->setChecked(true);
  form->UD_variousTimes->SetPosition(3);
  form->BitBtn9Click();
  ASSERT_TRUE(WaitRequests(2));
  ASSERT_TRUE(WaitCommandDone());
  EXPECT_EQ(CountPrefix("UNMD:"), 1);
  EXPECT_EQ(sim.HoldingRegister(3), 300);
  EXPECT_EQ(sim.HoldingRegister(5), 3);
  EXPECT_FALSE(form->gateway.CommandPending);
}

// The answer of a write is only logged: an exception answer gives no text of its own.
TEST_P(ConfigWriteTest, ExceptionAnswerIsOnlyLogged) {
  sim::Fault f;
  f.function = 0x06;
  f.exception = 3;
  sim.InjectFault(f);
  form->Edit_address->setText("7");
  form->BitBtn12Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  EXPECT_TRUE(MemoHasPrefix("UNMD:01 86 03 "));
  EXPECT_FALSE(MemoHasPrefix("Error - "));
}

TEST_P(ConfigWriteTest, SilentGatewayGivesABareUnmdLine) {
  sim::Fault f;
  f.silent = true;
  sim.InjectFault(f);
  form->UDminutes->SetPosition(3);
  form->BitBtn17Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  EXPECT_TRUE(MemoHas("UNMD:"));
}

INSTANTIATE_TEST_SUITE_P(Links, ConfigWriteTest,
                         ::testing::Values(Transport::kTcp, Transport::kRtu), TransportName);

// ---- without a link ----

using NoLinkTest = WindowTest;

TEST_F(NoLinkTest, EveryCommandRefusesWithTheLinkText) {
  MakeForm();
  form->checkBetween->setChecked(true);
  form->checkSort->setChecked(true);
  form->Edit_tcpPort->setText("502");
  form->Edit_id->setText("12345678");
  form->Edit_ip->setText("1.2.3.4");
  const struct {
    const char* name;
    void (TForm1::*click)();
  } kCommands[] = {{"timeouts", &TForm1::BitBtn9Click},
                   {"date_time", &TForm1::BitBtn10Click},
                   {"baud", &TForm1::BitBtn11Click},
                   {"address", &TForm1::BitBtn12Click},
                   {"readout", &TForm1::BitBtn17Click},
                   {"flags", &TForm1::BitBtn20Click},
                   {"values", &TForm1::BitBtn25Click},
                   {"program_ip", &TForm1::Button1Click},
                   {"listen_port", &TForm1::Button2Click},
                   {"serial", &TForm1::Button3Click},
                   {"status", &TForm1::BitBtn18Click},
                   {"read_devices", &TForm1::buttonReadModbusClick},
                   {"search_activate", &TForm1::BitBtn19Click},
                   {"activate_all", &TForm1::Butt_activateAllClick}};
  for (const auto& c : kCommands) {
    SCOPED_TRACE(c.name);
    form->MemoClear();
    (form.get()->*c.click)();
    EXPECT_EQ(Memo(), QStringList{"Serial or TCP port for modbus is not open..."});
    EXPECT_FALSE(form->gateway.CommandPending);
    EXPECT_FALSE(form->Timer_modbus->Enabled());
    EXPECT_FALSE(form->Timer_status->Enabled());
    EXPECT_FALSE(form->Timer_free_command->Enabled());
    EXPECT_FALSE(form->Timer_activateAll->Enabled());
  }
  EXPECT_EQ(form->Butt_activateAll->text(), "Activate All in table");
}

}  // namespace
}  // namespace orvio::test
