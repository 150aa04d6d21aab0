// Start-up, settings, shutdown, the serial and TCP links, filters and check-box couplings of the
// real main window.
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBlock>
#include <QTime>
#include <QtTest/QTest>

#include "app/manual_window.h"
#include "core/link/port_lock.h"
#include "harness.h"

namespace orvio::test {
namespace {

// A pseudo-terminal pair; Orvio opens the slave path, the test plays the device on the master.
struct Pty {
  int master = -1;
  int slave = -1;
  QString path;
  Pty() {
    char name[128];
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
      path = QString::fromLocal8Bit(name);
      // Keep the slave open so the line does not hang up before Orvio opens it.
      fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
  }
  ~Pty() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
  void CloseMaster() {
    ::close(master);
    master = -1;
  }
  void Write(const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
      ssize_t n = ::write(master, bytes.data() + off, bytes.size() - off);
      if (n > 0)
        off += static_cast<size_t>(n);
      else
        QThread::msleep(1);
    }
  }
  speed_t Speed() const {
    termios t{};
    tcgetattr(slave, &t);
    return cfgetospeed(&t);
  }
  termios Attr() const {
    termios t{};
    tcgetattr(slave, &t);
    return t;
  }
};

QString ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

using StartupTest = WindowTest;

TEST_F(StartupTest, FirstStartShowsDefaultsAndClosingWritesAllSeventeenKeys) {
  MakeForm();
  EXPECT_EQ(form->Combo_com2_name->currentText(), "COM1");
  EXPECT_EQ(form->Combo_com2_speed->currentText(), "19200");
  EXPECT_EQ(form->Combo_com2_parity->currentText(), "Even");
  EXPECT_EQ(form->Combo_com2_stop->currentText(), "1");
  EXPECT_FALSE(form->CB_open_port2->isChecked());
  EXPECT_EQ(form->UD_timeout->Position(), 1000);
  EXPECT_EQ(form->UDaddressFrom->Position(), 1);
  EXPECT_EQ(form->UDaddressTo->Position(), 5);
  EXPECT_EQ(form->UD_retry->Position(), 2);
  EXPECT_EQ(form->UD_modbusTimeout->Position(), 600);
  EXPECT_EQ(form->UDmodbusAddress->Position(), 1);
  EXPECT_EQ(form->EditInputAddress->text(), "1");
  EXPECT_EQ(form->EditInputCount->text(), "125");
  EXPECT_EQ(form->Edit_lanxp_ip->text(), "192.168.1.3");
  EXPECT_EQ(form->Edit_lanxp_port->text(), "502");
  EXPECT_EQ(form->UD_eth_timeout->Position(), 50);
  EXPECT_TRUE(form->English1->isChecked());
  EXPECT_TRUE(form->Check_hex->isChecked());
  EXPECT_FALSE(form->Check_ascii->isChecked());
  EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet2);
  EXPECT_EQ(form->GridDevices->CellText(13, 0), "Tarriff Start1/2/3/4-End1/2/3/4 ");
  EXPECT_EQ(form->gridInputRegisters->CellText(0, 0), "Addr. modbus");
  EXPECT_EQ(form->gridLoops->CellText(7, 0), "Time ");
  EXPECT_EQ(form->Label4->text(), "Send custom command");
  EXPECT_FALSE(QFile::exists(IniPath())) << "start-up must not create the settings file";

  form->close();
  const QString ini = ReadFile(IniPath());
  for (const char* line :
       {"[Modbus port]",  "Name=COM1", "Speed=19200",  "Parity=Even",  "SB=1",       "[Modbus]",
        "AutoOpen=0",     "[Mbus]",    "Timeout=1000", "SearchFrom=1", "SearchTo=5", "Retry=2",
        "Timeout=600",    "Address=1", "STADDR=1",     "Count=125",    "[Misc]",     "[TCP]",
        "IP=192.168.1.3", "Port=502",  "EthTimeout=50"})
    EXPECT_TRUE(ini.contains(QString(line) + "\n")) << line << " missing in\n" << ini.toStdString();
  EXPECT_TRUE(ini.contains("Dir=" + dir.path() + "/\n"));
}

TEST_F(StartupTest, StoredValuesAreRestoredAndOutOfRangeIntegersClamped) {
  WriteIni(
      "[Modbus port]\nName=ttyUSB7\nSpeed=600\nParity=even\nSB=3\n[Modbus]\nAutoOpen=0\n"
      "Timeout=999999\nAddress=0\nSTADDR=40001\nCount=12\n[Mbus]\nTimeout=abc\nSearchFrom=7\n"
      "SearchTo=300\nRetry=-4\n[Misc]\nDir=/srv/tables/\n[TCP]\nIP=10.0.0.9\nPort=1502\n"
      "EthTimeout=5\n");
  MakeForm();
  EXPECT_EQ(form->Combo_com2_name->currentText(), "ttyUSB7");
  EXPECT_EQ(form->Combo_com2_speed->currentText(), "600");
  EXPECT_EQ(form->Combo_com2_parity->currentText(), "even");
  EXPECT_EQ(form->UD_modbusTimeout->Position(), 20000);
  EXPECT_EQ(form->UDmodbusAddress->Position(), 1);
  EXPECT_EQ(form->EditInputAddress->text(), "40001");
  EXPECT_EQ(form->UD_timeout->Position(), 1000);
  EXPECT_EQ(form->UDaddressFrom->Position(), 7);
  EXPECT_EQ(form->UDaddressTo->Position(), 255);
  EXPECT_EQ(form->UD_retry->Position(), 0);
  EXPECT_EQ(form->UD_eth_timeout->Position(), 30);
  form->close();
  const QString ini = ReadFile(IniPath());
  EXPECT_TRUE(ini.contains("Dir=/srv/tables/\n")) << "Dir is written back as it was read";
  EXPECT_TRUE(ini.contains("Name=ttyUSB7\n"));
}

TEST_F(StartupTest, CorruptSettingsFileStartsWithDefaults) {
  QByteArray garbage;
  for (int i = 0; i < 70000; ++i) garbage.append(static_cast<char>((i * 7919) & 0xFF));
  WriteIni("[Modbus]\nAddress=\n[Modbus]\nAddress=7\nAddress=9\n" + garbage +
           "\n[TCP]\nIP=" + QByteArray(100000, 'x') + "\n");
  MakeForm();
  EXPECT_EQ(form->Combo_com2_speed->currentText(), "19200");
  EXPECT_GE(form->UDmodbusAddress->Position(), 1);
  EXPECT_EQ(form->Edit_lanxp_port->text(), "502");
}

TEST_F(StartupTest, FailedSaveShowsTheBoxKeepsTheOldFileAndStillClosesThePort) {
  // Root writes into read-only folders, so the settings path is taken by a folder instead.
  ASSERT_TRUE(QDir(dir.path()).mkdir("orvio.ini"));
  Pty pty;
  MakeForm();
  OpenSerial(pty.path);
  form->close();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Saving settings");
  EXPECT_EQ(boxes[0].text, "Settings will not be saved, no write permission");
  EXPECT_FALSE(boxes[0].owned);
  EXPECT_FALSE(form->link.SerialOpen);
  EXPECT_TRUE(MemoHas("Serial port for modbus closed"));
}

TEST_F(StartupTest, ExitAsksAndOnlyYesCloses) {
  MakeForm();
  form->show();
  answer = QMessageBox::No;
  form->Exit1Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Exit Confirmation");
  EXPECT_EQ(boxes[0].text, "Are you sure you want to exit?");
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(QFile::exists(IniPath()));
  answer = QMessageBox::Yes;
  form->Exit1Click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(QFile::exists(IniPath()));
}

TEST_F(StartupTest, SigtermClosesTheWindowAndSavesSettings) {
  // The program itself, copied beside its own settings file in a fresh folder.
  const QString exe = dir.path() + "/orvio";
  ASSERT_TRUE(QFile::copy(ORVIO_EXE, exe));
  QFile(exe).setPermissions(QFile::permissions(ORVIO_EXE));
  WriteIni("[TCP]\nIP=10.1.2.3\n");
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(exe, {});
  ASSERT_TRUE(p.waitForStarted(10000));
  // Give it time to install its handler: wait until the window is up (it writes nothing before).
  QThread::msleep(1500);
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  const QString ini = ReadFile(IniPath());
  EXPECT_TRUE(ini.contains("IP=10.1.2.3\n"));
  EXPECT_TRUE(ini.contains("EthTimeout=50\n"));
}

// Runs the program itself with `--settings path`, ends it with SIGTERM and returns its standard
// error; fails the test when it does not end by itself.
QString SigtermRun(const QString& settingsPath) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(ORVIO_EXE, {"--settings", settingsPath});
  if (!p.waitForStarted(10000)) return "not started";
  QThread::msleep(1500);  // the window is up and the handler installed
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  const bool ended = p.waitForFinished(15000);
  if (!ended) {
    p.kill();
    p.waitForFinished(5000);
  }
  EXPECT_TRUE(ended) << "still running after SIGTERM";
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  return QString::fromLocal8Bit(p.readAllStandardError());
}

TEST_F(StartupTest, SigtermWithUnwritableSettingsEndsAndTellsStandardError) {
  // Below a regular file nothing can be created, by root neither.
  const QString plain = dir.path() + "/plain";
  {
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[TCP]\nIP=10.1.2.3\n");
  }
  const QString settings = plain + "/orvio.ini";
  const QString err = SigtermRun(settings);
  EXPECT_TRUE(err.contains("Settings will not be saved, no write permission")) << err.toStdString();
  EXPECT_TRUE(err.contains(settings)) << err.toStdString();
  EXPECT_TRUE(err.contains("Not a directory")) << err.toStdString();
  EXPECT_EQ(ReadFile(plain), "[TCP]\nIP=10.1.2.3\n");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"plain"});

  // A read-only folder holding the old file (permissions bind everyone but root).
  if (::geteuid() != 0) {
    const QString folder = dir.path() + "/locked";
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString ini = folder + "/orvio.ini";
    {
      QFile f(ini);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write("[TCP]\nIP=10.1.2.3\n");
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const QString lockedErr = SigtermRun(ini);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(lockedErr.contains("Settings will not be saved")) << lockedErr.toStdString();
    EXPECT_EQ(ReadFile(ini), "[TCP]\nIP=10.1.2.3\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"orvio.ini"});
  }
}

TEST_F(StartupTest, LanguageEnglishRewritesTheSameHeaders) {
  MakeForm();
  form->gridLoops->SetCellText(0, 0, "changed");
  form->Label4->setText("changed");
  form->Edit_command->setText("01 03");
  form->English1Click();
  EXPECT_EQ(form->gridLoops->CellText(0, 0), "ID ");
  EXPECT_EQ(form->Label4->text(), "Send custom command");
  EXPECT_EQ(form->Edit_command->text(), "01 03");
  EXPECT_TRUE(form->English1->isChecked());
}

TEST_F(StartupTest, AboutIsOneBoxAndTheManualIsOpenedFromTheProgramFolder) {
  MakeForm();
  form->About1Click();
  form->About1Click();
  EXPECT_TRUE(form->FAbout->isVisible());
  EXPECT_EQ(form->findChildren<TFAbout*>().size(), 1);
  EXPECT_EQ(form->FAbout->windowTitle(), "Orvio -> About");
  EXPECT_EQ(form->FAbout->size(), QSize(380, 280));
  ASSERT_FALSE(form->FAbout->Image1->pixmap().isNull()) << "logo decoded from the resources";
  EXPECT_EQ(form->FAbout->Image1->pixmap().size(), QSize(305, 41));
  form->FAbout->BitBtn1->click();
  EXPECT_FALSE(form->FAbout->isVisible());
  form->About1Click();
  EXPECT_TRUE(form->FAbout->isVisible());

  QDir::setCurrent("/");
  form->Usermanual1Click();
  EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).canonicalPath());
  ASSERT_EQ(openedDocuments.size(), 1u);
  EXPECT_TRUE(openedDocuments[0].endsWith("/UsrMan.pdf"));
  EXPECT_TRUE(boxes.empty());
}

// The line beside the logo's name shows whole: its text fits its label, the label lies on the
// logo, and the picture's own line (cut at its right edge) is painted over.
TEST_F(StartupTest, AboutBannerShowsItsWholeLine) {
  MakeForm();
  form->About1Click();
  const QLabel* banner = form->FAbout->Banner;
  EXPECT_EQ(banner->text(), "M-Bus / Modbus gateway service");
  EXPECT_TRUE(banner->isVisible());
  EXPECT_LE(banner->fontMetrics().horizontalAdvance(banner->text()),
            banner->contentsRect().width());
  EXPECT_GE(banner->font().pointSizeF(), 7.0) << "still legible";
  EXPECT_TRUE(form->FAbout->Image1->rect().contains(banner->geometry()));
  EXPECT_GE(banner->x(), 105) << "right of the name";
  const QImage logo = form->FAbout->Image1->pixmap().toImage();
  for (int y = 0; y < logo.height(); ++y)
    for (int x = banner->x(); x < logo.width(); ++x)
      ASSERT_EQ(logo.pixel(x, y), logo.pixel(banner->x(), y)) << x << "," << y;
}

// Title bars show the captions exactly: the platform appends the application's display name to
// every window title once one is set, so the program must not set one.
TEST_F(StartupTest, TitlesAreExactlyTheCaptions) {
  MakeForm();
  EXPECT_EQ(form->windowTitle(), "   M-bus/modbus configuration of VORTELA device type ZELK");
  EXPECT_EQ(form->FAbout->windowTitle(), "Orvio -> About");
  const QString name = QCoreApplication::applicationName();
  EXPECT_EQ(name, "Orvio");
  // An unset display name follows the application name; a set one would stay.
  QCoreApplication::setApplicationName("orvio-title-probe");
  const QString display = QGuiApplication::applicationDisplayName();
  QCoreApplication::setApplicationName(name);
  EXPECT_EQ(display, "orvio-title-probe") << "a display name is set and ends up in title bars";
}

TEST(TimeOfDay, LocaleFormatsLoseOnlyTheirZone) {
  const struct {
    const char* format;
    const char* expected;
  } rows[] = {
      {"HH:mm:ss t", "HH:mm:ss"},
      {"h:mm:ss AP t", "h:mm:ss AP"},
      {"h:mm:ss AP, t", "h:mm:ss AP"},
      {"H:mm:ss (t)", "H:mm:ss"},
      {"Bh:mm:ss [t]", "Bh:mm:ss"},
      {"t HH:mm:ss", "HH:mm:ss"},
      {"t APh:mm:ss", "APh:mm:ss"},
      {"H:mm:ss 'ch'. t", "H:mm:ss 'ch'."},
      {"H 'h' mm 'min' ss 's' t", "H 'h' mm 'min' ss 's'"},
      {"'Klock' H.mm:ss (t)", "'Klock' H.mm:ss"},
      {"HH:mm:ss tttt", "HH:mm:ss"},
      {"'at' HH:mm:ss", "'at' HH:mm:ss"},  // quoted t stays
      {"HH:mm:ss", "HH:mm:ss"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(TimeFormatWithoutZone(row.format), row.expected) << row.format;

  // Every locale Qt knows: seconds stay, the zone's name goes.
  const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
  ASSERT_FALSE(zone.isEmpty());
  int checked = 0;
  for (const QLocale& l :
       QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
    const QString format = TimeFormatWithoutZone(l.timeFormat(QLocale::LongFormat));
    const QString text = l.toString(QTime(13, 4, 5), format);
    EXPECT_TRUE(format.contains('s')) << l.name().toStdString();
    EXPECT_FALSE(text.contains(zone)) << l.name().toStdString() << ": " << text.toStdString();
    EXPECT_FALSE(text.endsWith(' ') || text.startsWith(' ')) << l.name().toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

TEST(AboutLogo, GarbageIsNotAPicture) {
  EXPECT_TRUE(DecodeJpeg(QByteArray("not a jpeg at all")).isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray("\xFF\xD8\xFF\xE0", 4)).isNull());
}

using FilterTest = WindowTest;

TEST_F(FilterTest, NumericFieldsRefuseLettersDotOnlyInIpFieldsFOnlyInId) {
  MakeForm();
  form->show();
  auto typed = [](QLineEdit* e, const char* keys) {
    e->clear();
    QTest::keyClicks(e, keys);
    return e->text();
  };
  EXPECT_EQ(typed(form->EditInputAddress, "1a2.F"), "12");
  EXPECT_EQ(typed(form->Edit_lanxp_port, "5x0.2"), "502");
  EXPECT_EQ(typed(form->Edit_lanxp_ip, "10.0a.0.F1"), "10.0.0.1");
  EXPECT_EQ(typed(form->Edit_ip, "192.168.1.x1"), "192.168.1.1");
  EXPECT_EQ(typed(form->editID, "12FFfx.9"), "12FF9");
  EXPECT_EQ(typed(form->Edit_id, "12FF34.5"), "12345");
  EXPECT_EQ(typed(form->Edit_valuePulses, "-12e3"), "123");
  form->Combo_com2_speed->lineEdit()->clear();
  QTest::keyClicks(form->Combo_com2_speed->lineEdit(), "96k00");
  EXPECT_EQ(form->Combo_com2_speed->currentText(), "9600");
}

TEST_F(FilterTest, UpDownsClampToTheirLimits) {
  MakeForm();
  form->UD_timeout->SetPosition(100000);
  EXPECT_EQ(form->UD_timeout->Position(), 9900);
  form->UDaddressTo->SetPosition(-3);
  EXPECT_EQ(form->UDaddressTo->Position(), 0);
  form->UD_modbusTimeout->stepUp();
  EXPECT_EQ(form->UD_modbusTimeout->Position(), 650);
}

TEST_F(FilterTest, CoupledCheckBoxesKeepTheirRules) {
  MakeForm();
  // Exactly one of a pair.
  form->checkHolding->click();
  EXPECT_TRUE(form->checkHolding->isChecked());
  EXPECT_FALSE(form->checkInput->isChecked());
  form->checkHolding->click();
  EXPECT_TRUE(form->checkInput->isChecked());
  form->Check_ascii->click();
  EXPECT_FALSE(form->Check_hex->isChecked());
  form->checkModbusPort->click();
  EXPECT_TRUE(form->checkFPbaud->isChecked());
  // At most one of a pair: unchecking leaves both unchecked.
  form->Check_generalValues->click();
  EXPECT_FALSE(form->Check_realValues->isChecked());
  form->Check_generalValues->click();
  EXPECT_FALSE(form->Check_realValues->isChecked());
  EXPECT_FALSE(form->Check_generalValues->isChecked());
  form->Check_valueBCD->click();
  EXPECT_FALSE(form->Check_valueHex->isChecked());
  form->checkBetween->click();
  form->checkRespond->click();
  EXPECT_FALSE(form->checkBetween->isChecked());
  // The six flag boxes.
  form->checkNKE->click();
  form->checkSort->click();
  EXPECT_FALSE(form->checkNKE->isChecked());
  form->checkReset->click();
  EXPECT_FALSE(form->checkSort->isChecked());
  EXPECT_TRUE(form->checkReset->isChecked());
  form->check01->click();
  EXPECT_TRUE(form->checkReset->isChecked()) << "0/1 is not one of the six";
}

using SerialTest = WindowTest;

TEST_F(SerialTest, ToggleOpensWithTheSettingsAndClosesAgain) {
  Pty pty;
  MakeForm();
  form->Combo_com2_speed->setCurrentText("600");  // not in the table: 19200
  form->Combo_com2_stop->setCurrentText("3");     // one stop bit
  OpenSerial(pty.path);
  const QString state = pty.path + " - 600,8,Even";
  EXPECT_EQ(form->Panel(1), state);
  EXPECT_TRUE(MemoHas(state));
  // A pseudo-terminal keeps the speed; parity and stop bits are checked on the tables below.
  EXPECT_EQ(pty.Speed(), B19200);
  EXPECT_FALSE(form->Combo_com2_name->isEnabled());
  EXPECT_FALSE(form->Combo_com2_stop->isEnabled());
  EXPECT_EQ(form->Butt_open_port2->text(), "Disconnect");
  EXPECT_FALSE(form->Butt_connect_xport->isEnabled());
  // RTS on a pseudo-terminal cannot be driven: skipped without a box.
  form->Comm2->SetRts(true);
  form->Comm2->SetRts(false);
  EXPECT_TRUE(boxes.empty());

  form->Butt_open_port2Click();
  EXPECT_FALSE(form->link.SerialOpen);
  EXPECT_EQ(form->Panel(1), pty.path + " is closed");
  EXPECT_TRUE(MemoHas("Serial port for modbus closed"));
  EXPECT_EQ(form->Butt_open_port2->text(), "Connect to port");
  EXPECT_TRUE(form->Butt_connect_xport->isEnabled());
  EXPECT_TRUE(form->Combo_com2_name->isEnabled());
}

TEST_F(SerialTest, ParityAndSpeedTables) {
  Pty pty;
  MakeForm();
  form->Combo_com2_speed->setCurrentText("57600");  // accepted although not listed
  OpenSerial(pty.path);
  EXPECT_EQ(pty.Speed(), B57600);
  for (const char* bad : {"abc", "600", "", "19200x"}) EXPECT_EQ(SerialSpeedFromText(bad), 19200);
  EXPECT_EQ(SerialSpeedFromText("115200"), 115200);
  EXPECT_EQ(SerialParityFromText("None"), QSerialPort::NoParity);
  EXPECT_EQ(SerialParityFromText("Odd"), QSerialPort::OddParity);
  EXPECT_EQ(SerialParityFromText("Mark"), QSerialPort::MarkParity);
  EXPECT_EQ(SerialParityFromText("Space"), QSerialPort::SpaceParity);
  EXPECT_EQ(SerialParityFromText("even"), QSerialPort::EvenParity);
  EXPECT_EQ(SerialParityFromText("none"), QSerialPort::EvenParity);
  EXPECT_EQ(SerialStopBitsFromText("2"), QSerialPort::TwoStop);
  EXPECT_EQ(SerialStopBitsFromText("3"), QSerialPort::OneStop);
  EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("COM12"), "/dev/ttyS11");
  EXPECT_EQ(SerialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(SerialDevicePath("/dev/pts/3"), "/dev/pts/3");
}

TEST_F(SerialTest, PortHeldByAnotherProcessOrMissingGivesTheInUseBox) {
  Pty pty;
  QProcess holder;
  holder.start(ORVIO_HOLDPORT, {pty.path});
  ASSERT_TRUE(holder.waitForReadyRead(10000));
  ASSERT_EQ(holder.readLine().trimmed(), "held");
  MakeForm();
  form->Combo_com2_name->setCurrentText(pty.path);
  form->ToggleSerialPort();
  EXPECT_FALSE(form->link.SerialOpen);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Connect to port");
  EXPECT_EQ(boxes[0].text, "This serial port is already in use!");
  EXPECT_EQ(form->Panel(1), pty.path + " is closed");
  holder.closeWriteChannel();
  holder.waitForFinished(10000);

  form->Combo_com2_name->setCurrentText("COM19");
  form->ToggleSerialPort();
  EXPECT_FALSE(form->link.SerialOpen);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "This serial port is already in use!");
  EXPECT_EQ(form->Panel(1), "/dev/ttyS18 is closed");
}

TEST_F(SerialTest, AutomaticOpenAtStartupWithThePortInUseStartsClosed) {
  WriteIni("[Modbus port]\nName=/dev/orvio-no-such-port\n[Modbus]\nAutoOpen=1\n");
  MakeForm();
  EXPECT_FALSE(form->link.SerialOpen);
  EXPECT_TRUE(HasBox("Connect to port", "This serial port is already in use!"));
  EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet2);
}

TEST_F(SerialTest, ABurstOfManyBytesArrivesCompleteAndInOrder) {
  Pty pty;
  MakeForm();
  OpenSerial(pty.path);
  std::string burst;
  for (int i = 0; i < 5000; ++i) burst += static_cast<char>((i * 31 + 7) & 0xFF);
  pty.Write(burst);
  ASSERT_TRUE(WaitFor([&] { return form->link.SerialRxBuffer.size() >= burst.size(); }));
  EXPECT_EQ(form->link.SerialRxBuffer, burst);
}

TEST_F(SerialTest, WritesReachTheLine) {
  Pty pty;
  MakeForm();
  OpenSerial(pty.path);
  EXPECT_TRUE(form->Comm2->WriteByte(0x01));
  EXPECT_TRUE(form->Comm2->WriteText(std::string("\x03\x00\x10", 3)));
  std::string got;
  ASSERT_TRUE(WaitFor([&] {
    char buf[16];
    ssize_t n = ::read(pty.master, buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
    return got.size() >= 4;
  }));
  EXPECT_EQ(got, std::string("\x01\x03\x00\x10", 4));
}

TEST_F(SerialTest, APortThatVanishesIsReportedOnceAndClosed) {
  Pty pty;
  MakeForm();
  OpenSerial(pty.path);
  ::close(pty.slave);
  pty.slave = -1;
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return !form->link.SerialOpen; }));
  Pump(300);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.startsWith("Read error (")) << boxes[0].text.toStdString();
  EXPECT_TRUE(MemoHas("Serial port for modbus closed"));
  EXPECT_EQ(form->Butt_open_port2->text(), "Connect to port");
}

// Empties the port's input after the port reported data and before it is read (as a purge on the
// way does), leaving `errnoLeft` behind as an earlier call would.
class PurgeBeforeRead : public QObject {
 public:
  PurgeBeforeRead(int slave, int errnoLeft) : slave_(slave), errno_(errnoLeft) {}
  int fired = 0;

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* notifier = qobject_cast<QSocketNotifier*>(watched);
    if (fired == 0 && event->type() == QEvent::SockAct && notifier &&
        notifier->type() == QSocketNotifier::Read &&
        qobject_cast<QSerialPort*>(notifier->parent())) {
      ++fired;
      tcflush(slave_, TCIFLUSH);
      errno = errno_;
    }
    return false;
  }

 private:
  int slave_;
  int errno_;
};

TEST_F(SerialTest, InputPurgedBeforeItIsReadLeavesThePortOpenAndReceiving) {
  for (int errnoLeft : {ENOTTY, EAGAIN, EIO, 0}) {
    SCOPED_TRACE(errnoLeft);
    Pty pty;
    boxes.clear();
    MakeForm();
    OpenSerial(pty.path);
    PurgeBeforeRead purge(pty.slave, errnoLeft);
    qApp->installEventFilter(&purge);
    pty.Write("\x01\x02");
    const bool fired = WaitFor([&] { return purge.fired == 1; });
    Pump(50);
    qApp->removeEventFilter(&purge);
    ASSERT_TRUE(fired);
    EXPECT_TRUE(boxes.empty()) << boxes[0].text.toStdString();
    EXPECT_TRUE(form->link.SerialOpen);
    EXPECT_TRUE(form->Comm2->IsOpen());
    // Reception goes on.
    form->link.SerialRxBuffer.clear();
    pty.Write("\x03\x04");
    EXPECT_TRUE(WaitFor([&] { return form->link.SerialRxBuffer.size() >= 2; }, 5000));
    EXPECT_EQ(form->link.SerialRxBuffer, "\x03\x04");
    form->close();
    form.reset();
  }
}

// Other programs' locks on a port: flock on the device and UUCP lock files, here in a folder of
// the test's own.
class SerialLockTest : public WindowTest {
 protected:
  QTemporaryDir lockDir;

  void MakeLockingForm() {
    MakeForm();
    form->Comm2->SetLockDirectories({lockDir.path()});
  }
  QString LockFile(const QString& device) {
    return lockDir.path() + "/" + QString::fromStdString(PortLockName(device.toStdString()));
  }
  void WriteLock(const QString& path, const std::string& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
  }
  // Presses "Connect to port"; true when the port opened, else the in-use box was shown.
  bool TryOpen(const QString& device) {
    boxes.clear();
    form->Combo_com2_name->setCurrentText(device);
    form->ToggleSerialPort();
    if (form->link.SerialOpen) return true;
    EXPECT_TRUE(HasBox("Connect to port", "This serial port is already in use!"));
    EXPECT_EQ(form->Panel(1), device + " is closed");
    return false;
  }
};

TEST_F(SerialLockTest, AFlockOnTheDeviceMeansInUseAndOrvioTakesOneWhileOpen) {
  Pty pty;
  MakeLockingForm();
  const QByteArray path = QFile::encodeName(pty.path);
  const int other = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(TryOpen(pty.path));
  ASSERT_EQ(::flock(other, LOCK_UN), 0);

  ASSERT_TRUE(TryOpen(pty.path));
  EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0) << "Orvio holds no flock on the port";
  EXPECT_EQ(errno, EWOULDBLOCK);
  form->ToggleSerialPort();
  EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << "the flock outlived the close";
  ::close(other);
}

TEST_F(SerialLockTest, ALockFileOfARunningProcessMeansInUseAStaleOneDoesNot) {
  Pty pty;
  MakeLockingForm();
  const QString lock = LockFile(pty.path);
  QProcess holder;
  holder.start("sleep", {"60"});
  ASSERT_TRUE(holder.waitForStarted());
  const long pid = static_cast<long>(holder.processId());
  // The HDB form and the plain form with the holder's name below.
  for (const std::string& text : {PortLockText(pid), std::to_string(pid) + "\nminicom\n"}) {
    WriteLock(lock, text);
    EXPECT_FALSE(TryOpen(pty.path)) << text;
    EXPECT_TRUE(QFile::exists(lock)) << "another program's lock was removed";
  }
  holder.kill();
  holder.waitForFinished();

  // Its holder is gone: the lock is stale and Orvio takes the port and the lock file.
  ASSERT_TRUE(TryOpen(pty.path));
  QFile own(lock);
  ASSERT_TRUE(own.open(QIODevice::ReadOnly));
  EXPECT_EQ(PortLockPid(own.readAll().toStdString()), static_cast<long>(::getpid()));
  own.close();
  form->ToggleSerialPort();
  EXPECT_FALSE(QFile::exists(lock)) << "the lock file outlived the close";

  // No lock file at all: Orvio writes its own and removes it again.
  ASSERT_TRUE(TryOpen(pty.path));
  EXPECT_TRUE(QFile::exists(lock));
  form->close();
  EXPECT_FALSE(QFile::exists(lock));
}

// A port that cannot be had keeps its box as it was and gets the system's reason beside it: as
// the box's informative text and as a trace line.
class SerialRefusalTest : public SerialLockTest {
 protected:
  // The reason shown for `device` (the box and the trace agree).
  QString Refusal(const QString& device) {
    EXPECT_FALSE(TryOpen(device));
    if (boxes.size() != 1) return {};
    EXPECT_TRUE(MemoHas(boxes[0].informative));
    return boxes[0].informative;
  }
};

TEST_F(SerialRefusalTest, AMissingDeviceSaysSo) {
  MakeLockingForm();
  const QString missing = dir.path() + "/ttyUSB0";
  EXPECT_EQ(Refusal(missing),
            missing + ": no such device. Is the adapter plugged in and the name right?");
}

TEST_F(SerialRefusalTest, APortWithoutPermissionNamesTheDialoutGroup) {
  // Root opens a file of mode 000 all the same; the case only exists for other users.
  if (::geteuid() == 0) GTEST_SKIP() << "root is not refused by file permissions";
  MakeLockingForm();
  const QString port = dir.path() + "/ttyS0";
  QFile f(port);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  ASSERT_TRUE(f.setPermissions(QFileDevice::Permissions()));
  EXPECT_EQ(Refusal(port), port +
                               ": permission denied. Serial ports need membership in the "
                               "group dialout (sudo adduser $USER dialout, then log in again).");
}

TEST_F(SerialRefusalTest, ALockFileNamesItsHoldersPid) {
  Pty pty;
  MakeLockingForm();
  QProcess holder;
  holder.start("sleep", {"60"});
  ASSERT_TRUE(holder.waitForStarted());
  const long pid = static_cast<long>(holder.processId());
  const QString lock = LockFile(pty.path);
  WriteLock(lock, PortLockText(pid));
  EXPECT_EQ(Refusal(pty.path), QString("%1 is held by another program (PID %2, lock file %3).")
                                   .arg(pty.path)
                                   .arg(pid)
                                   .arg(lock));
  holder.kill();
  holder.waitForFinished();
}

TEST_F(SerialRefusalTest, AFlockOfAnotherProgramIsNamedToo) {
  Pty pty;
  MakeLockingForm();
  const int other = ::open(QFile::encodeName(pty.path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(Refusal(pty.path),
            pty.path + " is held by another program (it has locked the device).");
  ::close(other);
}

// A desktop that cannot open the PDF (no viewer): the manual's text in Orvio's own window, or,
// without the text either, a box with the reason and the manual's path.
TEST_F(WindowTest, UserManualWithoutAViewerShowsTheTextInAWindowOfItsOwn) {
  MakeForm();
  documentOpens = false;
  {
    QFile md(dir.path() + "/UsrMan.md");
    ASSERT_TRUE(md.open(QIODevice::WriteOnly));
    md.write("# Orvio user manual\n\nConnect the gateway first.\n\n![Settings](gone.png)\n");
  }
  form->Usermanual1Click();
  ASSERT_EQ(openedDocuments.size(), 1u);
  EXPECT_TRUE(boxes.empty());
  ASSERT_TRUE(form->ManualView);
  EXPECT_TRUE(form->ManualView->isVisible());
  const QString shown = form->ManualView->Text->toPlainText();
  EXPECT_TRUE(shown.contains("Connect the gateway first.")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("(Settings)")) << "a missing picture shows its caption";
  EXPECT_TRUE(MemoHasPrefix("The desktop could not open it: "));
  form->ManualView->close();

  ASSERT_TRUE(QFile::remove(dir.path() + "/UsrMan.md"));
  form->Usermanual1Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The user manual cannot be shown.");
  EXPECT_EQ(boxes[0].informative, "The desktop could not open it.\n" + openedDocuments.back());
  EXPECT_TRUE(openedDocuments.back().endsWith("/UsrMan.pdf"));
  EXPECT_FALSE(form->ManualView->isVisible());
}

using TcpTest = WindowTest;

TEST_F(TcpTest, ConnectDisconnectAndTheirLines) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  MakeForm();
  ConnectTcp(server.serverPort());
  EXPECT_TRUE(MemoHas("Trying to connect to remote TCP server..."));
  ASSERT_TRUE(MemoHasPrefix("Connected TCP/IP, at "));
  for (const QString& l : Memo()) {
    if (l.startsWith("Connected TCP/IP, at ")) {
      EXPECT_TRUE(IsTimeOfDay(l.mid(21))) << l.toStdString();
    }
  }
  EXPECT_EQ(form->Panel(0), "Connected to 127.0.0.1");
  EXPECT_FALSE(form->Butt_connect_xport->isEnabled());
  EXPECT_EQ(form->link.TransactionId, 1000);
  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
  QTcpSocket* peer = server.nextPendingConnection();
  peer->write("\x01\x02\x00\x03", 4);
  peer->flush();
  ASSERT_TRUE(WaitFor([&] { return form->link.TcpRxBuffer.size() == 4; }));
  EXPECT_EQ(form->link.TcpRxBuffer, std::string("\x01\x02\x00\x03", 4));

  form->BitBtn24Click();
  ASSERT_TRUE(WaitFor([&] { return !form->link.TcpConnected; }));
  ASSERT_TRUE(MemoHasPrefix("Disconnected TCP/IP connection at "));
  for (const QString& l : Memo()) {
    if (l.startsWith("Disconnected TCP/IP connection at ")) {
      EXPECT_TRUE(IsTimeOfDay(l.mid(34))) << l.toStdString();
    }
  }
  EXPECT_EQ(form->Panel(0), "Disconnected TCP ");
  EXPECT_TRUE(form->Butt_connect_xport->isEnabled());
  const int lines = static_cast<int>(Memo().size());
  form->BitBtn24Click();
  Pump(100);
  EXPECT_EQ(Memo().size(), lines) << "a second disconnect does nothing";
}

TEST_F(TcpTest, ThePeerClosingRunsTheDisconnectEvent) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  MakeForm();
  ConnectTcp(server.serverPort());
  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
  server.nextPendingConnection()->close();
  ASSERT_TRUE(WaitFor([&] { return !form->link.TcpConnected; }));
  EXPECT_EQ(form->Panel(0), "Disconnected TCP ");
  EXPECT_FALSE(MemoHasPrefix("Socket error #"));
}

TEST_F(TcpTest, AResetByThePeerGivesOneSocketErrorLineAndDisconnects) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  MakeForm();
  ConnectTcp(server.serverPort());
  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
  QTcpSocket* peer = server.nextPendingConnection();
  // Closing with a zero linger time resets the connection.
  const linger reset{1, 0};
  ASSERT_EQ(setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                       sizeof reset),
            0);
  peer->abort();
  ASSERT_TRUE(WaitMemo("Socket error #104"));
  ASSERT_TRUE(WaitFor([&] { return !form->link.TcpConnected; }));
  EXPECT_EQ(MemoCount("Socket error #104"), 1);
  EXPECT_EQ(form->Panel(0), "Disconnected TCP ");
  EXPECT_TRUE(form->Butt_connect_xport->isEnabled());
  // The next connection closed in order stays silent.
  form->MemoClear();
  ConnectTcp(server.serverPort());
  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
  server.nextPendingConnection()->close();
  ASSERT_TRUE(WaitFor([&] { return !form->link.TcpConnected; }));
  EXPECT_FALSE(MemoHasPrefix("Socket error #"));
}

TEST_F(TcpTest, RefusedConnectionGivesTheOsErrorNumberAndCanBeRetried) {
  quint16 port;
  {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    port = probe.serverPort();
  }
  MakeForm();
  form->Edit_lanxp_ip->setText("127.0.0.1");
  form->Edit_lanxp_port->setText(QString::number(port));
  form->UD_eth_timeout->SetPosition(30);
  form->Butt_connect_xportClick();
  ASSERT_TRUE(WaitMemo("Socket error #111"));
  EXPECT_FALSE(form->link.TcpConnected);
  EXPECT_TRUE(form->Butt_connect_xport->isEnabled());
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, port));
  ConnectTcp(port);
}

TEST_F(TcpTest, BadPortTextIsRefused) {
  MakeForm();
  form->Edit_lanxp_port->setText("70000");
  form->Butt_connect_xportClick();
  EXPECT_TRUE(MemoHas("Remote IP and Port are not properly set..."));
  EXPECT_FALSE(MemoHas("Trying to connect to remote TCP server..."));
}

TEST_F(TcpTest, OpeningTheSerialPortClosesTheTcpLink) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  Pty pty;
  MakeForm();
  ConnectTcp(server.serverPort());
  OpenSerial(pty.path);
  EXPECT_FALSE(form->link.TcpConnected);
  EXPECT_FALSE(form->Butt_connect_xport->isEnabled());
  form->ToggleSerialPort();
  EXPECT_TRUE(form->Butt_connect_xport->isEnabled());
}

TEST_F(TcpTest, ClosingWithBothLinksOpenClosesBoth) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  Pty pty;
  MakeForm();
  OpenSerial(pty.path);
  form->Butt_connect_xport->setEnabled(true);
  // The TCP link cannot be made while the port is open; fake the state the close must undo.
  form->close();
  EXPECT_FALSE(form->link.SerialOpen);
  EXPECT_FALSE(form->link.TcpConnected);
}

}  // namespace
}  // namespace orvio::test

namespace orvio::test {
namespace {

using MemoTest = WindowTest;

TEST_F(MemoTest, TheViewFollowsNewLinesWhileAtTheEnd) {
  MakeForm();
  form->show();
  for (int batch = 0; batch < 5; ++batch) {
    for (int i = 0; i < 100; ++i) form->MemoAdd(QString("line %1 %2").arg(batch).arg(i));
    Pump(50);
  }
  QScrollBar* bar = form->Memo_current->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_EQ(form->MemoLines().size(), 500);
  EXPECT_EQ(form->MemoLines().last(), "line 4 99");
  // A user reading further up stays where they are.
  bar->setValue(0);
  form->MemoAdd(QStringLiteral("one more"));
  Pump(50);
  EXPECT_EQ(bar->value(), 0);
}

// Whether the memo's last line lies within the height of its view.
bool LastMemoLineInView(QPlainTextEdit& memo) {
  QTextCursor end(memo.document());
  end.movePosition(QTextCursor::End);
  const QRect line = memo.cursorRect(end);
  return line.top() >= 0 && line.bottom() <= memo.viewport()->height();
}

// A long session: the memo widget holds only the latest lines (memory stays bounded), yet "Save
// log" writes every line since the last "Clear log", in order, and the view keeps to the end.
TEST_F(MemoTest, SaveLogWritesEveryLineSinceTheClearBeyondTheLinesShown) {
  MakeForm();
  form->show();
  form->Memo_current->SetVisibleLines(50);
  form->MemoAdd(QStringLiteral("before the clear"));
  form->FlushMemo();
  form->BitBtn5Click();  // Clear log
  QStringList all;
  for (int batch = 0; batch < 6; ++batch) {
    for (int i = 0; i < 50; ++i) {
      all << QString("line %1 %2").arg(batch).arg(i);
      form->MemoAdd(all.back());
    }
    Pump(30);
  }
  QScrollBar* bar = form->Memo_current->verticalScrollBar();
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(LastMemoLineInView(*form->Memo_current));
  EXPECT_EQ(form->MemoLines(), all.mid(all.size() - 50));  // the recent lines
  form->BitBtn6Click();                                    // Save log
  const QString log = dir.filePath("files/log.txt");
  const auto ReadWhole = [](const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
  };
  EXPECT_EQ(ReadWhole(log), all.join('\n') + '\n');
  // A later save has the lines since then too; a clear starts the log over.
  form->MemoAdd(QStringLiteral("one more"));
  form->BitBtn6Click();
  EXPECT_EQ(ReadWhole(log), all.join('\n') + "\none more\n");
  form->BitBtn5Click();
  form->MemoAdd(QStringLiteral("after the clear"));
  form->BitBtn6Click();
  EXPECT_EQ(ReadWhole(log), "after the clear\n");
}

// Dropping the oldest lines does not move a user who reads further up off the lines in view.
TEST_F(MemoTest, ATrimKeepsTheLinesAUserReadsInView) {
  MakeForm();
  form->show();
  TraceMemo& memo = *form->Memo_current;
  memo.SetVisibleLines(50);
  for (int i = 0; i < 90; ++i) form->MemoAdd(QString("line %1").arg(i));
  form->FlushMemo();
  Pump(30);
  memo.verticalScrollBar()->setValue(80);  // line 80, still among the latest 50 of 120
  Pump(30);
  const QString read = memo.cursorForPosition(QPoint(0, 0)).block().text();
  ASSERT_EQ(read, "line 80");
  for (int i = 90; i < 120; ++i) form->MemoAdd(QString("line %1").arg(i));  // past twice 50
  form->FlushMemo();
  Pump(30);
  EXPECT_EQ(memo.document()->blockCount(), 50);
  EXPECT_EQ(memo.cursorForPosition(QPoint(0, 0)).block().text(), read);
}

TEST_F(MemoTest, TheViewKeepsFollowingAfterALineWiderThanTheView) {
  MakeForm();
  form->show();
  QPlainTextEdit& memo = *form->Memo_current;
  QScrollBar* bar = memo.verticalScrollBar();
  for (int i = 0; i < 100; ++i) form->MemoAdd(QString("line %1").arg(i));
  Pump(50);
  ASSERT_FALSE(memo.horizontalScrollBar()->isVisible());
  ASSERT_TRUE(LastMemoLineInView(memo));

  // The gateway's identification answer is such a line: the horizontal scroll bar comes up.
  form->MemoAdd("UNMD:" + QString("01 11 ").repeated(200));
  Pump(50);
  ASSERT_TRUE(memo.horizontalScrollBar()->isVisible());
  EXPECT_TRUE(LastMemoLineInView(memo));
  for (int batch = 0; batch < 3; ++batch) {
    form->MemoAdd(QString("status line %1").arg(batch));
    form->MemoAdd(QStringLiteral("Error - ILLEGAL DATA VALUE"));
    Pump(50);
    EXPECT_TRUE(LastMemoLineInView(memo)) << batch;
  }

  // Scrolled away by the user, the view stays put whatever the lines.
  bar->setValue(10);
  form->MemoAdd(QString("x").repeated(3000));
  form->MemoAdd(QStringLiteral("short"));
  Pump(50);
  EXPECT_EQ(bar->value(), 10);
  // Back at the end, it follows again.
  bar->setValue(bar->maximum());
  form->MemoAdd(QStringLiteral("followed"));
  Pump(50);
  EXPECT_TRUE(LastMemoLineInView(memo));
}

}  // namespace
}  // namespace orvio::test
