// Waits that end when the answer is in: a Modbus wait ends once the whole answer to the request
// is in the receive buffer, and only then; any other answer waits out the time-out and is
// reported as with fixed waits. Both modes send the same requests and write the same lines.
#include <QRegularExpression>

#include "core/gateway/register_map.h"
#include "core/mbus/requests.h"
#include "engine/tunnel.h"
#include "mbus_line_fixture.h"
#include "modbus_link_fixture.h"

namespace orvio::test {
namespace {

// A time-out no answer should ever need: a wait that ends before it ended early.
constexpr int kLongTimeoutMs = 20000;

class FinishEarly : public ModbusLinkTest {
 protected:
  // Reads registers 100..101 with a long time-out; true when their rows were shown before the
  // wait could have run out.
  bool ReadEndsEarly() {
    const int rows = Rows();
    form->UD_modbusTimeout->SetPosition(kLongTimeoutMs);
    Read("100", "2");
    return WaitFor([&] { return Rows() == rows + 2; }, kLongTimeoutMs / 2);
  }

  // After every byte the simulator sent arrived, the wait still runs and no row is shown.
  void ExpectWaitKeepsRunning(int rows) {
    ASSERT_TRUE(WaitFor([&] {
      const auto sent = sim.SentAnswers();
      return !sent.empty() && form->link.Received().size() >= sent.front().Bytes().size();
    }));
    Pump(50);
    EXPECT_TRUE(form->Timer_modbus->Enabled());
    EXPECT_EQ(Rows(), rows);
  }
};

TEST_P(FinishEarly, CompleteAnswerEndsTheWaitAndFixedWaitsRunOut) {
  ASSERT_TRUE(form->CheckFinishEarly->isChecked()) << "finishing early is the default";
  ASSERT_TRUE(ReadEndsEarly());
  EXPECT_FALSE(form->Timer_modbus->Enabled());
  EXPECT_EQ(Cell(0, 1), "100");
  EXPECT_EQ(Cell(3, 1), "0A");

  form->CheckFinishEarly->setChecked(false);
  form->UD_modbusTimeout->SetPosition(1500);
  sim.ClearRequests();
  const int rows = Rows();
  Read("100", "2");
  ExpectWaitKeepsRunning(rows);
  ASSERT_TRUE(WaitFor([&] { return Rows() == rows + 2; }));
}

TEST_P(FinishEarly, AnswerInPiecesEndsTheWaitWithItsLastPiece) {
  sim::Fault f;
  f.split_parts = 3;
  f.split_delay_ms = 50;
  sim.InjectFault(f);
  ASSERT_TRUE(ReadEndsEarly());
  EXPECT_EQ(Cell(3, 2), "FF");
}

TEST_P(FinishEarly, FaultyAnswersWaitOutTheTimeoutAndAreReportedAsBefore) {
  form->UD_modbusTimeout->SetPosition(1500);
  // The checksum only travels over RTU; over TCP a frame one byte short of its length does not
  // end the wait either.
  sim::Fault f;
  if (Tcp()) {
    f.split_parts = 2;
    f.split_delay_ms = 5000;
  } else {
    f.bad_crc = true;
  }
  sim.InjectFault(f);
  const int rows = Rows();
  Read("100", "2");
  if (Tcp()) {
    ASSERT_TRUE(WaitFor([&] { return !form->link.Received().empty(); }));
    Pump(50);
    EXPECT_TRUE(form->Timer_modbus->Enabled());
  } else {
    ExpectWaitKeepsRunning(rows);
    ASSERT_TRUE(WaitMemoPrefix("Error in CRC field"));
  }
  ASSERT_TRUE(WaitFor([&] { return !form->Timer_modbus->Enabled(); }));
  EXPECT_EQ(Rows(), rows);
}

TEST_P(FinishEarly, BytesInFrontStayForTheChecks) {
  sim::Fault f;
  f.leading_zero = true;
  sim.InjectFault(f);
  form->UD_modbusTimeout->SetPosition(kLongTimeoutMs);
  Read("100", "2");
  // The answer behind the extra byte is complete, and refused by the checks as with fixed waits
  // (over RTU the checksum of the whole no longer matches).
  ASSERT_TRUE(WaitFor([&] { return !form->Timer_modbus->Enabled(); }, kLongTimeoutMs / 2));
  if (Tcp())
    EXPECT_TRUE(MemoHas("Garbage leading bytes in the telegram"));
  else
    EXPECT_TRUE(MemoHasPrefix("Error in CRC field"));
  EXPECT_EQ(Rows(), 2);
}

// Everything but the memo's times, in order.
QStringList WithoutTimes(const QStringList& lines) {
  static const QRegularExpression kTime("\\d\\d:\\d\\d:\\d\\d");
  QStringList out;
  for (QString l : lines) out << l.replace(kTime, "hh:mm:ss");
  return out;
}

class FinishEarlyScan : public MbusLineTest {};

TEST_P(FinishEarlyScan, BothModesSendTheSameRequestsAndWriteTheSameLines) {
  std::vector<QStringList> memo;
  std::vector<std::vector<std::string>> requests;
  std::vector<QStringList> table;
  for (bool early : {true, false}) {
    // The same start for both: a new window (transaction ids from 1000), meters as at first.
    sim.ResetToDefault();
    sim.SetLineTime(50ms);
    NewLinkedForm();
    form->CheckFinishEarly->setChecked(early);
    form->UD_modbusTimeout->SetPosition(400);
    form->UD_timeout->SetPosition(300);
    form->UD_retry->SetPosition(1);
    form->UDaddressFrom->SetPosition(2);
    form->UDaddressTo->SetPosition(4);
    form->MemoClear();
    sim.ClearRequests();
    answer = QMessageBox::Yes;  // the table is cleared first
    form->BitBtn1Click();
    ASSERT_TRUE(WaitFor([&] { return !form->tunnel.ScanActive; }, 60000));
    memo.push_back(WithoutTimes(Memo()));
    std::vector<std::string> frames;
    for (const auto& r : sim.Requests()) frames.push_back(r.frame);
    requests.push_back(frames);
    QStringList rows;
    for (int r = 0; r < form->gridLoops->RowCount(); ++r)
      for (int c = 0; c < form->gridLoops->columnCount(); ++c)
        rows << form->gridLoops->CellText(c, r);
    table.push_back(WithoutTimes(rows));
  }
  EXPECT_EQ(memo[0], memo[1]);
  EXPECT_EQ(requests[0], requests[1]);
  EXPECT_EQ(table[0], table[1]);
  EXPECT_GT(form->gridLoops->RowCount(), 3) << "meters at 2..4 were found";
}

INSTANTIATE_TEST_SUITE_P(Links, FinishEarly, ::testing::Values(Link::kTcp, Link::kRtu), LinkName);
INSTANTIATE_TEST_SUITE_P(Links, FinishEarlyScan, ::testing::Values(Link::kTcp, Link::kRtu),
                         LinkName);

// The engine runs a job without any window: a tunnel transaction over loopback TCP with a trace of
// its own, as a command-line front end would.
struct LinesTrace : Trace {
  std::vector<std::string> lines;
  void Line(const std::string& line) override { lines.push_back(line); }
};

TEST(Engine, TunnelTransactionRunsWithoutTheWindow) {
  sim::GatewaySim sim;
  const int port = sim.StartTcp(0);
  ASSERT_GT(port, 0);
  for (bool early : {true, false}) {
    QTcpSocket socket;
    SerialLink serial;
    orvio::Link link;
    link.Attach(&serial, &socket);
    link.SetFinishEarly(early);
    socket.connectToHost("127.0.0.1", static_cast<quint16>(port));
    ASSERT_TRUE(socket.waitForConnected(5000));
    link.TcpConnected = true;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { link.TakeTcpBytes(); });
    DTimer scanWait(nullptr), answerWait(nullptr);
    scanWait.WaitOn(&link, DTimer::Ends::kAfterInterval);
    answerWait.WaitOn(&link, DTimer::Ends::kWithAnswer);
    LinesTrace trace;
    TunnelTransaction tunnel(link, scanWait, answerWait, trace);
    QObject::connect(&scanWait, &DTimer::Timer, [&] { tunnel.ScanWaitOver(); });
    QObject::connect(&answerWait, &DTimer::Timer, [&] { tunnel.AnswerWaitOver(); });

    link.Send(RequestKind::kWriteMultipleRegisters, 1,
              *WriteMultipleRegistersPdu(reg::kTunnelBlock, TunnelRequestData(ReqUd2Frame(1))),
              [&](const std::string& l) { trace.lines.push_back(l); });
    TunnelSetup setup;
    setup.scanWaitMs = 400;
    setup.answerWaitMs = early ? kLongTimeoutMs : 300;
    std::optional<TunnelResult> result;
    tunnel.Begin(setup, [&](const TunnelResult& r) { result = r; });
    ASSERT_TRUE(WaitFor([&] { return result.has_value(); }, kLongTimeoutMs / 2)) << early;
    EXPECT_EQ(result->end, TunnelResult::End::kAnswer);
    EXPECT_GT(result->registerCount, 0);
    // Write, status read, block read, each with its answer line.
    EXPECT_EQ(std::count_if(trace.lines.begin(), trace.lines.end(),
                            [](const std::string& l) { return l.rfind("UNMD:", 0) == 0; }),
              3);
  }
}

}  // namespace
}  // namespace orvio::test
