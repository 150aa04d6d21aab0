// The custom-command console and the trace log of the real window against the gateway
// simulator: what goes on the wire for a typed line, what is refused before anything is sent,
// the shared collector's "UNMD:" line, "Clear log" and "Save log".
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "modbus_link_fixture.h"

namespace orvio::test {
namespace {

class Console : public ModbusLinkTest {
 protected:
  void Type(const QString& text) { form->Edit_command->setText(text); }
  void Send(const QString& text) {
    Type(text);
    form->Butt_command_send->click();
  }
};

// Cases that need the serial port (the console's only link).
using SerialConsole = Console;

TEST_P(Console, HexLineGoesOutAsItsBytesAndTheAnswerIsLogged) {
  Send("1 3 0 0 0 A C5 CD");
  if (Tcp()) {
    // The console talks to the serial port only.
    EXPECT_EQ(Memo(), QStringList({"Serial port is not opened"}));
    PassTimeout();
    EXPECT_TRUE(sim.Requests().empty());
    return;
  }
  ASSERT_TRUE(WaitUnmd(1));
  const auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].frame, Hex("01 03 00 00 00 0A C5 CD"));
  EXPECT_EQ(requests[0].frame.size(), 8u);
  // Holding registers 8 and 9 do not exist: the gateway answers exception 2, which the console
  // only logs (no SENT line, no check).
  EXPECT_EQ(Memo(), QStringList({"UNMD:01 83 02 C0 F1 "}));
}

TEST_P(SerialConsole, AsciiLineGoesOutUnchanged) {
  form->Check_ascii->click();
  ASSERT_FALSE(form->Check_hex->isChecked());
  // Read input registers 100..101 written as eight Latin-1 characters.
  const ByteString frame = Hex("01 04 00 64 00 02 30 14");
  Send(QString::fromLatin1(frame.data(), static_cast<qsizetype>(frame.size())));
  ASSERT_TRUE(WaitUnmd(1));
  ASSERT_EQ(sim.Requests().size(), 1u);
  EXPECT_EQ(sim.Requests()[0].frame, frame);
  EXPECT_EQ(Memo(), QStringList({"UNMD:01 04 04 00 0A 01 FF 9A 56 "}));
}

TEST_P(SerialConsole, TokensArePaddedAndCut) {
  // "4" is 04, "643" is 64, blanks before, between and after are skipped.
  Send("  1 4   0 643 00 2 30 14  ");
  ASSERT_TRUE(WaitUnmd(1));
  ASSERT_EQ(sim.Requests().size(), 1u);
  EXPECT_EQ(sim.Requests()[0].frame, Hex("01 04 00 64 00 02 30 14"));
}

TEST_P(SerialConsole, EmptyLineSendsNothingAndSaysNothing) {
  Send("");
  EXPECT_TRUE(Memo().isEmpty());
  EXPECT_FALSE(form->Timer_free_command->Enabled());
}

// Every text that is not valid hex is refused, with its line, and nothing reaches the line.
struct RefusedText {
  const char* name;
  QString text;
  const char* line;
};

const char kTooShort[] = "Wrong custom hex command, 2 symbols at least...";
const char kBadCharacter[] = "Wrong custom hex command, 0..F uppercase allowed";

TEST_P(SerialConsole, TextsThatAreNotHexAreRefusedBeforeAnythingIsSent) {
  std::vector<RefusedText> rows = {
      {"one_digit", "1", kTooShort},
      {"one_letter", "A", kTooShort},
      {"one_blank", " ", kTooShort},
      {"one_non_ascii", QString::fromUtf8("\xC3\xA9"), kTooShort},
      {"c_prefix", "0x01", kBadCharacter},
      {"lower_case", "0a", kBadCharacter},
      {"lower_case_in_frame", "01 03 00 00 00 0A c5 CD", kBadCharacter},
      {"bad_at_end", "01 03 00 00 00 0A C5 CG", kBadCharacter},
      {"tab_separated", "01\t03", kBadCharacter},
      {"comma_separated", "01,03", kBadCharacter},
      {"minus", "-1 03", kBadCharacter},
      {"non_ascii", QString::fromUtf8("01 \xC3\xA9"), kBadCharacter},
      {"full_width_digit", QString::fromUtf8("01 \xEF\xBC\x91"), kBadCharacter},
  };
  // Every other printable ASCII character, inside an otherwise good line.
  for (int c = 0x21; c < 0x7F; ++c) {
    const QChar ch(c);
    if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F')) continue;
    rows.push_back({"printable", QString("01 0") + ch + " 03", kBadCharacter});
  }
  for (const RefusedText& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " [" + row.text.toStdString() + "]");
    form->MemoClear();
    Send(row.text);
    EXPECT_EQ(Memo(), QStringList({row.line}));
    EXPECT_FALSE(form->Timer_free_command->Enabled());
  }
  PassTimeout();
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_EQ(sim.MalformedFrames(), 0u);  // not even a stray byte reached the line
  EXPECT_EQ(UnmdLines(), 0);
}

TEST_P(SerialConsole, SendingClearsTheCollectorsFlagsSoTheAnswerIsOnlyLogged) {
  form->gateway.CommandPending = true;
  form->devices.VersionReadPending = true;
  form->devices.DeviceListPending = true;
  Send("01 04 00 64 00 02 30 14");
  EXPECT_FALSE(form->gateway.CommandPending);
  EXPECT_FALSE(form->devices.VersionReadPending);
  EXPECT_FALSE(form->devices.DeviceListPending);
  ASSERT_TRUE(WaitUnmd(1));
  EXPECT_EQ(Memo(), QStringList({"UNMD:01 04 04 00 0A 01 FF 9A 56 "}));
}

TEST_P(SerialConsole, ConsoleDoesNotClearWhatEarlierArrived) {
  form->link.SerialRxBuffer = Hex("AA BB");
  Send("01 04 00 64 00 02 30 14");
  ASSERT_TRUE(WaitUnmd(1));
  EXPECT_EQ(Memo(), QStringList({"UNMD:AA BB 01 04 04 00 0A 01 FF 9A 56 "}));
}

// ---- the log ----

TEST_P(Console, SaveLogWritesTheMemoLinesAndReplacesTheFile) {
  // A real exchange first, so the log holds SENT/UNMD lines and an error line.
  sim.InjectFault(sim::Fault{.exception = 2});
  Read("100", "2");
  ASSERT_TRUE(WaitUnmd(1));
  form->MemoAdd(QStringLiteral("last line"));
  const QStringList lines = Memo();
  ASSERT_EQ(lines.size(), 4);

  const QString folder = dir.filePath("files");
  ASSERT_FALSE(QFileInfo::exists(folder));  // missing: "Save log" makes it
  const QString log = folder + "/log.txt";
  form->BitBtn6->click();
  ASSERT_TRUE(QFileInfo::exists(log));
  EXPECT_EQ(ReadWhole(log), lines.join('\n') + '\n');
  EXPECT_EQ(Memo(), lines);  // saving adds nothing

  // A second save replaces the file with the memo as it is now.
  form->BitBtn5->click();
  EXPECT_TRUE(Memo().isEmpty());
  form->MemoAdd(QStringLiteral("only line"));
  form->BitBtn6->click();
  EXPECT_EQ(ReadWhole(log), "only line\n");
}

using ConsoleOffline = WindowTest;

TEST_F(ConsoleOffline, SaveLogOfAnEmptyMemoEmptiesTheFile) {
  MakeForm();
  ASSERT_TRUE(QDir(dir.path()).mkpath("files"));
  {
    QFile old(dir.filePath("files/log.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents\n");
  }
  form->MemoClear();
  form->BitBtn6Click();
  EXPECT_EQ(ReadWhole(dir.filePath("files/log.txt")), "");
}

TEST_F(ConsoleOffline, SaveLogWhereNoFolderCanBeMadeSaysSo) {
  MakeForm();
  // A plain file where the folder should be: it can be neither made nor written into.
  {
    QFile blocker(dir.filePath("files"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  }
  form->MemoAdd(QStringLiteral("a line"));
  form->BitBtn6Click();
  EXPECT_EQ(Memo(), QStringList({"a line", "Can not write file, no rights..."}));
  EXPECT_TRUE(QFileInfo(dir.filePath("files")).isFile());
}

TEST_F(ConsoleOffline, SaveLogIntoAReadOnlyFolderSaysSoAndKeepsTheOldLog) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  MakeForm();
  ASSERT_TRUE(QDir(dir.path()).mkpath("files"));
  {
    QFile old(dir.filePath("files/log.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents\n");
  }
  ASSERT_EQ(chmod(QFile::encodeName(dir.filePath("files")).constData(), 0555), 0);
  form->MemoAdd(QStringLiteral("a line"));
  form->BitBtn6Click();
  chmod(QFile::encodeName(dir.filePath("files")).constData(), 0755);
  EXPECT_EQ(Memo(), QStringList({"a line", "Can not write file, no rights..."}));
  EXPECT_EQ(ReadWhole(dir.filePath("files/log.txt")), "old contents\n");
}

// The exception and checksum texts end in a carriage return; each is one memo line, whether it
// ends a batch of lines handed to the widget or not.
TEST_F(ConsoleOffline, MessageEndingInCarriageReturnIsOneLine) {
  MakeForm();
  form->MemoAdd(QStringLiteral("Error in CRC field\r"));
  form->FlushMemo();
  form->MemoAdd(QStringLiteral("Error - ILLEGAL FUNCTION\r"));
  form->MemoAdd(QStringLiteral("UNMD:"));
  EXPECT_EQ(Memo(), QStringList({"Error in CRC field", "Error - ILLEGAL FUNCTION", "UNMD:"}));
}

TEST_F(ConsoleOffline, ConsoleWithoutSerialPortSaysSo) {
  MakeForm();
  form->Edit_command->setText("01 02");
  form->Butt_command_sendClick();
  EXPECT_EQ(Memo(), QStringList({"Serial port is not opened"}));
  EXPECT_FALSE(form->Timer_free_command->Enabled());
}

INSTANTIATE_TEST_SUITE_P(Links, Console, ::testing::Values(Link::kTcp, Link::kRtu), LinkName);
INSTANTIATE_TEST_SUITE_P(Serial, SerialConsole, ::testing::Values(Link::kRtu), LinkName);

}  // namespace
}  // namespace orvio::test
