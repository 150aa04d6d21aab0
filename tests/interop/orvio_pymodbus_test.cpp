// Orvio's Modbus master against an independent slave: python3-pymodbus (tests/interop/
// pymodbus_server.py), over loopback TCP and over Modbus RTU through a socat pseudo-terminal
// pair. Reads must show the values that server holds, writes must change them.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "../window/modbus_link_fixture.h"

namespace orvio::test {
namespace {

const QString kPython = "/usr/bin/python3";  // the interpreter that sees Debian's pymodbus
const QString kServer = QStringLiteral(ORVIO_INTEROP_DIR) + "/pymodbus_server.py";

// A child process whose stdout lines are collected as they come. Stopping it ends only this
// child, by its own process id.
class Child {
 public:
  ~Child() { Stop(); }

  void Start(const QString& program, const QStringList& args) {
    QObject::connect(&p_, &QProcess::readyReadStandardOutput, &p_, [this] {
      while (p_.canReadLine()) lines_ << QString::fromUtf8(p_.readLine()).trimmed();
    });
    p_.start(program, args);
  }
  void Stop() {
    if (p_.state() == QProcess::NotRunning) return;
    p_.closeWriteChannel();
    p_.terminate();
    if (!p_.waitForFinished(5000)) {
      p_.kill();
      p_.waitForFinished(5000);
    }
  }
  // The first line starting with `prefix` (waits for it), or "" when none came.
  QString WaitLine(const QString& prefix, int ms = 20000) {
    QString found;
    WaitFor(
        [&] {
          for (const QString& l : lines_)
            if (l.startsWith(prefix)) {
              found = l;
              return true;
            }
          return p_.state() == QProcess::NotRunning;
        },
        ms);
    return found;
  }
  QString Errors() { return QString::fromUtf8(p_.readAllStandardError()); }

 private:
  QProcess p_;
  QStringList lines_;
};

class PymodbusPeer : public WindowTest, public ::testing::WithParamInterface<Link> {
 protected:
  Child socat;
  Child server;
  QTemporaryDir ptys;

  bool Tcp() const { return GetParam() == Link::kTcp; }

  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(QFileInfo::exists(kPython)) << "python3-pymodbus needs /usr/bin/python3";
    MakeForm();
    form->UD_modbusTimeout->SetPosition(300);
    if (Tcp()) {
      server.Start(kPython, {kServer, "tcp"});
      const QString ready = server.WaitLine("READY tcp ");
      ASSERT_FALSE(ready.isEmpty()) << server.Errors().toStdString();
      ConnectTcp(static_cast<quint16>(ready.section(' ', 2, 2).toUInt()));
    } else {
      const QString slaveEnd = ptys.filePath("gateway");
      const QString masterEnd = ptys.filePath("orvio");
      socat.Start("socat", {"-d", "-d", "pty,raw,echo=0,link=" + slaveEnd,
                            "pty,raw,echo=0,link=" + masterEnd});
      ASSERT_TRUE(WaitFor([&] {
        return QFileInfo::exists(slaveEnd) && QFileInfo::exists(masterEnd);
      })) << socat.Errors().toStdString();
      server.Start(kPython, {kServer, "rtu", slaveEnd});
      ASSERT_FALSE(server.WaitLine("READY rtu ").isEmpty()) << server.Errors().toStdString();
      form->Combo_com2_parity->setCurrentText("None");
      OpenSerial(masterEnd);
    }
    form->MemoClear();
  }

  void TearDown() override {
    WindowTest::TearDown();
    server.Stop();
    socat.Stop();
  }

  void Read(const QString& first, const QString& count) {
    form->EditInputAddress->setText(first);
    form->EditInputCount->setText(count);
    form->BitBtn3->click();
  }
  bool WaitUnmd() {
    return WaitFor([&] {
      for (const QString& l : Memo())
        if (l.startsWith("UNMD:")) return true;
      return false;
    });
  }
  QString Cell(int col, int row) { return form->gridInputRegisters->CellText(col, row); }
  // Waits for a whole answer of `rtuBytes` (RTU form) in the receive buffer of the link.
  bool WaitAnswerBytes(size_t rtuBytes) {
    return WaitFor([&] {
      return Tcp() ? form->link.TcpRxBuffer.size() >= rtuBytes + 4
                   : form->link.SerialRxBuffer.size() >= rtuBytes;
    });
  }
};

TEST_P(PymodbusPeer, InputRegisterReadShowsTheServersValues) {
  Read("100", "3");
  ASSERT_TRUE(WaitUnmd());
  QStringList lines = Memo();
  ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
  EXPECT_EQ(lines[1], "UNMD:01 04 06 11 64 11 65 11 66 8B 43 ");
  ASSERT_EQ(form->gridInputRegisters->RowCount(), 5);
  const char* expected[3][3] = {{"100", "11", "64"}, {"101", "11", "65"}, {"102", "11", "66"}};
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(Cell(0, r + 1), expected[r][0]);
    EXPECT_EQ(Cell(1, r + 1), expected[r][1]);
    EXPECT_EQ(Cell(3, r + 1), expected[r][2]);
  }
}

TEST_P(PymodbusPeer, HoldingRegisterReadShowsTheServersValues) {
  form->checkHolding->click();
  ASSERT_FALSE(form->checkInput->isChecked());
  Read("3", "2");
  ASSERT_TRUE(WaitUnmd());
  QStringList lines = Memo();
  ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
  EXPECT_EQ(lines[1], "UNMD:01 03 04 22 03 22 04 19 28 ");
  ASSERT_EQ(form->gridInputRegisters->RowCount(), 4);
  EXPECT_EQ(Cell(0, 1), "3");
  EXPECT_EQ(Cell(1, 1), "22");
  EXPECT_EQ(Cell(3, 1), "03");
  EXPECT_EQ(Cell(0, 2), "4");
  EXPECT_EQ(Cell(3, 2), "04");
}

struct WriteRow {
  const char* name;
  std::function<void(TForm1&)> write;
  uint8_t function;       // function code the server's acknowledgement carries
  const char* serverSaw;  // the server's report: first register, then the values written
  const char* readFirst;
  const char* readCount;
  std::vector<std::pair<const char*, const char*>> readBack;  // high, low of each register
};

const std::vector<WriteRow>& Writes() {
  static const std::vector<WriteRow> rows = {
      {"write_single_register",
       [](TForm1& f) { f.SendWriteSingleRegister(1, 7, 0x12, 0x34); },
       0x06,
       "WRITE 7 4660",
       "7",
       "1",
       {{"12", "34"}}},
      // Five bytes fill three registers, the last padded with 0x00.
      {"write_multiple_registers",
       [](TForm1& f) { f.SendWriteMultipleRegisters(1, 20, "ABCDE"); },
       0x10,
       "WRITE 20 16706 17220 17664",
       "20",
       "3",
       {{"41", "42"}, {"43", "44"}, {"45", "00"}}},
      {"write_date_time",
       [](TForm1& f) { f.SendWriteDateTime(1, 16, 4); },
       0x10,
       "WRITE 16 7725 3333 3843 6144",
       "16",
       "4",
       {{"1E", "2D"}, {"0D", "05"}, {"0F", "03"}, {"18", "00"}}},
  };
  return rows;
}

TEST_P(PymodbusPeer, WritesChangeTheServersRegisters) {
  form->seam.localNow = [] { return FixedClock(); };
  form->checkHolding->click();
  for (const WriteRow& row : Writes()) {
    SCOPED_TRACE(row.name);
    form->BitBtn4Click();
    form->ClearBuffers();
    form->MemoClear();
    row.write(*form);
    EXPECT_EQ(server.WaitLine(row.serverSaw), row.serverSaw);
    // The server's acknowledgement (8 bytes in RTU form for both functions) is a good answer
    // to the function that was sent.
    ASSERT_TRUE(WaitAnswerBytes(8));
    const ByteString ack = form->TakeAnswer();
    EXPECT_TRUE(form->ValidateAnswer(ack).ok()) << TraceHex(ack);
    ASSERT_GE(ack.size(), 2u);
    EXPECT_EQ(ByteAt(ack, 1), row.function);

    form->MemoClear();
    Read(row.readFirst, row.readCount);
    ASSERT_TRUE(WaitUnmd());
    ASSERT_EQ(form->gridInputRegisters->RowCount(), 2 + static_cast<int>(row.readBack.size()));
    for (size_t i = 0; i < row.readBack.size(); ++i) {
      const int r = static_cast<int>(i) + 1;
      EXPECT_EQ(Cell(0, r), QString::number(QString(row.readFirst).toInt() + r - 1));
      EXPECT_EQ(Cell(1, r), row.readBack[i].first);
      EXPECT_EQ(Cell(3, r), row.readBack[i].second);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Links, PymodbusPeer, ::testing::Values(Link::kTcp, Link::kRtu), LinkName);

}  // namespace
}  // namespace orvio::test
