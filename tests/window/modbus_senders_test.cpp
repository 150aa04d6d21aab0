// The six request senders of the real window against the gateway simulator: the frame that
// reaches the gateway over each link, the SENT line of each kind, and the MBAP transaction
// identifier (1000 after each connection, one more per request).
#include "modbus_link_fixture.h"

namespace orvio::test {
namespace {

struct SenderRow {
  const char* name;
  std::function<void(TForm1&)> send;
  const char* rtuBody;  // unit address to the last data byte
  const char* rtuCrc;
  // "SENT: " for the two function-0x10 writes, "SENT:" for the others, nullptr for none.
  const char* sentPrefix;
};

const SenderRow kSenders[] = {
    {"read_holding", [](TForm1& f) { f.SendReadHoldingRegisters(1, 3, 3); }, "01 03 00 03 00 03",
     "F5 CB", "SENT:"},
    {"read_input", [](TForm1& f) { f.SendReadInputRegisters(1, 1, 125); }, "01 04 00 01 00 7D",
     "61 EB", "SENT:"},
    {"write_single", [](TForm1& f) { f.SendWriteSingleRegister(1, 4, 0, 5); }, "01 06 00 04 00 05",
     "08 08", "SENT:"},
    // Five bytes go out as three registers, the last padded with 0x00.
    {"write_multiple_odd",
     [](TForm1& f) { f.SendWriteMultipleRegisters(1, 55400, Hex("01 02 03 04 05")); },
     "01 10 D8 68 00 03 06 01 02 03 04 05 00", "DC B3", "SENT: "},
    {"write_multiple_even", [](TForm1& f) { f.SendWriteMultipleRegisters(1, 55400, "AB"); },
     "01 10 D8 68 00 01 02 41 42", "46 D4", "SENT: "},
    {"write_date_time", [](TForm1& f) { f.SendWriteDateTime(1, 16, 4); },
     "01 10 00 10 00 04 08 1E 2D 0D 05 0F 03 18 00", "3E 0E", "SENT: "},
    // Device identification is never logged.
    {"read_device_identification", [](TForm1& f) { f.SendReadDeviceIdentification(1, 2); },
     "01 2B 0E 02 00", "70 87", nullptr},
};

class Senders : public ModbusLinkTest {
 protected:
  void SetUp() override {
    ModbusLinkTest::SetUp();
    form->seam.localNow = [] { return FixedClock(); };
  }
};

TEST_P(Senders, EachKindReachesTheGatewayAsItsFrameAndLogsItsLine) {
  uint16_t tid = 1000;
  size_t n = 0;
  for (const SenderRow& row : kSenders) {
    SCOPED_TRACE(row.name);
    form->MemoClear();
    row.send(*form);
    ++n;
    ASSERT_TRUE(WaitFor([&] { return sim.Requests().size() >= n; }));
    const ByteString wire = Wire(tid++, row.rtuBody, row.rtuCrc);
    EXPECT_EQ(HexText(sim.Requests()[n - 1].frame), HexText(wire));
    if (row.sentPrefix)
      EXPECT_EQ(Memo(), QStringList({row.sentPrefix + QString::fromStdString(TraceHex(wire))}));
    else
      EXPECT_TRUE(Memo().isEmpty());
  }
  EXPECT_EQ(form->link.TransactionId, Tcp() ? tid : 1000);
}

TEST_P(Senders, DateTimeWithAnotherRegisterCountSendsNothing) {
  form->SendWriteDateTime(1, 16, 3);
  EXPECT_EQ(Memo(), QStringList({"Not allowable register count!"}));
  PassTimeout();
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_EQ(form->link.TransactionId, 1000);
}

TEST_P(Senders, YearByteAroundTwoThousand) {
  // Above 2000 the year counts from 2000; otherwise its low byte goes out.
  const struct {
    int year;
    int wday;
    const char* data;  // the 8 clock bytes of a 31 December, 23:59:58
  } rows[] = {{1999, 5, "3A 3B 17 05 1F 0C CF 00"},
              {2000, 0, "3A 3B 17 07 1F 0C D0 00"},
              {2001, 1, "3A 3B 17 01 1F 0C 01 00"},
              {2026, 4, "3A 3B 17 04 1F 0C 1A 00"}};
  size_t n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.year);
    form->seam.localNow = [row] {
      std::tm t{};
      t.tm_year = row.year - 1900;
      t.tm_mon = 11;
      t.tm_mday = 31;
      t.tm_hour = 23;
      t.tm_min = 59;
      t.tm_sec = 58;
      t.tm_wday = row.wday;
      return t;
    };
    form->SendWriteDateTime(1, 16, 4);
    ++n;
    ASSERT_TRUE(WaitFor([&] { return sim.Requests().size() >= n; }));
    const ByteString frame = sim.Requests()[n - 1].frame;
    EXPECT_EQ(TraceHex(frame.substr(Tcp() ? 13 : 7, 8)), std::string(row.data) + " ");
  }
}

TEST_P(Senders, RegisterAboveTheSixteenBitsGoesOutModulo) {
  // Callers hand over register numbers as they are; 65537 travels as 1.
  form->SendReadInputRegisters(1, static_cast<uint16_t>(65537), 125);
  ASSERT_TRUE(WaitFor([&] { return sim.Requests().size() >= 1u; }));
  EXPECT_EQ(sim.Requests()[0].frame, Wire(1000, "01 04 00 01 00 7D", "61 EB"));
}

// Only TCP frames carry a transaction identifier.
using TcpSenders = Senders;

TEST_P(TcpSenders, TransactionIdStartsAt1000OnEveryConnection) {
  form->SendReadInputRegisters(1, 100, 2);
  form->SendReadInputRegisters(1, 100, 2);
  ASSERT_TRUE(WaitFor([&] { return sim.Requests().size() >= 2u; }));
  auto tidOf = [](const sim::LoggedRequest& r) { return HexText(r.frame.substr(0, 2)); };
  EXPECT_EQ(tidOf(sim.Requests()[0]), "03E8");
  EXPECT_EQ(tidOf(sim.Requests()[1]), "03E9");

  form->BitBtn24Click();
  ASSERT_TRUE(WaitFor([&] { return !form->link.TcpConnected; }));
  ConnectTcp(static_cast<quint16>(sim.TcpPort()));
  sim.ClearRequests();
  form->SendReadInputRegisters(1, 100, 2);
  ASSERT_TRUE(WaitFor([&] { return sim.Requests().size() >= 1u; }));
  EXPECT_EQ(tidOf(sim.Requests()[0]), "03E8");
}

INSTANTIATE_TEST_SUITE_P(Links, Senders, ::testing::Values(Link::kTcp, Link::kRtu), LinkName);
INSTANTIATE_TEST_SUITE_P(Tcp, TcpSenders, ::testing::Values(Link::kTcp), LinkName);

}  // namespace
}  // namespace orvio::test
