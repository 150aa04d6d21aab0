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
};

// Declares --help, --version and the options on `parser`.
void DeclareOptions(QCommandLineParser& parser);

// Reads the options of an already processed parser (the last of a repeated option counts).
CommandLine ReadCommandLine(const QCommandLineParser& parser);

// True when the arguments ask only for help or the version, which need no display.
bool AsksForInformationOnly(int argc, char** argv);

}  // namespace orvio
