#include "app/command_line.h"

#include <QFileInfo>
#include <cstring>

namespace orvio {

void DeclareOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "Service and configuration tool for the ZELK gateway: Modbus RTU over a serial port or "
      "Modbus TCP, gateway configuration and status, its M-Bus device map and meters.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOptions({
      {"connect", "Connect the TCP link to HOST:PORT at start (PORT defaults to the port box).",
       "HOST:PORT"},
      {"port", "Put PATH into the serial port box and open that port at start.", "PATH"},
      {"port-name", "Put NAME into the serial port box without opening it.", "NAME"},
      {"settings", "Keep the settings in FILE instead of the default place.", "FILE"},
  });
}

CommandLine ReadCommandLine(const QCommandLineParser& parser) {
  CommandLine cl;
  if (parser.isSet("settings"))
    cl.settingsPath = QFileInfo(parser.value("settings")).absoluteFilePath();
  if (parser.isSet("connect")) {
    const QString target = parser.value("connect");
    const int colon = target.lastIndexOf(':');
    cl.connect = true;
    cl.connectHost = colon < 0 ? target : target.left(colon);
    if (colon >= 0) cl.connectPort = target.mid(colon + 1);
    bool number = false;
    const uint port = cl.connectPort.toUInt(&number);
    if (!cl.connectPort.isEmpty() && (!number || port < 1 || port > 65535)) {
      const QString shown =
          cl.connectPort.size() <= 32 ? cl.connectPort : cl.connectPort.left(32) + "...";
      cl.error = QString("--connect %1: the port \"%2\" is not a number from 1 to 65535")
                     .arg(cl.connectHost.left(64), shown);
    }
  }
  // Of --port and --port-name, the one given last fills the box; --port anywhere opens it.
  const QStringList names = parser.optionNames();
  for (const QString& name : names)
    if (name == "port" || name == "port-name") cl.portName = parser.values(name).last();
  cl.openPort = parser.isSet("port");
  return cl;
}

bool AsksForInformationOnly(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    for (const char* flag : {"-h", "--help", "--help-all", "-v", "--version"})
      if (std::strcmp(argv[i], flag) == 0) return true;
  return false;
}

QStringList ProgramArguments(int argc, char** argv) {
  // QGuiApplication's and QApplication's own options, with one dash or two; the first group
  // takes a value.
  static const QStringList kWithValue = {"platform",
                                         "platformpluginpath",
                                         "platformtheme",
                                         "plugin",
                                         "qwindowgeometry",
                                         "qwindowicon",
                                         "qwindowtitle",
                                         "display",
                                         "geometry",
                                         "style",
                                         "stylesheet",
                                         "session",
                                         "name",
                                         "title",
                                         "icon"};
  static const QStringList kFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    const QString name = a.startsWith("--") ? a.mid(2) : a.startsWith('-') ? a.mid(1) : QString();
    const QString key = name.section('=', 0, 0);
    if (i > 0 && kWithValue.contains(name)) {
      ++i;  // and its value
    } else if (i == 0 || !(kFlags.contains(name) || (key != name && kWithValue.contains(key)) ||
                           key == "qmljsdebugger")) {
      arguments << a;
    }
  }
  return arguments;
}

}  // namespace orvio
