// orvio's command line: --help, --version and the start-up options.
#pragma once

#include <QCommandLineParser>
#include <QString>

namespace orvio {

struct CommandLine {
  QString settingsPath;  // --settings FILE, made absolute; "" keeps the default place
  bool connect = false;  // --connect HOST[:PORT]
  QString connectHost;
  QString connectPort;    // "" when the option gave no port
  QString portName;       // --port or --port-name: the text put into the port box
  bool openPort = false;  // --port: also open it at start
  QString error;          // why the options are refused (a port outside 1..65535); "" if sound
};

// Declares --help, --version and the options on `parser`.
void DeclareOptions(QCommandLineParser& parser);

// Reads the options of an already processed parser (the last of a repeated option counts).
CommandLine ReadCommandLine(const QCommandLineParser& parser);

// True when the arguments ask only for help or the version, which need no display.
bool AsksForInformationOnly(int argc, char** argv);

// The program's arguments as the parser reads them, before QApplication exists: without the
// options that QApplication takes for itself (-platform NAME, -style NAME, -reverse, ...), so
// that the command line is checked before anything needs a display.
QStringList ProgramArguments(int argc, char** argv);

}  // namespace orvio
