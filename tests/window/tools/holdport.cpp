// Holds a serial port open the way Orvio holds it (QSerialPort, with its lock file) until its
// standard input closes. Prints "held" once the port is open.
#include <QCoreApplication>
#include <QSerialPort>
#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  QSerialPort port;
  port.setPortName(argv[1]);
  if (!port.open(QIODevice::ReadWrite)) {
    std::printf("failed\n");
    std::fflush(stdout);
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  return 0;
}
