// "Read Status of ZELK-64": fourteen steps against the gateway simulator, one line per answer.
#include "gateway_fixture.h"

namespace orvio::test {
namespace {

using StatusReadoutTest = GatewayWindowTest;

// The demo gateway's identification objects as the line shows them: the object count, ids and
// lengths become blanks, and the answer's last data byte falls off with the checksum.
const char kIdentification[] =
    "   VORTELA  ZELK-64  1.3  ZELK-64 M-Bus gateway  ZELK-64  gateway simulato";

TEST_P(StatusReadoutTest, FourteenLinesInOrderWithTheGatewaysValues) {
  form->devices.ActiveDeviceCount = 0;
  form->BitBtn18Click();
  ASSERT_TRUE(
      WaitFor([&] { return form->gateway.StatusStep == 15 && !form->Timer_status->Enabled(); }));
  const QStringList expected = {
      "Active devices: 5/10",     "SND_NKE,0x7B",
      "Working days: 42",         "1F" + QString(62, '0'),
      "Modbus card version: 1.3", kIdentification,
      "IP: 192.168.1.100",        "GATE: 192.168.1.1",
      "MASK: 255.255.255.0",      "CONTROL IP #1: 192.168.1.10",
      "CONTROL IP #2: 0.0.0.0",   "DATA IP #1: 192.168.1.20",
      "DATA IP #2: 192.168.1.21", "NETWORK NUMBER (Identification): 0.0.0.1",
  };
  EXPECT_EQ(TextLines(), expected);
  EXPECT_EQ(form->devices.ActiveDeviceCount, 5);
  EXPECT_EQ(CountPrefix("UNMD:"), 14);
  // Each answer is logged with one blank before each byte.
  EXPECT_TRUE(MemoHasPrefix("UNMD: 01 04 02 0A 05 ")) << Memo().join("\n").toStdString();
  // The requests, in order: nothing for operator IP #3 and #4.
  const auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 14u);
  const int functions[] = {4, 4, 4, 4, 4, 0x2B, 3, 3, 3, 3, 3, 3, 3, 3};
  const int addresses[] = {32768, 32769, 32770, 59500, 60000, 0,     55400,
                           55402, 55404, 55406, 55408, 55410, 55412, 55420};
  for (size_t i = 0; i < 14; ++i) {
    EXPECT_EQ(requests[i].function, functions[i]) << i;
    if (functions[i] != 0x2B) {
      EXPECT_EQ(requests[i].address, addresses[i]) << i;
    }
  }
}

TEST_P(StatusReadoutTest, ChangedGatewayValuesShowUp) {
  sim.SetMbusFlags(0x01);
  sim.SetCardVersion(0, 2);
  sim.SetWorkingDays(7);
  sim.DeactivateDevice(255);
  sim.ActivateDevice(1);
  sim.ActivateDevice(2);
  sim.ActivateDevice(3);
  form->BitBtn18Click();
  ASSERT_TRUE(
      WaitFor([&] { return form->gateway.StatusStep == 15 && !form->Timer_status->Enabled(); }));
  const QStringList lines = TextLines();
  ASSERT_EQ(lines.size(), 14);
  EXPECT_EQ(lines[0], "Active devices: 3/10");
  EXPECT_EQ(lines[1], "SND_NKE,0x5B");
  EXPECT_EQ(lines[2], "Working days: 7");
  EXPECT_EQ(lines[3], "07" + QString(62, '0'));
  EXPECT_EQ(lines[4], "Modbus card version: 0.2");
  EXPECT_EQ(form->devices.ActiveDeviceCount, 3);
}

TEST_P(StatusReadoutTest, SilentGatewayGivesFourteenBareLines) {
  sim::Fault f;
  f.silent = true;
  f.count = 0;
  sim.InjectFault(f);
  form->BitBtn18Click();
  ASSERT_TRUE(
      WaitFor([&] { return form->gateway.StatusStep == 15 && !form->Timer_status->Enabled(); }));
  EXPECT_EQ(MemoCount("UNMD:"), 14);
  QStringList other;
  for (const QString& l : Memo())
    if (l != "UNMD:" && !l.startsWith("SENT:")) other << l;
  EXPECT_TRUE(other.isEmpty()) << other.join("\n").toStdString();
  EXPECT_EQ(sim.Requests().size(), 14u);
}

TEST_P(StatusReadoutTest, ExceptionAtOneStepGivesItsTextAndTheReadoutGoesOn) {
  sim::Fault f;
  f.function = 4;
  f.address = 32770;
  f.exception = 2;
  sim.InjectFault(f);
  form->BitBtn18Click();
  ASSERT_TRUE(
      WaitFor([&] { return form->gateway.StatusStep == 15 && !form->Timer_status->Enabled(); }));
  const QStringList lines = TextLines();
  ASSERT_EQ(lines.size(), 14);
  EXPECT_EQ(lines[0], "Active devices: 5/10");
  EXPECT_EQ(lines[1], "SND_NKE,0x7B");
  EXPECT_TRUE(lines[2].startsWith("Error - ILLEGAL DATA ADDRESS")) << lines[2].toStdString();
  EXPECT_EQ(lines[3], "1F" + QString(62, '0'));
  EXPECT_EQ(lines[13], "NETWORK NUMBER (Identification): 0.0.0.1");
}

TEST_P(StatusReadoutTest, LeadingZeroByteIsReportedAndSkipped) {
  sim::Fault f;
  f.function = 4;
  f.address = 60000;
  f.leading_zero = true;
  sim.InjectFault(f);
  form->BitBtn18Click();
  ASSERT_TRUE(
      WaitFor([&] { return form->gateway.StatusStep == 15 && !form->Timer_status->Enabled(); }));
  const QStringList lines = TextLines();
  ASSERT_EQ(lines.size(), 14);
  // Over the serial line the checksum, which is checked first, no longer matches the frame
  // behind the extra byte; over TCP the checksum is made in the unwrapping.
  if (GetParam() == Transport::kTcp)
    EXPECT_EQ(lines[4], "Garbage leading bytes in the telegram");
  else
    EXPECT_TRUE(lines[4].startsWith("Error in CRC field")) << lines[4].toStdString();
  EXPECT_FALSE(lines.contains("Modbus card version: 1.3"));
}

TEST_P(StatusReadoutTest, PressedAgainWhileRunningStartsOver) {
  form->BitBtn18Click();
  ASSERT_TRUE(WaitFor([&] { return form->gateway.StatusStep >= 3; }));
  form->BitBtn18Click();
  EXPECT_EQ(form->gateway.StatusStep, 1);
  ASSERT_TRUE(
      WaitFor([&] { return form->gateway.StatusStep == 15 && !form->Timer_status->Enabled(); }));
  EXPECT_EQ(TextLines().last(), "NETWORK NUMBER (Identification): 0.0.0.1");
}

INSTANTIATE_TEST_SUITE_P(Links, StatusReadoutTest,
                         ::testing::Values(Transport::kTcp, Transport::kRtu), TransportName);

// A checksum error exists only on the serial link (Modbus TCP frames carry none).
class StatusReadoutRtuTest : public GatewayWindowTest {};

TEST_P(StatusReadoutRtuTest, BadChecksumAtOneStep) {
  sim::Fault f;
  f.function = 4;
  f.address = 32768;
  f.bad_crc = true;
  sim.InjectFault(f);
  form->BitBtn18Click();
  ASSERT_TRUE(
      WaitFor([&] { return form->gateway.StatusStep == 15 && !form->Timer_status->Enabled(); }));
  const QStringList lines = TextLines();
  ASSERT_EQ(lines.size(), 14);
  EXPECT_TRUE(lines[0].startsWith("Error in CRC field")) << lines[0].toStdString();
  EXPECT_EQ(lines[1], "SND_NKE,0x7B");
  EXPECT_EQ(form->Panel(2), "Error in CRC field");
}

INSTANTIATE_TEST_SUITE_P(Serial, StatusReadoutRtuTest, ::testing::Values(Transport::kRtu),
                         TransportName);

}  // namespace
}  // namespace orvio::test
