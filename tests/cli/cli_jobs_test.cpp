// orvio-cli's jobs against the simulated gateway, run as a user runs them: the built program as
// a process, over Modbus TCP and over the simulator's pseudo-terminal, with its exit status,
// standard output and standard error apart.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/gateway_sim.h"

namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

struct CliRun {
  int status = -1;  // exit status, or 128 + signal when killed
  std::string out;
  std::string err;
};

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Runs orvio-cli with `args`; `whileRunning` (when given) is called with the child's PID once it
// runs, before its outputs are read to their end. With `terminalErr` standard error is a
// pseudo-terminal.
CliRun Cli(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
           const std::function<void(pid_t)>& whileRunning = {}, const std::string& prefix = {},
           bool terminalErr = false) {
  int out[2], err[2];
  if (::pipe(out) != 0) return {};
  if (terminalErr) {
    if (::openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0) return {};
  } else if (::pipe(err) != 0) {
    return {};
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::close(out[0]);
    ::close(err[0]);
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<std::string> all = Words(prefix);
    all.push_back(ORVIO_CLI_EXE);
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  CliRun run;
  std::thread reader([&] {
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0 && ::poll(fds, 2, -1) > 0) {
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buf[4096];
        const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n <= 0) {
          ::close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        } else {
          (i == 0 ? run.out : run.err).append(buf, static_cast<size_t>(n));
        }
      }
    }
  });
  if (whileRunning) whileRunning(pid);
  reader.join();
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::vector<Json> JsonLines(const std::string& out) {
  std::vector<Json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
  return lines;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void ExpectMeterFields(const Json& m) {
  for (const char* key : {"id", "manufacturer", "value", "unit", "medium", "status", "time"})
    EXPECT_TRUE(m.contains(key) && m[key].is_string()) << key << " in " << m.dump();
  EXPECT_TRUE(m["address"].is_number_integer()) << m.dump();
}

class CliJobs : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    port_ = sim_.StartTcp(0);
    ASSERT_GT(port_, 0);
    pty_ = sim_.StartRtu();
    ASSERT_FALSE(pty_.empty());
    sim_.SetLineTime(20ms);
  }
  // The link of the run: TCP, or the pseudo-terminal (parameter true).
  std::vector<std::string> Link(bool serial) const {
    if (serial) return {"--serial", pty_};
    return {"--tcp", "127.0.0.1:" + std::to_string(port_)};
  }
  std::vector<std::string> Args(const std::string& words, bool serial) const {
    std::vector<std::string> args = Words(words);
    const auto link = Link(serial);
    args.insert(args.begin() + 1, link.begin(), link.end());
    return args;
  }

  orvio::sim::GatewaySim sim_;
  int port_ = 0;
  std::string pty_;
};

INSTANTIATE_TEST_SUITE_P(Links, CliJobs, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Serial" : "Tcp"; });

TEST_P(CliJobs, RegistersAsTableAndJson) {
  CliRun r = Cli(Args("registers --start 32768 --count 3", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no trace asked for, and standard error is no terminal
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Addr. modbus  High  Notes/Decode  Low  Notes/Decode  Time");
  EXPECT_EQ(lines[3].substr(0, 20), "32770         00    ");

  r = Cli(Args("registers --start 55400 --count 2 --holding --json", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto regs = JsonLines(r.out);
  ASSERT_EQ(regs.size(), 2u);
  EXPECT_EQ(regs[0]["address"], 55400);
  EXPECT_EQ(regs[0]["high"], "C0");  // 192.168
  EXPECT_EQ(regs[0]["low"], "A8");
  EXPECT_EQ(regs[1]["value"], 1 * 256 + 100);  // .1.100
  EXPECT_TRUE(regs[1]["time"].is_string());
}

TEST_P(CliJobs, ScanFindsTheMetersOfTheRangeInBothWaitModes) {
  for (const char* waits : {"", " --fixed-waits"}) {
    const CliRun r = Cli(Args(
        std::string("scan --from 2 --to 4 --scan-time 300 --retry 0 --json") + waits, GetParam()));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto meters = JsonLines(r.out);
    ASSERT_EQ(meters.size(), 3u) << r.out;
    for (const Json& m : meters) ExpectMeterFields(m);
    EXPECT_EQ(meters[0]["id"], "23456789");
    EXPECT_EQ(meters[0]["address"], 2);
    EXPECT_EQ(meters[0]["manufacturer"], "SEN");
    EXPECT_EQ(meters[0]["value"], "123.456");
    EXPECT_EQ(meters[0]["unit"], "m3");
    EXPECT_EQ(meters[2]["medium"], "Gas");
  }
  // A silent address is no failure of the gateway; the table has the window's headers.
  const CliRun r = Cli(Args("scan --from 20 --to 21 --scan-time 300 --retry 0", GetParam()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("nothing found"), std::string::npos);
}

TEST_P(CliJobs, ReadFullAddsTheFullDecode) {
  CliRun r = Cli(Args("read --address 3 --full --json --scan-time 300", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto meters = JsonLines(r.out);
  ASSERT_EQ(meters.size(), 1u);
  ExpectMeterFields(meters[0]);
  EXPECT_EQ(meters[0]["id"], "34567890");
  EXPECT_EQ(meters[0]["header"]["manufacturer"], "ABB");
  ASSERT_EQ(meters[0]["records"].size(), 2u);
  EXPECT_EQ(meters[0]["records"][0]["quantity"], "Energy");

  r = Cli(Args("read --address 3 --scan-time 300", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out)[0], "ID        Addr  Mfr  Value     Unit  Medium       Status  Time");

  // A meter that is not there: the job ran, its target did not answer.
  r = Cli(Args("read --address 77 --retry 1 --scan-time 300", GetParam()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

TEST_P(CliJobs, SearchByExactIdReadsThatMeter) {
  const CliRun r =
      Cli(Args("search --pattern 71436587 --scan-time 300 --json --trace", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto meters = JsonLines(r.out);
  ASSERT_EQ(meters.size(), 1u);
  EXPECT_EQ(meters[0]["address"], 9);
  // The trace is the window's memo lines, on standard error only.
  EXPECT_NE(r.err.find("Checking 78563417..."), std::string::npos);
  EXPECT_NE(r.err.find("SENT:"), std::string::npos);
  EXPECT_EQ(r.out.find("SENT:"), std::string::npos);
}

TEST_P(CliJobs, StatusItems) {
  CliRun r = Cli(Args("status --json", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto items = JsonLines(r.out);
  ASSERT_EQ(items.size(), 14u);
  EXPECT_EQ(items[0]["item"], "Active devices");
  EXPECT_EQ(items[0]["value"], "5/10");
  EXPECT_EQ(items[4]["value"], "1.3");
  EXPECT_EQ(items[6]["item"], "IP");
  EXPECT_EQ(items[6]["value"], "192.168.1.100");
  EXPECT_EQ(items[13]["step"], 14);

  r = Cli(Args("status", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out).size(), 15u);
  EXPECT_NE(r.out.find("MASK                             255.255.255.0"), std::string::npos);
}

TEST_P(CliJobs, DevicesAreTheActivatedMeters) {
  CliRun r = Cli(Args("devices --json", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows = JsonLines(r.out);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0]["id"], "12345678");
  EXPECT_EQ(rows[0]["address"], 1);
  EXPECT_EQ(rows[0]["value"], "12345.000");
  EXPECT_EQ(rows[4]["medium"], "H.C.A.");
  // The keys, in this order, are also the site file's (site::DeviceKeys).
  std::vector<std::string> keys;
  const auto row = nlohmann::ordered_json::parse(Lines(r.out)[1]);
  for (const auto& [key, value] : row.items()) keys.push_back(key);
  EXPECT_EQ(keys,
            (std::vector<std::string>{"id", "address", "manufacturer", "medium", "unit", "value",
                                      "t1_value", "t2_value", "t3_value", "t4_value", "status",
                                      "main_vif", "aux_vifs", "tariff_times", "flow"}));

  r = Cli(Args("devices", GetParam()));
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Lines(r.out)[0].substr(0, 40), "ID        Addr  Mfr  Medium       Unit  ");

  sim_.DeactivateDevice(255);
  r = Cli(Args("devices --json", GetParam()));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

// A site file saved from one gateway, compared with and restored into one that forgot it, then
// reported; a file of a newer format is refused before anything is sent.
TEST_P(CliJobs, SiteSaveCompareRestoreAndReport) {
  const std::string dir = ::testing::TempDir() + "/cli-site-" + (GetParam() ? "rtu" : "tcp");
  std::filesystem::create_directories(dir);
  const std::string file = dir + "/plant.site.json";
  CliRun r = Cli(Args("site save " + file + " --name Plant --technician Tech", GetParam()));
  ASSERT_EQ(r.status, 0) << r.err;
  sim_.DeactivateDevice(255);
  sim_.SetHoldingRegister(55400, 0x0A01);
  r = Cli(Args("site compare " + file + " --json", GetParam()));
  EXPECT_EQ(r.status, 1) << r.err;  // as diff: different
  std::map<std::string, Json> rows;
  for (const Json& row : JsonLines(r.out)) rows[row["key"]] = row;
  EXPECT_EQ(rows["ip"]["file"], "192.168.1.100");
  EXPECT_EQ(rows["ip"]["gateway"], "10.1.1.100");
  EXPECT_EQ(rows["device:3"]["gateway"], "");
  EXPECT_EQ(rows.count("working_days"), 0u);
  r = Cli(Args("site restore " + file, GetParam()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(sim_.ActivatedDevices(), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Cli(Args("site compare " + file, GetParam())).status, 0);

  r = Cli(Args("report -o " + dir + "/gateway.pdf --name Plant", GetParam()));
  EXPECT_EQ(r.status, 0) << r.err;
  r = Cli({"report", file, "-o", dir + "/file.pdf"});
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* made : {"/gateway.pdf", "/gateway.csv", "/file.pdf", "/file.csv"})
    EXPECT_TRUE(std::filesystem::exists(dir + made)) << made;

  std::ofstream(dir + "/newer.site.json") << R"({"format": 2})";
  sim_.ClearRequests();
  r = Cli(Args("site restore " + dir + "/newer.site.json", GetParam()));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("newer"), std::string::npos) << r.err;
  EXPECT_TRUE(sim_.Requests().empty());
}

TEST_P(CliJobs, ProgressOnlyOnATerminalAndNeverOnStandardOutput) {
  const std::string scan = "scan --from 1 --to 2 --scan-time 300 --retry 0";
  CliRun r = Cli(Args(scan, GetParam()), {}, {}, {}, /*terminalErr=*/true);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Scan: address 2 of 1..2"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("left"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Scan:"), std::string::npos);
  EXPECT_EQ(Lines(r.out).size(), 3u);
  r = Cli(Args(scan, GetParam()));
  EXPECT_EQ(r.err, "");
}

TEST_P(CliJobs, AGatewayThatFailsIsStatusOne) {
  orvio::sim::Fault silent;
  silent.function = 4;
  silent.count = 0;
  silent.silent = true;
  sim_.InjectFault(silent);
  CliRun r = Cli(Args("registers --start 1 --count 2 --timeout 100", GetParam()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("did not answer"), std::string::npos);
  // The tunnel's status read unanswered: a scan fails too (not merely a silent meter).
  r = Cli(Args("scan --from 1 --to 1 --retry 0 --scan-time 300 --timeout 100", GetParam()));
  EXPECT_EQ(r.status, 1);
  sim_.ClearFaults();

  orvio::sim::Fault exception;
  exception.function = 3;
  exception.count = 0;
  exception.exception = 2;
  sim_.InjectFault(exception);
  r = Cli(Args("registers --start 1 --count 2 --holding --trace", GetParam()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.find("SENT"), std::string::npos);
  r = Cli(Args("status --json", GetParam()));  // the network steps answer exceptions
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(JsonLines(r.out).size(), 6u);
}

TEST_P(CliJobs, InterruptedScanPrintsTheMetersFoundSoFar) {
  for (const int sig : {SIGINT, SIGTERM}) {
    sim_.ClearTunnelLog();
    // Stopped once the tunnel carries the request for address 4: the meters before it are in.
    const auto stopAtFour = [&](pid_t pid) {
      for (int i = 0; i < 2000; ++i) {
        bool atFour = false;
        for (const auto& e : sim_.TunnelLog())
          if (e.request.size() > 2 && static_cast<unsigned char>(e.request[2]) == 4) atFour = true;
        if (atFour) break;
        std::this_thread::sleep_for(10ms);
      }
      ::kill(pid, sig);
    };
    const CliRun r = Cli(Args("scan --json --scan-time 1000", GetParam()), {}, stopAtFour);
    EXPECT_EQ(r.status, sig == SIGINT ? 130 : 143) << r.err;
    const auto meters = JsonLines(r.out);
    ASSERT_GE(meters.size(), 3u);
    ASSERT_LE(meters.size(), 4u);
    EXPECT_EQ(meters[0]["address"], 1);
    EXPECT_EQ(meters[2]["address"], 3);
  }
}

TEST(CliJobsArguments, OutOfRangeIsRefusedWithTheRange) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"scan --tcp 127.0.0.1 --scan-time 299", "--scan-time must be a number 300..9900"},
      {"scan --tcp 127.0.0.1 --retry 10", "--retry must be a number 0..9"},
      {"scan --tcp 127.0.0.1 --from 251", "--from must be a number 0..250"},
      {"scan --tcp 127.0.0.1 --to 256", "--to must be a number 0..255"},
      {"read --tcp 127.0.0.1 --address -1", "--address must be a number 0..250"},
      {"status --tcp 127.0.0.1 --timeout 49", "--timeout must be a number 50..20000"},
      {"status --tcp 127.0.0.1 --unit 0", "--unit must be a number 1..255"},
      {"status --serial /dev/null --baud 1000", "--baud must be one of"},
      {"status --serial /dev/null --parity mark", "--parity must be none, even or odd"},
      {"status --serial /dev/null --stop 3", "--stop must be a number 1..2"},
      {"registers --tcp 127.0.0.1 --start 65536 --count 1", "--start must be a number 0..65535"},
      {"registers --tcp 127.0.0.1 --start 1 --count 126", "--count must be a number 1..125"},
      {"registers --tcp 127.0.0.1 --start 1", "needs --start and --count"},
      {"search --tcp 127.0.0.1 --pattern 1234", "--pattern: eight decimal digits"},
      {"status --tcp 127.0.0.1:70000", "the port must be a number 1..65535"},
      {"status", "give one link"},
      {"status --tcp h --serial /dev/null", "give one link"},
      {"status --tcp 127.0.0.1 --baud 9600", "--baud belongs to a serial link"},
      {"scan --tcp 127.0.0.1 --holding", "Unknown option 'holding'"},
  };
  for (const auto& [args, text] : cases) {
    const CliRun r = Cli(Words(args));
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find(text), std::string::npos) << args << ": " << r.err;
    EXPECT_EQ(r.out, "") << args;
  }
}

TEST(CliJobsArguments, HelpPerJob) {
  for (const char* job : {"registers", "scan", "read", "search", "status", "devices"}) {
    const CliRun r = Cli({job, "--help"});
    EXPECT_EQ(r.status, 0) << job;
    EXPECT_EQ(r.out.rfind(std::string("Usage: orvio-cli ") + job + " LINK", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("--fixed-waits"), std::string::npos);
  }
}

TEST(CliJobsArguments, ProgramLinksNoWidgets) {
  const std::string command = std::string("ldd ") + ORVIO_CLI_EXE;
  FILE* p = ::popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string libraries;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, p)) libraries += buffer;
  ::pclose(p);
  EXPECT_NE(libraries.find("libQt6Core"), std::string::npos);
  EXPECT_EQ(libraries.find("libQt6Widgets"), std::string::npos);
  // Qt Gui lays out the commissioning report (offscreen); nothing of the window comes with it.
}

class CliPorts : public ::testing::Test {
 protected:
  void SetUp() override {
    pty_ = sim_.StartRtu();
    ASSERT_FALSE(pty_.empty());
    lockDir_ =
        std::filesystem::temp_directory_path() / ("orvio-cli-locks-" + std::to_string(::getpid()));
    std::filesystem::create_directories(lockDir_);
  }
  void TearDown() override { std::filesystem::remove_all(lockDir_); }
  std::string LockEnv() const { return "ORVIO_LOCK_DIRS=" + lockDir_.string(); }

  orvio::sim::GatewaySim sim_;
  std::string pty_;
  std::filesystem::path lockDir_;
};

TEST_F(CliPorts, MissingPortSaysSo) {
  const CliRun r = Cli({"status", "--serial", "/dev/orvio-no-such-port"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "orvio-cli status: cannot open /dev/orvio-no-such-port: No such file or directory\n");
  const CliRun tcp = Cli({"status", "--tcp", "127.0.0.1:1"});
  EXPECT_EQ(tcp.status, 2);
  EXPECT_NE(tcp.err.find("cannot connect to 127.0.0.1:1: Connection refused"), std::string::npos);
}

TEST_F(CliPorts, LockedPortNamesTheHolder) {
  // A lock file naming a live process (this test), as another program writes it.
  const std::string name = "LCK.." + pty_.substr(5);  // /dev/pts/N -> LCK..pts_N
  std::string file = name;
  std::replace(file.begin(), file.end(), '/', '_');
  std::ofstream(lockDir_ / file) << "      " << ::getpid() << "\n";
  CliRun r = Cli({"status", "--serial", pty_}, {LockEnv()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("locked by another program (PID " + std::to_string(::getpid()) + ")"),
            std::string::npos)
      << r.err;
  // A lock file of a process that is gone is stale: the port is used.
  std::filesystem::remove(lockDir_ / file);
  std::ofstream(lockDir_ / file) << "  999999999\n";
  r = Cli({"status", "--serial", pty_, "--json"}, {LockEnv()});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CliPorts, PortHeldByAnotherProgramIsBusy) {
  const int fd = ::open(pty_.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const CliRun r = Cli({"status", "--serial", pty_}, {LockEnv()});
  ::close(fd);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("in use by another program"), std::string::npos) << r.err;
}

TEST_F(CliPorts, UnreadablePortGivesTheDialoutHint) {
  std::string prefix;
  if (::geteuid() == 0) {
    // Root opens any device: run the program as an unprivileged user instead.
    if (::system("command -v setpriv >/dev/null 2>&1") != 0) GTEST_SKIP() << "no setpriv";
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
  } else {
    ASSERT_EQ(::chmod(pty_.c_str(), 0), 0);
  }
  const CliRun r = Cli({"status", "--serial", pty_}, {LockEnv()}, {}, prefix);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("dialout"), std::string::npos) << r.err;
}

// Every example of the jobs in the man page and the manual runs against the simulator, with the
// simulator's link put in place of the example's.
std::vector<std::string> Examples(const std::string& path, const std::string& start) {
  std::ifstream in(path);
  std::vector<std::string> found;
  static const std::regex job(
      "^\\s*orvio-cli (registers|scan|read|search|status|devices|site|report) .*");
  for (std::string line; std::getline(in, line);) {
    std::string text = std::regex_replace(line, std::regex("\\\\-"), "-");
    if (text.rfind(start, 0) != 0 && start != "") continue;
    if (std::regex_match(text, job)) found.push_back(text);
  }
  return found;
}

TEST_F(CliPorts, DocumentedExamplesRun) {
  const int port = sim_.StartTcp(0);
  ASSERT_GT(port, 0);
  sim_.SetLineTime(20ms);
  const std::string root = ORVIO_SOURCE_DIR;
  std::vector<std::string> examples = Examples(root + "/packaging/man/orvio-cli.1", "");
  const auto manual = Examples(root + "/docs/manual/UsrMan.md", "    ");
  examples.insert(examples.end(), manual.begin(), manual.end());
  ASSERT_GE(examples.size(), 12u);  // one per job in each
  // The site examples write their files where they run.
  const auto cwd = std::filesystem::current_path();
  const std::string scratch = ::testing::TempDir() + "/cli-examples";
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);
  for (const std::string& example : examples) {
    std::string text = example.substr(example.find("orvio-cli") + 10);
    text = text.substr(0, text.find('#'));
    text = std::regex_replace(text, std::regex("--tcp \\S+"),
                              "--tcp 127.0.0.1:" + std::to_string(port));
    text = std::regex_replace(text, std::regex("--serial \\S+"), "--serial " + pty_);
    const CliRun r = Cli(Words(text), {LockEnv()});
    EXPECT_EQ(r.status, 0) << example << "\n" << r.err;
    EXPECT_NE(r.out, "") << example;
  }
  std::filesystem::current_path(cwd);
}

}  // namespace
