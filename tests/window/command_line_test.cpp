// orvio's command line (in-process parsing and the real program's --help/--version without a
// display) and where a copy whose folder the user cannot write keeps its settings and log.
#include "app/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

namespace orvio::test {
namespace {

struct ParseCase {
  const char* name;
  QStringList args;
  QString settings;  // "" or the absolute path expected
  bool connect;
  QString host, port, portName;
  bool openPort;
};

class CommandLineParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, ReadsTheStartupOptions) {
  const ParseCase& c = GetParam();
  QCommandLineParser parser;
  DeclareOptions(parser);
  ASSERT_TRUE(parser.parse(QStringList{"orvio"} + c.args)) << qPrintable(parser.errorText());
  const CommandLine cl = ReadCommandLine(parser);
  EXPECT_EQ(cl.settingsPath, c.settings);
  EXPECT_EQ(cl.connect, c.connect);
  EXPECT_EQ(cl.connectHost, c.host);
  EXPECT_EQ(cl.connectPort, c.port);
  EXPECT_EQ(cl.portName, c.portName);
  EXPECT_EQ(cl.openPort, c.openPort);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParse,
    ::testing::Values(
        ParseCase{"Nothing", {}, "", false, "", "", "", false},
        ParseCase{"ConnectHostPort",
                  {"--connect", "127.0.0.1:1502"},
                  "",
                  true,
                  "127.0.0.1",
                  "1502",
                  "",
                  false},
        ParseCase{"ConnectHostOnly", {"--connect=gw.local"}, "", true, "gw.local", "", "", false},
        ParseCase{"SettingsAbsolute",
                  {"--settings", "/tmp/x.ini"},
                  "/tmp/x.ini",
                  false,
                  "",
                  "",
                  "",
                  false},
        ParseCase{"PortOpens", {"--port", "/dev/pts/3"}, "", false, "", "", "/dev/pts/3", true},
        ParseCase{
            "PortNameOnlyFills", {"--port-name", "ttyUSB0"}, "", false, "", "", "ttyUSB0", false},
        // The option given last fills the port box; --port anywhere opens it.
        ParseCase{"LastPortOptionWins",
                  {"--port", "/dev/ttyS1", "--port-name", "ttyUSB0"},
                  "",
                  false,
                  "",
                  "",
                  "ttyUSB0",
                  true},
        ParseCase{"DemoRun",
                  {"--settings", "/b/demo.ini", "--port-name", "/dev/pts/7", "--connect",
                   "127.0.0.1:1502"},
                  "/b/demo.ini",
                  true,
                  "127.0.0.1",
                  "1502",
                  "/dev/pts/7",
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineParse, RelativeSettingsPathIsMadeAbsolute) {
  QCommandLineParser parser;
  DeclareOptions(parser);
  ASSERT_TRUE(parser.parse({"orvio", "--settings", "demo.ini"}));
  EXPECT_EQ(ReadCommandLine(parser).settingsPath, QDir::current().absoluteFilePath("demo.ini"));
}

struct ProgramRun {
  int code = -1;
  QString out, err;
};

// The real program, without any display: --help and --version must still answer.
ProgramRun RunOrvio(const QStringList& args, const QProcessEnvironment& env) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(ORVIO_EXE, args);
  ProgramRun r;
  if (!p.waitForFinished(20000)) return r;
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  r.err = QString::fromLocal8Bit(p.readAllStandardError());
  return r;
}

TEST(OrvioProgram, HelpAndVersionNeedNoDisplayUnknownOptionsAreRefused) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  const ProgramRun version = RunOrvio({"--version"}, env);
  EXPECT_EQ(version.code, 0) << qPrintable(version.err);
  EXPECT_EQ(version.out.trimmed(), "Orvio 1.0.1.81");
  const ProgramRun help = RunOrvio({"--help"}, env);
  EXPECT_EQ(help.code, 0) << qPrintable(help.err);
  for (const char* option : {"--connect <HOST:PORT>", "--port <PATH>", "--port-name <NAME>",
                             "--settings <FILE>", "--version", "--help"})
    EXPECT_TRUE(help.out.contains(option)) << option << "\n" << qPrintable(help.out);
  env.insert("QT_QPA_PLATFORM", "offscreen");
  const ProgramRun unknown = RunOrvio({"--conect", "127.0.0.1:502"}, env);
  EXPECT_EQ(unknown.code, 1);
  EXPECT_TRUE(unknown.err.contains("Unknown option 'conect'")) << qPrintable(unknown.err);
}

// The command line is checked before Qt looks for a display: without one (no DISPLAY, the
// platform unset or xcb) a wrong option or port ends with a message and status 1, not with Qt's
// abort, and no settings are written.
TEST(OrvioProgram, WrongOptionsAndPortsAreRefusedBeforeADisplayIsNeeded) {
  QTemporaryDir tmp;
  const QString ini = tmp.path() + "/orvio.ini";
  const struct {
    QStringList args;
    const char* message;
  } rows[] = {
      {{"--bogus"}, "Unknown option 'bogus'"},
      {{"--connect", "nohost:99999"},
       "orvio: --connect nohost: the port \"99999\" is not a number from 1 to 65535"},
      {{"--connect=nohost:0"}, "the port \"0\" is not a number from 1 to 65535"},
      {{"--connect", "gw:http"}, "the port \"http\" is not"},
      {{"--connect", "gw:-1"}, "the port \"-1\" is not"},
      {{"--settings"}, "Missing value after '--settings'"},
  };
  for (const char* platform : {"", "xcb"}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    if (*platform) env.insert("QT_QPA_PLATFORM", platform);
    for (const auto& row : rows) {
      const ProgramRun run = RunOrvio(QStringList{"--settings", ini} + row.args, env);
      const std::string what = (row.args.join(' ') + " / " + platform).toStdString();
      EXPECT_EQ(run.code, 1) << what << "\n" << qPrintable(run.err);
      EXPECT_TRUE(run.err.contains(row.message)) << what << "\n" << qPrintable(run.err);
      EXPECT_FALSE(QFile::exists(ini)) << what;
    }
  }
}

TEST(CommandLineParse, QtsOwnOptionsAreLeftToQApplication) {
  const char* argv[] = {"orvio",     "-platform", "offscreen", "--style",     "fusion", "-reverse",
                        "--connect", "gw:502",    "-style=x",  "--port-name", "ttyUSB0"};
  QStringList arguments = ProgramArguments(11, const_cast<char**>(argv));
  EXPECT_EQ(arguments, QStringList({"orvio", "--connect", "gw:502", "--port-name", "ttyUSB0"}));
  QCommandLineParser parser;
  DeclareOptions(parser);
  ASSERT_TRUE(parser.parse(arguments)) << qPrintable(parser.errorText());
  const CommandLine cl = ReadCommandLine(parser);
  EXPECT_EQ(cl.error, "");
  EXPECT_EQ(cl.connectPort, "502");
  for (const char* port : {"1", "65535"}) {
    ASSERT_TRUE(parser.parse({"orvio", "--connect", QString("gw:") + port}));
    EXPECT_EQ(ReadCommandLine(parser).error, "") << port;
  }
}

// A copy in a folder its user cannot write (as /usr/bin is for a user) keeps its settings under
// $XDG_CONFIG_HOME and writes nothing beside itself. Root may write any folder, so as root the
// program runs as the user nobody.
// Runs a copy of the program installed in `tmp`/bin, which the user cannot write (as /usr/bin),
// with `tmp`/home as the home folder (holding a Documents folder when `documents`), ends it with
// SIGTERM and returns the settings it wrote under $XDG_CONFIG_HOME.
QByteArray RunInstalledCopy(const QTemporaryDir& tmp, bool documents) {
  const QString bin = tmp.path() + "/bin", home = tmp.path() + "/home";
  EXPECT_TRUE(QDir().mkpath(bin) && QDir().mkpath(home));
  const QString exe = bin + "/orvio";
  EXPECT_TRUE(QFile::copy(ORVIO_EXE, exe));
  QFile::setPermissions(exe, QFile::permissions(ORVIO_EXE) | QFile::ExeOther | QFile::ReadOther);
  const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
  QFile::setPermissions(tmp.path(), open);
  QFile::setPermissions(bin, open & ~QFile::WriteOwner);  // r-x for everyone
  QFile::setPermissions(home, open | QFile::WriteOther);
  if (documents) {
    EXPECT_TRUE(QDir().mkpath(home + "/Documents"));
    QFile::setPermissions(home + "/Documents", open | QFile::WriteOther);
  }

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("HOME", home);
  env.insert("XDG_CONFIG_HOME", home + "/config");
  env.insert("XDG_DATA_HOME", home + "/data");
  env.remove("XDG_RUNTIME_DIR");
  QProcess p;
  p.setProcessEnvironment(env);
  if (::geteuid() == 0)
    p.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", exe});
  else
    p.start(exe, {});
  EXPECT_TRUE(p.waitForStarted(10000));
  QThread::msleep(1500);  // until the window is up and the signal handler installed
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  EXPECT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
  EXPECT_FALSE(QFile::exists(bin + "/orvio.ini"));
  QFile::setPermissions(bin, open);
  QFile ini(home + "/config/orvio/orvio.ini");
  EXPECT_TRUE(ini.open(QIODevice::ReadOnly)) << "settings under $XDG_CONFIG_HOME";
  return ini.readAll();
}

TEST(OrvioProgram, CopyInAFolderTheUserCannotWriteKeepsSettingsUnderXdg) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QByteArray text = RunInstalledCopy(tmp, true);
  EXPECT_TRUE(text.contains("[TCP]\nIP=192.168.1.3\n"));
  // The file dialogs start in the documents folder, not in the program's folder.
  EXPECT_TRUE(text.contains("Dir=" + tmp.path().toUtf8() + "/home/Documents/\n"))
      << text.constData();
}

// A fresh account has no documents folder yet: the dialogs start in the home folder, not in the
// program's folder, where saving fails.
TEST(OrvioProgram, FreshAccountWithoutDocumentsStartsTheDialogsAtHome) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QByteArray text = RunInstalledCopy(tmp, false);
  EXPECT_TRUE(text.contains("Dir=" + tmp.path().toUtf8() + "/home/\n")) << text.constData();
}

}  // namespace
}  // namespace orvio::test
