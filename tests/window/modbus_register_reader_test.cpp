// The register reader of the real window against the gateway simulator, over TCP and over the
// pseudo-terminal: the request on the wire, the rows of gridInputRegisters, the memo lines and
// status panel 2 for every kind of answer the simulator can be made to give, automatic read,
// "Clear grid" and "Export".
#include <QDir>
#include <QFileInfo>

#include "core/modbus/crc.h"
#include "modbus_link_fixture.h"

namespace orvio::test {
namespace {

using sim::Fault;

using RegisterReader = ModbusLinkTest;

TEST_P(RegisterReader, InputRegistersFillTheGridAndAppendAcrossReads) {
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(1));
  const QString sent =
      Tcp() ? "SENT:03 E8 00 00 00 06 01 04 00 64 00 02 " : "SENT:01 04 00 64 00 02 30 14 ";
  EXPECT_EQ(Memo(), QStringList({sent, "UNMD:01 04 04 00 0A 01 FF 9A 56 "}));
  ASSERT_EQ(Rows(), 4);  // header, two registers, the open row
  EXPECT_EQ(Cell(0, 1), "100");
  EXPECT_EQ(Cell(1, 1), "00");
  EXPECT_EQ(Cell(2, 1), "");
  EXPECT_EQ(Cell(3, 1), "0A");
  EXPECT_EQ(Cell(4, 1), "");
  EXPECT_TRUE(IsTimeOfDay(Cell(5, 1))) << Cell(5, 1).toStdString();
  EXPECT_EQ(Cell(0, 2), "101");
  EXPECT_EQ(Cell(1, 2), "01");
  EXPECT_EQ(Cell(3, 2), "FF");
  for (int c = 0; c < 6; ++c) EXPECT_EQ(Cell(c, 3), "") << "column " << c;

  // A second read goes below the first.
  sim.SetInputRegister(100, 0x0BBB);
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(2));
  ASSERT_EQ(Rows(), 6);
  EXPECT_EQ(Cell(3, 1), "0A");
  EXPECT_EQ(Cell(0, 3), "100");
  EXPECT_EQ(Cell(1, 3), "0B");
  EXPECT_EQ(Cell(3, 3), "BB");
  EXPECT_EQ(Cell(0, 4), "101");
  EXPECT_EQ(Cell(0, 5), "");

  const auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].frame, Wire(1000, "01 04 00 64 00 02", "30 14"));
  EXPECT_EQ(requests[1].frame, Wire(1001, "01 04 00 64 00 02", "30 14"));
}

// Whether the grid's viewport shows the whole first-column cell of `row`.
bool RowInView(StringGrid& grid, int row) {
  const QRect cell = grid.visualRect(grid.model()->index(row, 0));
  return cell.isValid() && grid.viewport()->rect().contains(cell);
}

TEST_P(RegisterReader, AReadBelowEarlierRowsBringsTheNewRowsIntoView) {
  form->show();
  StringGrid& grid = *form->gridInputRegisters;
  Read("1", "60");
  ASSERT_TRUE(WaitUnmd(1));
  ASSERT_EQ(Rows(), 62);
  Pump(20);
  EXPECT_TRUE(RowInView(grid, 1));
  ASSERT_FALSE(RowInView(grid, 60)) << "the view is to be shorter than a read of sixty rows";

  // Two rows below sixty earlier ones.
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(2));
  ASSERT_EQ(Rows(), 64);
  EXPECT_EQ(Cell(0, 61), "100");
  Pump(20);
  EXPECT_TRUE(RowInView(grid, 61));
  EXPECT_TRUE(RowInView(grid, 62));

  // A read longer than the view shows from its first row on.
  Read("1", "60");
  ASSERT_TRUE(WaitUnmd(3));
  ASSERT_EQ(Rows(), 124);
  Pump(20);
  EXPECT_TRUE(RowInView(grid, 63));
  EXPECT_FALSE(RowInView(grid, 122));
}

TEST_P(RegisterReader, UncheckingInputReadsHoldingRegisters) {
  form->checkInput->click();
  ASSERT_TRUE(form->checkHolding->isChecked());
  // Holding 3..5: readout period 900, time between 5, time to respond 10.
  Read("3", "3");
  ASSERT_TRUE(WaitUnmd(1));
  const QString sent =
      Tcp() ? "SENT:03 E8 00 00 00 06 01 03 00 03 00 03 " : "SENT:01 03 00 03 00 03 F5 CB ";
  EXPECT_EQ(Memo(), QStringList({sent, "UNMD:01 03 06 03 84 00 05 00 0A 41 5E "}));
  ASSERT_EQ(Rows(), 5);
  EXPECT_EQ(Cell(0, 1), "3");
  EXPECT_EQ(Cell(1, 1), "03");
  EXPECT_EQ(Cell(3, 1), "84");
  EXPECT_EQ(Cell(0, 2), "4");
  EXPECT_EQ(Cell(3, 2), "05");
  EXPECT_EQ(Cell(0, 3), "5");
  EXPECT_EQ(Cell(3, 3), "0A");
  ASSERT_EQ(sim.Requests().size(), 1u);
  EXPECT_EQ(sim.Requests()[0].function, 0x03);
}

TEST_P(RegisterReader, AutomaticReadKeepsOnlyTheNewestRows) {
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(1));
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(2));
  ASSERT_EQ(Rows(), 6);

  form->UD_auto->SetPosition(1);
  form->CheckBox1->click();
  ASSERT_TRUE(form->Timer_auto->Enabled());
  ASSERT_TRUE(WaitUnmd(3));
  EXPECT_EQ(Rows(), 4);
  sim.SetInputRegister(101, 0x1234);
  ASSERT_TRUE(WaitFor([&] { return Cell(1, 2) == "12"; }));
  EXPECT_EQ(Rows(), 4);
  EXPECT_EQ(Cell(0, 1), "100");
  EXPECT_EQ(Cell(3, 2), "34");

  form->CheckBox1->click();
  EXPECT_FALSE(form->Timer_auto->Enabled());
  const size_t requests = sim.Requests().size();
  Pump(1500);
  EXPECT_EQ(sim.Requests().size(), requests);
}

// A second press before the answer was collected does not restart the collector: one
// collection, at the first expiry, of what the second request brought.
TEST_P(RegisterReader, SecondPressWhileWaitingIsCollectedOnce) {
  Read("100", "2");
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(1));
  PassTimeout();
  EXPECT_EQ(UnmdLines(), 1);
  // (Over the serial line the second press purges the port, which may discard the first
  // frame before the gateway read it; only TCP is sure to deliver both.)
  if (Tcp()) {
    EXPECT_EQ(sim.Requests().size(), 2u);
  }
  EXPECT_FALSE(form->Timer_modbus->Enabled());
}

TEST_P(RegisterReader, AutomaticReadIntervalFollowsTheSecondsEdit) {
  EXPECT_EQ(form->Timer_auto->Interval(), 1000);
  form->Edit_auto->SetPosition(7);
  EXPECT_EQ(form->Timer_auto->Interval(), 7000);
}

// What the window shows for one answer on one link.
struct Seen {
  QStringList lines;  // memo lines after the SENT line
  int registers;      // rows added to the grid
  bool crcPanel;      // status panel 2 reads "Error in CRC field"
};

// One row per kind of answer the simulator is made to give to "Read registers" 100, 2.
struct AnswerRow {
  const char* name;
  Fault fault;
  bool overTcp;  // TCP frames carry no checksum to spoil
  Seen tcp;
  Seen rtu;
};

const QString kGood = "UNMD:01 04 04 00 0A 01 FF 9A 56 ";

// clang-format off
const AnswerRow kAnswerRows[] = {
    {"plain", Fault{}, true, {{kGood}, 2, false}, {{kGood}, 2, false}},
    {"exception_illegal_address", Fault{.exception = 2}, true,
     {{"Error - ILLEGAL DATA ADDRESS", "UNMD:01 84 02 C2 C1 "}, 0, false},
     {{"Error - ILLEGAL DATA ADDRESS", "UNMD:01 84 02 C2 C1 "}, 0, false}},
    {"exception_slave_busy", Fault{.exception = 6}, true,
     {{"Error - SLAVE DEVICE BUSY", "UNMD:01 84 06 C3 02 "}, 0, false},
     {{"Error - SLAVE DEVICE BUSY", "UNMD:01 84 06 C3 02 "}, 0, false}},
    // Code 11 has no text: the answer is only logged.
    {"exception_without_text", Fault{.exception = 11}, true,
     {{"UNMD:01 84 0B 02 C7 "}, 0, false},
     {{"UNMD:01 84 0B 02 C7 "}, 0, false}},
    {"bad_crc", Fault{.bad_crc = true}, false,
     {},
     {{"Error in CRC field", "UNMD:01 04 04 00 0A 01 FF 3F F3 "}, 0, true}},
    // Over RTU the zero byte spoils the checksum; over TCP the checksum is computed over what
    // came, zero included, and the leading byte is what is reported.
    {"leading_zero", Fault{.leading_zero = true}, true,
     {{"Garbage leading bytes in the telegram", "UNMD:00 01 04 04 00 0A 01 FF C1 5D "}, 0, false},
     {{"Error in CRC field", "UNMD:00 01 04 04 00 0A 01 FF 9A 56 "}, 0, true}},
    {"trailing_filler", Fault{.trailing_filler = true}, true,
     {{"UNMD:01 04 04 00 0A 01 FF 00 D6 6B "}, 2, false},
     {{"UNMD:01 04 04 00 0A 01 FF 9A 56 00 "}, 2, false}},
    {"split_in_four", Fault{.split_parts = 4, .split_delay_ms = 15}, true,
     {{kGood}, 2, false}, {{kGood}, 2, false}},
    {"split_byte_by_byte", Fault{.split_parts = 64, .split_delay_ms = 15}, true,
     {{kGood}, 2, false}, {{kGood}, 2, false}},
    {"no_answer", Fault{.silent = true}, true, {{"UNMD:"}, 0, false}, {{"UNMD:"}, 0, false}},
};
// clang-format on

class RegisterAnswers : public ModbusLinkTest {};

TEST_P(RegisterAnswers, GiveTheirMemoLinesRowsAndPanel) {
  for (const AnswerRow& row : kAnswerRows) {
    if (Tcp() && !row.overTcp) continue;
    SCOPED_TRACE(row.name);
    form->BitBtn4Click();
    form->MemoClear();
    form->SetPanel(2, "");
    sim.ClearRequests();
    if (std::string(row.name) != "plain") sim.InjectFault(row.fault);
    Read("100", "2");
    ASSERT_TRUE(WaitUnmd(1));
    QStringList lines = Memo();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.takeFirst().startsWith("SENT:"));
    const Seen& seen = Tcp() ? row.tcp : row.rtu;
    EXPECT_EQ(lines, seen.lines);
    EXPECT_EQ(Rows(), 2 + seen.registers);
    if (seen.registers == 2) {
      EXPECT_EQ(Cell(0, 1), "100");
      EXPECT_EQ(Cell(3, 1), "0A");
      EXPECT_EQ(Cell(1, 2), "01");
      EXPECT_EQ(Cell(3, 2), "FF");
    }
    EXPECT_EQ(form->Panel(2), seen.crcPanel ? "Error in CRC field" : "");
    if (row.fault.split_parts > 1) {
      const auto answers = sim.SentAnswers();
      ASSERT_EQ(answers.size(), 1u);
      EXPECT_GT(answers[0].pieces.size(), 3u);
    }
    EXPECT_EQ(sim.PendingFaults(), 0u);
  }
}

// A correct answer whose checksum ends in 0x00 (01 04 02 00 41 79 00) is a good answer, not a
// frame with a filler byte and a broken checksum.
TEST_P(RegisterAnswers, ChecksumHighByteZeroIsAGoodAnswer) {
  sim.SetInputRegister(100, 0x0041);
  Read("100", "1");
  ASSERT_TRUE(WaitUnmd(1));
  QStringList lines = Memo();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[1], "UNMD:01 04 02 00 41 79 00 ");
  ASSERT_EQ(Rows(), 3);
  EXPECT_EQ(Cell(1, 1), "00");
  EXPECT_EQ(Cell(3, 1), "41");
  EXPECT_EQ(form->Panel(2), "");
}

// TCP answers carry no checksum to spoil: this one runs over the serial link only.
using SerialAnswers = RegisterAnswers;

TEST_P(SerialAnswers, CrcPanelStaysAfterALaterGoodAnswer) {
  sim.InjectFault(Fault{.bad_crc = true});
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(1));
  EXPECT_EQ(form->Panel(2), "Error in CRC field");
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(2));
  EXPECT_EQ(Rows(), 4);
  EXPECT_EQ(form->Panel(2), "Error in CRC field");
}

// ---- what is refused before anything is sent ----

struct RefusedRead {
  const char* name;
  const char* first;
  const char* count;
  const char* line;
};

const RefusedRead kRefusedReads[] = {
    {"empty_first_register", "", "2", "Enter proper initial conditions..."},
    {"empty_count", "100", "", "Enter proper initial conditions..."},
    // Register 65536 would otherwise go out as register 0.
    {"first_register_65536", "65536", "1", "Enter proper initial conditions..."},
    {"first_register_70000", "70000", "2", "Enter proper initial conditions..."},
    {"first_register_99999", "99999", "2", "Enter proper initial conditions..."},
};

TEST_P(RegisterReader, RefusedReadsSendNothing) {
  for (const RefusedRead& row : kRefusedReads) {
    SCOPED_TRACE(row.name);
    form->MemoClear();
    Read(row.first, row.count);
    EXPECT_EQ(Memo(), QStringList({row.line}));
    EXPECT_FALSE(form->Timer_modbus->Enabled());
  }
  PassTimeout();
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_EQ(sim.MalformedFrames(), 0u);
  EXPECT_EQ(UnmdLines(), 0);
}

TEST_P(RegisterReader, LastRegisterAddressIsStillSent) {
  Read("65535", "1");
  ASSERT_TRUE(WaitUnmd(1));
  ASSERT_EQ(sim.Requests().size(), 1u);
  EXPECT_EQ(sim.Requests()[0].frame, Wire(1000, "01 04 FF FF 00 01", "31 EE"));
}

TEST_P(RegisterReader, ClosedLinkIsReported) {
  if (Tcp())
    form->BitBtn24Click();
  else
    form->ToggleSerialPort();
  serialClosedByTest = true;
  ASSERT_TRUE(WaitFor([&] { return !form->LinkOpen(); }));
  form->MemoClear();
  Read("100", "2");
  EXPECT_EQ(Memo(), QStringList({"Serial or TCP port for modbus is not open..."}));
  PassTimeout();
  EXPECT_TRUE(sim.Requests().empty());
}

// ---- "Clear grid" and "Export" ----

TEST_P(RegisterReader, ClearGridLeavesHeaderAndOpenRow) {
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(1));
  ASSERT_EQ(Rows(), 4);
  form->BitBtn4->click();
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, 0), "Addr. modbus");
  for (int c = 0; c < 6; ++c) EXPECT_EQ(Cell(c, 1), "");
}

TEST_P(RegisterReader, ExportWritesTheGridLinesWithCrLf) {
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(1));
  const QString t1 = Cell(5, 1), t2 = Cell(5, 2);
  saveAnswer = dir.filePath("regs.csv");
  QString startDir;
  auto inner = form->seam.saveFile;
  form->seam.saveFile = [&](QWidget* o, const QString& c, const QString& d, const QString& n,
                            const QString& f, const QString& s) {
    startDir = d;
    return inner(o, c, d, n, f, s);
  };
  form->BitBtn8->click();
  EXPECT_EQ(proposedName, "modbusUR.csv");
  EXPECT_EQ(QDir(startDir).canonicalPath(), QDir(form->SettingsDir()).canonicalPath());
  const QString expected =
      "Addr. modbus;High ;Notes/Decode ;Low ;Notes/Decode ;Time ;\r\n"
      "100;00;;0A;;" +
      t1 +
      ";\r\n"
      "101;01;;FF;;" +
      t2 +
      ";\r\n"
      ";;;;;;\r\n";
  EXPECT_EQ(ReadWhole(saveAnswer), expected);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Rows(), 4);  // a save never changes the grid
}

// ---- no link needed ----

using RegisterReaderOffline = WindowTest;

TEST_F(RegisterReaderOffline, ExportOfAnEmptyGridProposesTheNameAndWritesTheHeader) {
  MakeForm();
  saveAnswer = dir.filePath("empty.csv");
  form->BitBtn8Click();
  EXPECT_EQ(proposedName, "modbusUR.csv");
  EXPECT_EQ(ReadWhole(saveAnswer),
            "Addr. modbus;High ;Notes/Decode ;Low ;Notes/Decode ;Time ;\r\n;;;;;;\r\n");
}

TEST_F(RegisterReaderOffline, CancelledExportWritesNothing) {
  MakeForm();
  saveAnswer.clear();
  form->BitBtn8Click();
  EXPECT_EQ(proposedName, "modbusUR.csv");
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(QDir(dir.path()).entryList({"*.csv"}, QDir::Files).isEmpty());
}

TEST_F(RegisterReaderOffline, UnwritableExportShowsTheErrorBoxAndKeepsTheOldFile) {
  MakeForm();
  saveAnswer = dir.filePath("no/such/folder/regs.csv");
  form->BitBtn8Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Error saving file");
  EXPECT_EQ(boxes[0].text, "File cannot be written, no rights!\nContact administrator.");
  EXPECT_FALSE(QFileInfo::exists(saveAnswer));
}

TEST_F(RegisterReaderOffline, BitmapModeCountsOnesAndLogsTheHexText) {
  MakeForm();
  // 16 registers: 03 then 31 zero bytes.
  ByteString answer = Hex("01 04 20 03");
  answer += std::string(31, '\0');
  answer = WithModbusCrc(answer);
  form->DecodeRegisterTable(answer, TForm1::RegisterTableMode::Bitmap, 59500, 1);
  EXPECT_EQ(form->devices.ActiveDeviceCount, 2);
  EXPECT_EQ(Memo(), QStringList({"0300" + QString(60, '0')}));
  EXPECT_EQ(form->gridInputRegisters->RowCount(), 2);
}

TEST_F(RegisterReaderOffline, AnswersOfOneToThreeBytesAreChecksumFailures) {
  MakeForm();
  for (const char* answer : {"01", "01 04", "01 04 02"}) {
    SCOPED_TRACE(answer);
    form->MemoClear();
    form->SetPanel(2, "");
    form->DecodeRegisterTable(Hex(answer), TForm1::RegisterTableMode::Grid, 100, 1);
    EXPECT_EQ(Memo(), QStringList({"Error in CRC field"}));
    EXPECT_EQ(form->Panel(2), "Error in CRC field");
    EXPECT_EQ(form->gridInputRegisters->RowCount(), 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Links, RegisterReader, ::testing::Values(Link::kTcp, Link::kRtu),
                         LinkName);
INSTANTIATE_TEST_SUITE_P(Links, RegisterAnswers, ::testing::Values(Link::kTcp, Link::kRtu),
                         LinkName);
INSTANTIATE_TEST_SUITE_P(Serial, SerialAnswers, ::testing::Values(Link::kRtu), LinkName);

}  // namespace
}  // namespace orvio::test
