// orvio-gateway-sim: the simulated ZELK gateway for people (and for scripts).
//
//   orvio-gateway-sim --tcp PORT [--rtu] [--scenario FILE] [--unit N] ...
//
// It prints "tcp 127.0.0.1:PORT" and, with --rtu, "rtu PATH" as soon as it listens, then serves
// until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "sim/gateway_sim.h"

namespace {

constexpr const char* kUsage =
    "usage: orvio-gateway-sim [--tcp PORT] [--rtu] [--serial DEVICE [--baud N] [--parity N|E|O]]\n"
    "                         [--scenario FILE] [--unit N] [--line-time MS] [--fault SPEC]...\n"
    "  --tcp PORT       Modbus TCP on 127.0.0.1:PORT (0 picks a free port)\n"
    "  --rtu            Modbus RTU on a new pseudo-terminal (its path is printed)\n"
    "  --serial DEVICE  Modbus RTU on a serial device instead\n"
    "  --scenario FILE  gateway, meters and activated devices (JSON); default: the demo line\n"
    "  --unit N         Modbus unit address (default 1)\n"
    "  --line-time MS   time the M-Bus line takes for a tunnelled request (default 200)\n"
    "  --fault SPEC     fault for matching requests, comma-separated items:\n"
    "                   silent | late=MS | crc | zero | filler | exception=CODE | unit=N |\n"
    "                   split=PARTS[:MS] | bytewise[:MS] | drop, and to choose requests:\n"
    "                   fc=FUNCTION, addr=REGISTER, count=N (default: every matching request)\n";

bool ToInt(const std::string& text, long min, long max, long* out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || v < min || v > max) return false;
  *out = v;
  return true;
}

bool ParseFault(const std::string& spec, orvio::sim::Fault* fault) {
  fault->count = 0;
  size_t start = 0;
  while (start <= spec.size()) {
    const size_t comma = spec.find(',', start);
    const std::string item =
        spec.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    start = comma == std::string::npos ? spec.size() + 1 : comma + 1;
    const size_t eq = item.find_first_of("=:");
    const std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    long n = 0, ms = 20;
    const auto parts = [&](const std::string& text, long* count) {
      const size_t colon = text.find(':');
      if (colon != std::string::npos && !ToInt(text.substr(colon + 1), 0, 60000, &ms)) return false;
      return ToInt(text.substr(0, colon), 2, 1000, count);
    };
    if (key == "silent" && value.empty()) {
      fault->silent = true;
    } else if (key == "late" && ToInt(value, 0, 600000, &n)) {
      fault->delay_ms = static_cast<int>(n);
    } else if (key == "crc" && value.empty()) {
      fault->bad_crc = true;
    } else if (key == "zero" && value.empty()) {
      fault->leading_zero = true;
    } else if (key == "filler" && value.empty()) {
      fault->trailing_filler = true;
    } else if (key == "exception" && ToInt(value, 1, 255, &n)) {
      fault->exception = static_cast<int>(n);
    } else if (key == "unit" && ToInt(value, 0, 255, &n)) {
      fault->other_unit = static_cast<int>(n);
    } else if (key == "split" && parts(value, &n)) {
      fault->split_parts = static_cast<int>(n);
      fault->split_delay_ms = static_cast<int>(ms);
    } else if (key == "bytewise" && (value.empty() || ToInt(value, 0, 60000, &ms))) {
      fault->split_parts = 1000;
      fault->split_delay_ms = static_cast<int>(ms);
    } else if (key == "drop" && value.empty()) {
      fault->drop_connection = true;
    } else if (key == "fc" && ToInt(value, 1, 255, &n)) {
      fault->function = static_cast<int>(n);
    } else if (key == "addr" && ToInt(value, 0, 65535, &n)) {
      fault->address = static_cast<int>(n);
    } else if (key == "count" && ToInt(value, 0, 1000000, &n)) {
      fault->count = static_cast<int>(n);
    } else {
      return false;
    }
  }
  return true;
}

int Fail(const std::string& message) {
  std::cerr << "orvio-gateway-sim: " << message << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long tcp_port = -1, unit = -1, line_time = -1, baud = 9600;
  bool rtu = false;
  std::string scenario, serial;
  char parity = 'N';
  std::vector<orvio::sim::Fault> faults;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--tcp") {
      if (!ToInt(next(), 0, 65535, &tcp_port)) return Fail("--tcp needs a port 0..65535");
    } else if (arg == "--rtu") {
      rtu = true;
    } else if (arg == "--serial") {
      serial = next();
      if (serial.empty()) return Fail("--serial needs a device");
    } else if (arg == "--baud") {
      if (!ToInt(next(), 300, 4000000, &baud)) return Fail("--baud needs a speed");
    } else if (arg == "--parity") {
      const std::string p = next();
      if (p != "N" && p != "E" && p != "O") return Fail("--parity is N, E or O");
      parity = p[0];
    } else if (arg == "--scenario") {
      scenario = next();
      if (scenario.empty()) return Fail("--scenario needs a file");
    } else if (arg == "--unit") {
      if (!ToInt(next(), 0, 254, &unit)) return Fail("--unit needs an address 0..254");
    } else if (arg == "--line-time") {
      if (!ToInt(next(), 0, 60000, &line_time)) return Fail("--line-time needs 0..60000 ms");
    } else if (arg == "--fault") {
      orvio::sim::Fault fault;
      const std::string spec = next();
      if (!ParseFault(spec, &fault)) return Fail("bad --fault \"" + spec + "\"");
      faults.push_back(fault);
    } else {
      return Fail("unknown option " + arg);
    }
  }
  if (tcp_port < 0 && !rtu && serial.empty())
    return Fail("nothing to serve: give --tcp, --rtu or --serial");
  if (rtu && !serial.empty()) return Fail("--rtu and --serial exclude each other");

  // Signals are taken by sigwait below; every serving thread inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  orvio::sim::GatewaySim sim;
  if (!scenario.empty()) {
    const std::string error = sim.LoadScenarioFile(scenario);
    if (!error.empty()) {
      std::cerr << "orvio-gateway-sim: " << error << "\n";
      return 1;
    }
  }
  if (unit >= 0) sim.SetUnitAddress(static_cast<uint8_t>(unit));
  if (line_time >= 0) sim.SetLineTime(std::chrono::milliseconds(line_time));
  for (const auto& fault : faults) sim.InjectFault(fault);

  if (tcp_port >= 0) {
    const int port = sim.StartTcp(static_cast<int>(tcp_port));
    if (port < 0) {
      std::cerr << "orvio-gateway-sim: cannot listen on 127.0.0.1:" << tcp_port << ": "
                << std::strerror(errno) << "\n";
      return 1;
    }
    std::printf("tcp 127.0.0.1:%d\n", port);
  }
  if (rtu) {
    const std::string path = sim.StartRtu();
    if (path.empty()) {
      std::cerr << "orvio-gateway-sim: cannot create a pseudo-terminal\n";
      return 1;
    }
    std::printf("rtu %s\n", path.c_str());
  }
  if (!serial.empty()) {
    if (!sim.StartRtuOnDevice(serial, static_cast<int>(baud), parity)) {
      std::cerr << "orvio-gateway-sim: cannot open " << serial << ": " << std::strerror(errno)
                << "\n";
      return 1;
    }
    std::printf("rtu %s\n", serial.c_str());
  }
  std::fflush(stdout);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  sim.Stop();
  return 0;
}
