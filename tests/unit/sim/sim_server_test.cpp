// The simulator serving over loopback TCP and its pseudo-terminal: agreement with the model,
// the tunnel through real requests, every fault as it appears on the wire, and bad input.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sim/gateway_sim.h"
#include "sim_test_util.h"

namespace orvio::sim {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::Client;
using test::Hex;
using test::Mbap;
using test::RawRtu;
using test::RawTcp;
using test::ReadPdu;
using test::WithCrc;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = sim_.StartTcp(0);
    ASSERT_GT(port_, 0);
  }
  std::string Rtu() {
    const std::string path = sim_.StartRtu();
    EXPECT_FALSE(path.empty());
    return path;
  }
  GatewaySim sim_;
  int port_ = -1;
};

// ---- agreement with the model ----

void ReadsAgreeWithModel(GatewaySim& sim, Client& c) {
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(c.ReadInput(60000, 1), std::vector<uint16_t>{0x0103});
  EXPECT_EQ(c.ReadInput(32768, 3), (std::vector<uint16_t>{0x0A05, 0x0003, 42}));
  const std::vector<uint16_t> bitmap = c.ReadInput(59500, 16);
  ASSERT_EQ(bitmap.size(), 16u);
  for (uint16_t i = 0; i < 16; ++i) EXPECT_EQ(bitmap[i], sim.InputRegister(59500 + i));
  const std::vector<uint16_t> record = c.ReadInput(1, 28);
  ASSERT_EQ(record.size(), 28u);
  EXPECT_EQ(record[0], 0x0104);
  ASSERT_TRUE(c.WriteBlock(55404, {0xFFFF, 0xFE00}));
  EXPECT_EQ(sim.HoldingRegister(55405), 0xFE00);
  EXPECT_EQ(c.ReadHolding(55404, 2), (std::vector<uint16_t>{0xFFFF, 0xFE00}));
  ASSERT_TRUE(c.Write(4, 7));
  EXPECT_EQ(sim.HoldingRegister(4), 7);
}

TEST_F(ServerTest, TcpReadsAndWritesAgreeWithTheModel) {
  Client c = Client::Tcp(port_);
  ReadsAgreeWithModel(sim_, c);
}

TEST_F(ServerTest, RtuOnThePseudoTerminalAgreesWithTheModel) {
  Client c = Client::Rtu(Rtu());
  ReadsAgreeWithModel(sim_, c);
}

TEST_F(ServerTest, RequestsAreLoggedAfterTheModelActed) {
  Client c = Client::Tcp(port_);
  ASSERT_TRUE(c.WriteBlock(55400, {0x0A00, 0x0001}));
  ASSERT_TRUE(sim_.WaitForRequests(1, 5s));
  const LoggedRequest r = sim_.Requests().at(0);
  EXPECT_EQ(r.function, 0x10);
  EXPECT_EQ(r.address, 55400);
  EXPECT_EQ(r.count, 2);
  EXPECT_EQ(r.values, (std::vector<uint16_t>{0x0A00, 0x0001}));
  EXPECT_EQ(r.transport, Transport::kTcp);
  sim_.ClearRequests();
  EXPECT_TRUE(sim_.Requests().empty());
  EXPECT_FALSE(sim_.WaitForRequests(1, 50ms));
}

// ---- tunnel through real requests ----

TEST_F(ServerTest, TunnelRoundTripOverTcp) {
  sim_.SetLineTime(50ms);
  Client c = Client::Tcp(port_);
  ASSERT_TRUE(c.WriteBlock(33800, test::TelegramRegisters(test::ShortFrame(0x7B, 3))));
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < end) {
    const auto v = c.ReadInput(33799, 1);
    ASSERT_EQ(v.size(), 1u);
    status = v[0];
    if ((status >> 8) > 3) break;
  }
  ASSERT_GT(status >> 8, 3);
  const int length = status & 0xFF;
  const std::string answer =
      test::RegisterBytes(c.ReadInput(33800, (length + 1) / 2)).substr(0, length);
  EXPECT_TRUE(test::ValidLongFrame(answer)) << Hex(answer);
  EXPECT_EQ(Hex(answer.substr(7, 4)), "90 78 56 34");
  EXPECT_EQ(Hex(answer), Hex(sim_.TunnelLog().back().answer));
}

// ---- device identification (raw answers) ----

TEST_F(ServerTest, DeviceIdentificationOverTcpAndRtu) {
  RawTcp tcp(port_);
  ASSERT_TRUE(tcp.Send(Mbap(0x1234, Bytes({1, 0x2B, 0x0E, 0x01, 0x00}))));
  const std::string pdu = Bytes({0x2B, 0x0E, 0x01, 0x82, 0, 0, 3, 0, 7}) + "VORTELA" +
                          Bytes({1, 7}) + "ZELK-64" + Bytes({2, 3}) + "1.3";
  const std::string expected = Mbap(0x1234, Bytes({1}) + pdu);
  EXPECT_EQ(Hex(tcp.Read(expected.size())), Hex(expected));

  RawRtu rtu(Rtu());
  ASSERT_TRUE(rtu.ok());
  ASSERT_TRUE(rtu.Send(WithCrc(Bytes({1, 0x2B, 0x0E, 0x01, 0x00}))));
  const std::string expected_rtu = WithCrc(Bytes({1}) + pdu);
  EXPECT_EQ(Hex(rtu.Read(expected_rtu.size())), Hex(expected_rtu));
}

// ---- faults on the wire ----

struct FaultRow {
  const char* name;
  Fault fault;
  Transport transport;
  std::string expected;  // the answer to "read input register 60000" from unit 1
};

Fault Make(std::function<void(Fault&)> set) {
  Fault f;
  set(f);
  return f;
}

const std::string kVersionPdu = Bytes({0x04, 0x02, 0x01, 0x03});
const std::string kRtuAnswer = WithCrc(Bytes({1}) + kVersionPdu);  // 01 04 02 01 03 CRC

std::string RtuWithBadCrc() {
  std::string f = kRtuAnswer;
  return f.substr(0, f.size() - 2) +
         Bytes({(f[f.size() - 2] ^ 0xA5) & 0xFF, (f[f.size() - 1] ^ 0xA5) & 0xFF});
}

class FaultOnTheWire : public ServerTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultOnTheWire, AppearsAsAsked) {
  const FaultRow& row = GetParam();
  sim_.InjectFault(row.fault);
  std::string got;
  if (row.transport == Transport::kTcp) {
    RawTcp c(port_);
    ASSERT_TRUE(c.Send(Mbap(7, ReadPdu(1, 4, 60000, 1))));
    got = c.Read(row.expected.size());
  } else {
    RawRtu c(Rtu());
    ASSERT_TRUE(c.Send(WithCrc(ReadPdu(1, 4, 60000, 1))));
    got = c.Read(row.expected.size());
  }
  EXPECT_EQ(Hex(got), Hex(row.expected));
  ASSERT_TRUE(sim_.WaitForAnswers(1, 5s));
  const SentAnswer sent = sim_.SentAnswers().at(0);
  EXPECT_EQ(Hex(sent.Bytes()), Hex(row.expected));
  const size_t pieces = static_cast<size_t>(
      std::max(1, std::min<int>(row.fault.split_parts, static_cast<int>(row.expected.size()))));
  EXPECT_EQ(sent.pieces.size(), pieces);
  EXPECT_EQ(sim_.PendingFaults(), 0u) << "one-shot fault used up";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FaultOnTheWire,
    ::testing::Values(
        FaultRow{"tcp_plain", Fault{}, Transport::kTcp, Mbap(7, Bytes({1}) + kVersionPdu)},
        FaultRow{"tcp_leading_zero", Make([](Fault& f) { f.leading_zero = true; }), Transport::kTcp,
                 Mbap(7, Bytes({0, 1}) + kVersionPdu)},
        FaultRow{"tcp_trailing_filler", Make([](Fault& f) { f.trailing_filler = true; }),
                 Transport::kTcp, Mbap(7, Bytes({1}) + kVersionPdu + Bytes({0}))},
        FaultRow{"tcp_exception_6", Make([](Fault& f) { f.exception = 6; }), Transport::kTcp,
                 Mbap(7, Bytes({1, 0x84, 0x06}))},
        FaultRow{"tcp_exception_11", Make([](Fault& f) { f.exception = 11; }), Transport::kTcp,
                 Mbap(7, Bytes({1, 0x84, 0x0B}))},
        FaultRow{"tcp_other_unit", Make([](Fault& f) { f.other_unit = 9; }), Transport::kTcp,
                 Mbap(7, Bytes({9}) + kVersionPdu)},
        FaultRow{"tcp_split_3", Make([](Fault& f) { f.split_parts = 3; }), Transport::kTcp,
                 Mbap(7, Bytes({1}) + kVersionPdu)},
        FaultRow{"tcp_byte_by_byte", Make([](Fault& f) {
                   f.split_parts = 1000;
                   f.split_delay_ms = 5;
                 }),
                 Transport::kTcp, Mbap(7, Bytes({1}) + kVersionPdu)},
        FaultRow{"rtu_plain", Fault{}, Transport::kRtu, kRtuAnswer},
        FaultRow{"rtu_bad_crc", Make([](Fault& f) { f.bad_crc = true; }), Transport::kRtu,
                 RtuWithBadCrc()},
        FaultRow{"rtu_leading_zero", Make([](Fault& f) { f.leading_zero = true; }), Transport::kRtu,
                 Bytes({0}) + kRtuAnswer},
        FaultRow{"rtu_trailing_filler", Make([](Fault& f) { f.trailing_filler = true; }),
                 Transport::kRtu, kRtuAnswer + Bytes({0})},
        FaultRow{"rtu_exception_2", Make([](Fault& f) { f.exception = 2; }), Transport::kRtu,
                 WithCrc(Bytes({1, 0x84, 0x02}))},
        FaultRow{"rtu_other_unit", Make([](Fault& f) { f.other_unit = 2; }), Transport::kRtu,
                 WithCrc(Bytes({2}) + kVersionPdu)},
        FaultRow{"rtu_split_2", Make([](Fault& f) { f.split_parts = 2; }), Transport::kRtu,
                 kRtuAnswer}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerTest, FaultMatchesOnlyItsFunctionAndAddressAndPersistsWithCountZero) {
  sim_.InjectFault(Make([](Fault& f) {
    f.function = 4;
    f.address = 32768;
    f.count = 0;
    f.exception = 4;
  }));
  Client c = Client::Tcp(port_);
  EXPECT_EQ(c.ReadInput(60000, 1), std::vector<uint16_t>{0x0103});
  EXPECT_TRUE(c.ReadInput(32768, 1).empty());
  EXPECT_EQ(errno, EMBXSFAIL);
  EXPECT_TRUE(c.ReadInput(32768, 1).empty()) << "still there";
  EXPECT_EQ(sim_.PendingFaults(), 1u);
  sim_.ClearFaults();
  EXPECT_EQ(c.ReadInput(32768, 1), std::vector<uint16_t>{0x0A05});
}

TEST_F(ServerTest, SilentFaultSwallowsOneAnswer) {
  sim_.InjectFault(Make([](Fault& f) { f.silent = true; }));
  RawTcp c(port_);
  ASSERT_TRUE(c.Send(Mbap(1, ReadPdu(1, 4, 60000, 1))));
  ASSERT_TRUE(c.Send(Mbap(2, ReadPdu(1, 4, 60000, 1))));
  // The first bytes to arrive answer the second request.
  EXPECT_EQ(Hex(c.Read(11)), Hex(Mbap(2, Bytes({1}) + kVersionPdu)));
  ASSERT_TRUE(sim_.WaitForAnswers(2, 5s));
  EXPECT_TRUE(sim_.SentAnswers().at(0).pieces.empty());
}

TEST_F(ServerTest, LateAnswerComesAfterTheDelayWhileOthersAreServed) {
  sim_.InjectFault(Make([](Fault& f) { f.delay_ms = 1500; }));
  RawTcp slow(port_), quick(port_);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(slow.Send(Mbap(1, ReadPdu(1, 4, 60000, 1))));
  ASSERT_TRUE(sim_.WaitForRequests(1, 5s));
  ASSERT_TRUE(quick.Send(Mbap(2, ReadPdu(1, 4, 60000, 1))));
  EXPECT_EQ(Hex(quick.Read(11)), Hex(Mbap(2, Bytes({1}) + kVersionPdu)));
  EXPECT_EQ(Hex(slow.Read(11, 10s)), Hex(Mbap(1, Bytes({1}) + kVersionPdu)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST_F(ServerTest, DroppedConnectionAndTheNextOneIsServed) {
  sim_.InjectFault(Make([](Fault& f) { f.drop_connection = true; }));
  {
    RawTcp c(port_);
    ASSERT_TRUE(c.Send(Mbap(1, ReadPdu(1, 4, 60000, 1))));
    EXPECT_TRUE(test::ClosedWithin(c.fd(), 5s));
  }
  ASSERT_TRUE(sim_.WaitForAnswers(1, 5s));
  EXPECT_TRUE(sim_.SentAnswers().at(0).dropped);
  Client c = Client::Tcp(port_);
  EXPECT_EQ(c.ReadInput(60000, 1), std::vector<uint16_t>{0x0103});
  EXPECT_EQ(sim_.TcpConnectionsAccepted(), 2);
}

// ---- unit address ----

TEST_F(ServerTest, NewModbusAddressTakesEffectForTheNextRequest) {
  RawTcp c(port_);
  ASSERT_TRUE(c.Send(Mbap(1, Bytes({1, 0x06, 0x80, 0x11, 0x00, 0x05}))));
  EXPECT_EQ(Hex(c.Read(12)), Hex(Mbap(1, Bytes({1, 0x06, 0x80, 0x11, 0x00, 0x05}))))
      << "answered by unit 1";
  ASSERT_TRUE(c.Send(Mbap(2, ReadPdu(1, 4, 60000, 1))));  // to the old address: ignored
  ASSERT_TRUE(c.Send(Mbap(3, ReadPdu(5, 4, 60000, 1))));
  EXPECT_EQ(Hex(c.Read(11)), Hex(Mbap(3, Bytes({5}) + kVersionPdu)));
  ASSERT_TRUE(sim_.WaitForRequests(3, 5s));
  EXPECT_FALSE(sim_.Requests().at(1).for_us);
}

TEST_F(ServerTest, OverTcpUnits0And255AlsoReachTheGateway) {
  RawTcp c(port_);
  ASSERT_TRUE(c.Send(Mbap(1, ReadPdu(0, 4, 60000, 1)) + Mbap(2, ReadPdu(0xFF, 4, 60000, 1))));
  EXPECT_EQ(Hex(c.Read(22)),
            Hex(Mbap(1, Bytes({0}) + kVersionPdu) + Mbap(2, Bytes({0xFF}) + kVersionPdu)));
}

TEST_F(ServerTest, RtuBroadcastIsActedOnButNotAnswered) {
  RawRtu c(Rtu());
  ASSERT_TRUE(c.Send(WithCrc(Bytes({0, 0x06, 0x00, 0x04, 0x00, 0x09}))));
  ASSERT_TRUE(sim_.WaitForRequests(1, 5s));
  EXPECT_EQ(sim_.HoldingRegister(4), 9);
  ASSERT_TRUE(c.Send(WithCrc(ReadPdu(1, 4, 60000, 1))));
  EXPECT_EQ(Hex(c.Read(kRtuAnswer.size())), Hex(kRtuAnswer)) << "nothing came before this answer";
}

// ---- bad input never stops it ----

TEST_F(ServerTest, ExceptionsOverTcp) {
  RawTcp c(port_);
  ASSERT_TRUE(c.Send(Mbap(1, Bytes({1, 0x41, 0x00}))));
  EXPECT_EQ(Hex(c.Read(9)), Hex(Mbap(1, Bytes({1, 0xC1, 0x01})))) << "unknown function";
  ASSERT_TRUE(c.Send(Mbap(2, ReadPdu(1, 4, 40000, 1))));
  EXPECT_EQ(Hex(c.Read(9)), Hex(Mbap(2, Bytes({1, 0x84, 0x02})))) << "no such register";
  ASSERT_TRUE(c.Send(Mbap(3, Bytes({1, 0x10, 0xD8, 0x68, 0x00, 0x7C, 0x02, 0x00, 0x00}))));
  EXPECT_EQ(Hex(c.Read(9)), Hex(Mbap(3, Bytes({1, 0x90, 0x03})))) << "124 registers announced";
}

TEST_F(ServerTest, RtuUnknownFunctionEndsWithTheLinesSilence) {
  RawRtu c(Rtu());
  ASSERT_TRUE(c.Send(WithCrc(Bytes({1, 0x41, 0x12, 0x34}))));
  const std::string expected = WithCrc(Bytes({1, 0xC1, 0x01}));
  EXPECT_EQ(Hex(c.Read(expected.size())), Hex(expected));
}

TEST_F(ServerTest, RtuDamagedFramesAreDroppedAndTheNextIsServed) {
  RawRtu c(Rtu());
  std::string bad = WithCrc(ReadPdu(1, 4, 60000, 1));
  bad.back() = static_cast<char>(bad.back() ^ 1);
  ASSERT_TRUE(c.Send(bad));
  const auto malformed = [&](size_t n) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (sim_.MalformedFrames() < n && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(5ms);
    return sim_.MalformedFrames() >= n;
  };
  ASSERT_TRUE(malformed(1));
  ASSERT_TRUE(c.Send(Bytes({0x01, 0x03, 0x7F})));  // a frame cut short, then silence
  ASSERT_TRUE(malformed(2));
  ASSERT_TRUE(
      c.Send(Bytes({0x01, 0x10, 0x00, 0x00, 0x00, 0x80, 0xFF})));  // longer than any RTU frame
  ASSERT_TRUE(malformed(3));
  ASSERT_TRUE(c.Send(Bytes({0x01, 0x41}) + std::string(300, 'x')));  // unknown function, no pause
  ASSERT_TRUE(malformed(4));
  ASSERT_TRUE(c.Send(WithCrc(ReadPdu(1, 4, 60000, 1))));
  EXPECT_EQ(Hex(c.Read(kRtuAnswer.size())), Hex(kRtuAnswer));
  EXPECT_EQ(sim_.Requests().size(), 1u);
}

TEST_F(ServerTest, TcpGarbageOrADisconnectMidFrameLeavesTheServerRunning) {
  {
    RawTcp c(port_);
    ASSERT_TRUE(
        c.Send(Bytes({0, 1, 0x12, 0x34, 0, 6, 1, 4, 0xEA, 0x60, 0, 1})));  // protocol id 0x1234
    EXPECT_TRUE(test::ClosedWithin(c.fd(), 5s));
  }
  {
    RawTcp c(port_);
    ASSERT_TRUE(c.Send(Bytes({0, 1, 0, 0, 0x01, 0x04, 1})));  // MBAP length 260: too long
    EXPECT_TRUE(test::ClosedWithin(c.fd(), 5s));
  }
  {
    RawTcp c(port_);
    ASSERT_TRUE(c.Send(Mbap(1, ReadPdu(1, 4, 60000, 1)).substr(0, 9)));  // half a frame, then gone
  }
  EXPECT_EQ(sim_.MalformedFrames(), 2u);
  Client c = Client::Tcp(port_);
  EXPECT_EQ(c.ReadInput(60000, 1), std::vector<uint16_t>{0x0103});
}

TEST_F(ServerTest, SeveralRequestsInOneSegmentAreAllAnswered) {
  RawTcp c(port_);
  ASSERT_TRUE(c.Send(Mbap(1, ReadPdu(1, 4, 60000, 1)) + Mbap(2, ReadPdu(1, 4, 32770, 1))));
  EXPECT_EQ(Hex(c.Read(22)),
            Hex(Mbap(1, Bytes({1}) + kVersionPdu) + Mbap(2, Bytes({1, 4, 2, 0, 42}))));
}

// ---- threads ----

TEST_F(ServerTest, ApiCallsWhileClientsAreServed) {
  std::atomic<bool> stop{false};
  std::atomic<int> good{0};
  std::thread client([&] {
    Client c = Client::Tcp(port_);
    while (!stop && c.ok())
      if (c.ReadInput(32768, 1).size() == 1) ++good;
  });
  for (int i = 0; i < 200; ++i) {
    sim_.ActivateDevice(6);
    sim_.DeactivateDevice(6);
    sim_.SetInputRegister(40000, i);
    Meter m;
    m.id = "11112222";
    m.primary_address = 60;
    ASSERT_EQ(sim_.AddMeter(m), "");
    sim_.RemoveMeter("11112222");
    (void)sim_.Requests();
  }
  ASSERT_TRUE(sim_.WaitForRequests(20, 10s));
  stop = true;
  client.join();
  EXPECT_GT(good.load(), 0);
}

TEST(ServerLifetime, StopsWithOpenConnectionsAndStartsAgain) {
  auto sim = std::make_unique<GatewaySim>();
  const int port = sim->StartTcp(0);
  ASSERT_GT(port, 0);
  RawTcp c(port);
  ASSERT_TRUE(c.ok());
  const std::string pty = sim->StartRtu();
  RawRtu r(pty);
  ASSERT_TRUE(r.ok());
  sim->Stop();
  EXPECT_TRUE(test::ClosedWithin(c.fd(), 5s));
  const int again = sim->StartTcp(0);
  ASSERT_GT(again, 0);
  Client client = Client::Tcp(again);
  EXPECT_EQ(client.ReadInput(60000, 1), std::vector<uint16_t>{0x0103});
  sim.reset();  // destructor with a connection open
}

}  // namespace
}  // namespace orvio::sim
