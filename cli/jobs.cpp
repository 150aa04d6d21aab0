#include "cli/jobs.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTime>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "cli/decode_command.h"
#include "cli/job_link.h"
#include "core/gateway/device_map.h"
#include "core/gateway/register_map.h"
#include "core/gateway/status_readout.h"
#include "core/mbus/full_decode.h"
#include "core/mbus/full_report.h"
#include "core/mbus/records.h"
#include "core/mbus/requests.h"
#include "core/mbus/secondary_search.h"
#include "core/mbus/telegram.h"
#include "core/mbus/tunnel.h"
#include "core/modbus/registers.h"
#include "core/progress/progress.h"
#include "core/settings/atomic_file.h"
#include "core/settings/control_ranges.h"
#include "core/site/site_file.h"
#include "core/tables/device_table.h"
#include "core/tables/meter_placement.h"
#include "core/tables/table_headers.h"
#include "core/text/columns.h"
#include "engine/gateway_jobs.h"
#include "engine/site_jobs.h"
#include "report/commissioning_report.h"

namespace orvio::cli {

namespace {

using Json = nlohmann::ordered_json;
using Table = std::vector<std::vector<std::string>>;

// ---- usage ----

constexpr char kLinkUsage[] =
    "LINK:\n"
    "  --tcp HOST[:PORT]     Modbus TCP (port 502 when left out)\n"
    "  --serial PATH         Modbus RTU on a serial port (COM1, ttyUSB0 or a path)\n"
    "    --baud N            300..115200 (default 9600)\n"
    "    --parity P          none, even or odd (default none)\n"
    "    --stop N            stop bits 1 or 2 (default 1)\n"
    "  --unit N              the gateway's Modbus address 1..255 (default 1)\n"
    "  --timeout MS          Modbus time-out 50..20000 (default 600)\n"
    "  --fixed-waits         every Modbus wait runs its whole time-out (default: a wait ends\n"
    "                        when its answer is complete)\n"
    "  --json                one JSON object per line\n"
    "  --trace               the trace lines (requests, answers, checks) on standard error\n"
    "Exit status: 0 the job ran to its end, 1 the gateway did not answer or an answer failed\n"
    "its checks, 2 unusable arguments or link, 130 / 143 stopped by SIGINT / SIGTERM.\n";

struct JobInfo {
  const char* name;
  const char* usage;
};

const std::map<std::string, JobInfo>& Jobs() {
  static const std::map<std::string, JobInfo> kJobs = {
      {"registers",
       {"registers",
        "Usage: orvio-cli registers LINK --start N --count N [--holding] [--json]\n"
        "  Reads N registers from --start (0..65535; count 1..125): input registers, or holding\n"
        "  registers with --holding. One row per register: address, high and low byte, time.\n"}},
      {"scan",
       {"scan",
        "Usage: orvio-cli scan LINK [--from 1] [--to 250] [--scan-time MS] [--retry N] [--json]\n"
        "  Asks every primary address from --from (0..250) to --to (0..255) for its data\n"
        "  through the gateway's tunnel (REQ_UD2), with up to --retry (0..9, default 2) repeats\n"
        "  of a silent address, each waiting --scan-time (300..9900, default 1000) for the\n"
        "  meter. One row per meter that answered.\n"}},
      {"read",
       {"read",
        "Usage: orvio-cli read LINK --address A [--full] [--scan-time MS] [--retry N] [--json]\n"
        "  Reads the meter at primary address A (0..250), with up to --retry repeats.\n"
        "  --full  adds the telegram's header and records by the full EN 13757-3 rules (the\n"
        "          fields of orvio-cli decode --full)\n"}},
      {"search",
       {"search",
        "Usage: orvio-cli search LINK [--pattern FFFFFFFF] [--scan-time MS] [--retry N] [--json]\n"
        "  Finds meters by their secondary address: FFFFFFFF (the default) searches the whole\n"
        "  line digit by digit, eight decimal digits read that one meter. --retry (at least 1)\n"
        "  repeats a silent selection.\n"}},
      {"status",
       {"status",
        "Usage: orvio-cli status LINK [--json]\n"
        "  The gateway's status readout: active devices, M-Bus flags, working days, the\n"
        "  active-device bitmap, card version, identification and network settings.\n"}},
      {"devices",
       {"devices",
        "Usage: orvio-cli devices LINK [--json]\n"
        "  Reads back the gateway's map of activated devices, one row per device.\n"}},
      {"site",
       {"site",
        "Usage: orvio-cli site save|compare|restore LINK FILE [--json]\n"
        "  save     reads the gateway (status readout and device map) into the site file FILE;\n"
        "           --name, --notes and --technician fill in the site\n"
        "  compare  reads the gateway and lists every setting and device that differs from FILE\n"
        "           (one JSON object per difference with --json); exit 0 the same, 1 different,\n"
        "           2 trouble, as diff has it\n"
        "  restore  writes FILE into the gateway (network settings, flags, the settings written\n"
        "           from the window, the activated devices), then compares again\n"}},
      {"report",
       {"report",
        "Usage: orvio-cli report LINK|FILE -o REPORT.pdf [--name N] [--notes T]\n"
        "                        [--technician T]\n"
        "  Writes the commissioning report of the gateway read now (LINK) or of a site file\n"
        "  (FILE) as a PDF, and the same data as CSV beside it (REPORT.csv).\n"}},
  };
  return kJobs;
}

// ---- stopping on SIGINT / SIGTERM ----

int g_signalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int sig) {
  const char c = static_cast<char>(sig);
  const int saved = errno;
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
  errno = saved;
}

// ---- output ----

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
    text.pop_back();
  return text;
}

template <size_t N>
std::vector<std::string> HeaderRow(const std::array<const char*, N>& headers) {
  std::vector<std::string> row;
  for (const char* h : headers) row.push_back(Trimmed(h));
  return row;
}

std::string TimeText() { return QTime::currentTime().toString("HH:mm:ss").toStdString(); }

// The progress line on standard error, shown only while standard error is a terminal.
class ProgressView {
 public:
  ProgressView() : tty_(::isatty(STDERR_FILENO) == 1) {}
  void Start(const std::string& name) {
    job_ = {};
    job_.name = name;
    clock_.start();
  }
  void Report(const progress::Report& report) {
    progress::Apply(job_, report, static_cast<double>(clock_.elapsed()));
    if (!tty_) return;
    std::cerr << "\r\033[K" << progress::ProgressLine(job_, static_cast<double>(clock_.elapsed()))
              << std::flush;
    shown_ = true;
  }
  void Clear() {
    if (!shown_) return;
    std::cerr << "\r\033[K" << std::flush;
    shown_ = false;
  }

 private:
  bool tty_;
  bool shown_ = false;
  progress::JobState job_;
  QElapsedTimer clock_;
};

class StderrTrace : public Trace {
 public:
  StderrTrace(bool on, ProgressView& progress) : on_(on), progress_(progress) {}
  void Line(const std::string& line) override {
    if (!on_) return;
    progress_.Clear();
    std::string text = line;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    for (char& c : text)
      if (c == '\r') c = ' ';
    std::cerr << Latin1ToUtf8(text) << "\n";
  }
  void Lines(const std::vector<std::string>& lines) {
    for (const std::string& l : lines) Line(l);
  }

 private:
  bool on_;
  ProgressView& progress_;
};

// ---- arguments ----

struct Refusal {
  std::string text;
};

int NumberOption(const QCommandLineParser& p, const char* name, ControlRange range, int fallback) {
  if (!p.isSet(name)) return fallback;
  bool ok = false;
  const QString text = p.value(name).trimmed();
  const long long v = text.toLongLong(&ok);
  if (!ok || v < range.min || v > range.max)
    throw Refusal{std::string("--") + name + " must be a number " + std::to_string(range.min) +
                  ".." + std::to_string(range.max) + " (not \"" + text.toStdString() + "\")"};
  return static_cast<int>(v);
}

struct Options {
  std::string job;
  bool json = false;
  bool trace = false;
  bool fixedWaits = false;
  std::optional<std::string> tcpHost;
  uint16_t tcpPort = 502;
  std::optional<SerialSettings> serial;
  int unit = 1;
  int timeoutMs = 600;
  // job options
  int start = 0, count = 0;
  bool holding = false;
  int from = 1, to = 250;
  int scanTimeMs = 1000, retry = 2;
  int address = 0;
  bool full = false;
  std::string pattern = kWildcardIdText;
  // site and report
  std::string action;  // save, compare or restore
  std::string file;    // the site file
  std::string output;  // the report's PDF
  std::string name, notes, technician;
  bool hasLink = true;
};

Options ParseOptions(const QStringList& args, const std::string& job, bool* help) {
  QCommandLineParser p;
  p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  p.addOptions({{"help", ""},
                {"json", ""},
                {"trace", ""},
                {"fixed-waits", ""},
                {"tcp", "", "HOST"},
                {"serial", "", "PATH"},
                {"baud", "", "N"},
                {"parity", "", "P"},
                {"stop", "", "N"},
                {"unit", "", "N"},
                {"timeout", "", "MS"}});
  if (job == "registers") p.addOptions({{"start", "", "N"}, {"count", "", "N"}, {"holding", ""}});
  if (job == "scan") p.addOptions({{"from", "", "A"}, {"to", "", "A"}});
  if (job == "scan" || job == "read" || job == "search")
    p.addOptions({{"scan-time", "", "MS"}, {"retry", "", "N"}});
  if (job == "read") p.addOptions({{"address", "", "A"}, {"full", ""}});
  if (job == "search") p.addOption({"pattern", "", "ID"});
  if (job == "site" || job == "report")
    p.addOptions({{"name", "", "N"}, {"notes", "", "T"}, {"technician", "", "T"}});
  if (job == "report") p.addOption({{"o", "output"}, "", "PDF"});
  if (!p.parse(args)) throw Refusal{p.errorText().toStdString()};
  *help = p.isSet("help");
  Options o;
  o.job = job;
  if (*help) return o;
  QStringList positional = p.positionalArguments();
  if (job == "site") {
    if (positional.size() != 2)
      throw Refusal{"site needs an action (save, compare, restore) and FILE"};
    o.action = positional.takeFirst().toStdString();
    if (o.action != "save" && o.action != "compare" && o.action != "restore")
      throw Refusal{"unknown action \"" + o.action + "\" (save, compare or restore)"};
    o.file = positional.takeFirst().toStdString();
  }
  if (job == "report") {
    if (!p.isSet("output")) throw Refusal{"report needs -o REPORT.pdf"};
    o.output = p.value("output").toStdString();
    if (!positional.isEmpty()) o.file = positional.takeFirst().toStdString();
  }
  if (!positional.isEmpty())
    throw Refusal{"unexpected argument \"" + positional.first().toStdString() + "\""};
  if (job == "site" || job == "report") {
    o.name = p.value("name").toStdString();
    o.notes = p.value("notes").toStdString();
    o.technician = p.value("technician").toStdString();
  }
  o.json = p.isSet("json");
  o.trace = p.isSet("trace");
  o.fixedWaits = p.isSet("fixed-waits");
  if (job == "report" && !o.file.empty()) {
    if (p.isSet("tcp") || p.isSet("serial")) throw Refusal{"give a link or a site file, not both"};
    o.hasLink = false;
    return o;
  }
  if (p.isSet("tcp") == p.isSet("serial")) throw Refusal{"give one link: --tcp or --serial"};
  if (p.isSet("tcp")) {
    QString host = p.value("tcp").trimmed();
    const int colon = host.lastIndexOf(':');
    if (colon >= 0 && host.count(':') == 1) {
      bool ok = false;
      const int port = host.mid(colon + 1).toInt(&ok);
      if (!ok || port < 1 || port > 65535)
        throw Refusal{"--tcp: the port must be a number 1..65535 (not \"" +
                      host.mid(colon + 1).toStdString() + "\")"};
      o.tcpPort = static_cast<uint16_t>(port);
      host = host.left(colon);
    }
    if (host.isEmpty()) throw Refusal{"--tcp needs a host"};
    o.tcpHost = host.toStdString();
    for (const char* serialOnly : {"baud", "parity", "stop"})
      if (p.isSet(serialOnly))
        throw Refusal{std::string("--") + serialOnly + " belongs to a serial link"};
  } else {
    SerialSettings s;
    s.path = p.value("serial").toStdString();
    if (s.path.empty()) throw Refusal{"--serial needs a port"};
    s.baud = NumberOption(p, "baud", {300, 115200}, 9600);
    static const std::vector<int> kBauds = {300,   1200,  2400,  4800,  9600,
                                            19200, 38400, 57600, 115200};
    if (std::find(kBauds.begin(), kBauds.end(), s.baud) == kBauds.end())
      throw Refusal{"--baud must be one of 300 1200 2400 4800 9600 19200 38400 57600 115200"};
    const QString parity = p.value("parity").toLower();
    if (!p.isSet("parity") || parity == "none")
      s.parity = QSerialPort::NoParity;
    else if (parity == "even")
      s.parity = QSerialPort::EvenParity;
    else if (parity == "odd")
      s.parity = QSerialPort::OddParity;
    else
      throw Refusal{"--parity must be none, even or odd"};
    const int stop = NumberOption(p, "stop", {1, 2}, 1);
    s.stop = stop == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
    o.serial = s;
  }
  o.unit = NumberOption(p, "unit", control_range::kModbusAddress, 1);
  o.timeoutMs = NumberOption(p, "timeout", control_range::kModbusTimeout, 600);
  if (job == "registers") {
    if (!p.isSet("start") || !p.isSet("count"))
      throw Refusal{"registers needs --start and --count"};
    o.start = NumberOption(p, "start", {0, 65535}, 0);
    o.count = NumberOption(p, "count", {1, 125}, 1);
    o.holding = p.isSet("holding");
  }
  if (job == "scan") {
    o.from = NumberOption(p, "from", control_range::kSearchFrom, 1);
    o.to = NumberOption(p, "to", control_range::kSearchTo, 250);
    if (o.to < o.from) std::swap(o.from, o.to);  // as the window swaps its two boxes
  }
  if (job == "scan" || job == "read" || job == "search") {
    o.scanTimeMs = NumberOption(p, "scan-time", control_range::kMbusTimeout, 1000);
    o.retry = NumberOption(p, "retry", control_range::kRetry, 2);
  }
  if (job == "read") {
    if (!p.isSet("address")) throw Refusal{"read needs --address"};
    o.address = NumberOption(p, "address", control_range::kSearchFrom, 0);
    o.full = p.isSet("full");
  }
  if (job == "search" && p.isSet("pattern")) {
    o.pattern = p.value("pattern").toUpper().toStdString();
    if (ClassifyIdText(o.pattern) == IdRequest::kWrong)
      throw Refusal{"--pattern: eight decimal digits, or FFFFFFFF for the whole line"};
  }
  return o;
}

// ---- the jobs ----

// What a job hands back: the rows it found (also when stopped) and whether the gateway failed.
struct JobContext {
  const Options& o;
  JobLink& link;
  StderrTrace& trace;
  ProgressView& progress;
  bool failed = false;  // no answer, or an answer that failed its checks
  std::vector<Json> rows;
  Table table;  // plain output: the header row, then one row per item
  std::string afterTable;
  std::string unusable;  // why the job could not be done (exit 2), e.g. a damaged site file
  int exitStatus = -1;   // the job's own exit status when it has one (site compare, as diff)
};

// Placed meter rows of the M-Bus table, as JSON objects and table rows.
Json MeterJson(const MemoryGrid& grid, int row) {
  Json j;
  j["id"] = grid.Cell(0, row);
  int address = -1;
  try {
    address = std::stoi(grid.Cell(1, row));
  } catch (...) {
  }
  j["address"] = address;
  j["manufacturer"] = grid.Cell(2, row);
  j["value"] = grid.Cell(3, row);
  j["unit"] = grid.Cell(4, row);
  j["medium"] = grid.Cell(5, row);
  j["status"] = grid.Cell(6, row);
  j["time"] = grid.Cell(7, row);
  return j;
}

void MeterRows(JobContext& c, const MemoryGrid& grid) {
  c.table.push_back(HeaderRow(kMeterTableHeaders));
  for (int row = 1; row < grid.RowCount(); ++row) {
    if (grid.Cell(0, row).empty() && grid.Cell(1, row).empty()) continue;  // the open row
    c.rows.push_back(MeterJson(grid, row));
    std::vector<std::string> cells;
    for (int col = 0; col < grid.ColCount(); ++col) cells.push_back(grid.Cell(col, row));
    c.table.push_back(std::move(cells));
  }
}

// The meters' table, as the window's gridLoops.
MemoryGrid MeterGrid() {
  MemoryGrid grid(static_cast<int>(kMeterTableHeaders.size()), 2);
  for (size_t col = 0; col < kMeterTableHeaders.size(); ++col)
    grid.SetCell(static_cast<int>(col), 0, kMeterTableHeaders[col]);
  return grid;
}

// The telegram of a tunnel transaction's answer, checked; empty when the answer failed.
ByteString TakeTelegram(JobContext& c, const TunnelResult& r) {
  TunnelledTelegram t =
      ExtractTunnelledTelegram(r.answer, 2 * static_cast<size_t>(r.registerCount));
  if (t.check.memoLine) c.trace.Line(*t.check.memoLine);
  if (!t.check.ok()) c.failed = true;
  return t.telegram;
}

// Decodes a telegram into the trace and places its row; false when it did not decode.
bool PlaceTelegram(JobContext& c, MemoryGrid& grid, const ByteString& telegram, MeterPlacement rule,
                   std::vector<int>* rows = nullptr) {
  c.trace.Line(kTelegramDecodeLine);
  TelegramDecode d = DecodeTelegram(telegram, '.');
  c.trace.Lines(d.trace);
  if (!d.decoded) return false;
  MeterSummary summary = d.summary;
  for (std::string& cell : summary) cell = Latin1ToUtf8(cell);
  summary[7] = TimeText();
  const PlacementResult placed = PlaceMeterSummary(grid, summary, rule);
  if (rows) *rows = placed.rows;
  return true;
}

TunnelSetup Setup(const JobContext& c, int scanMs, int answerMs, TunnelTrace trace) {
  TunnelSetup s;
  s.unit = static_cast<uint8_t>(c.o.unit);
  s.scanWaitMs = scanMs;
  s.answerWaitMs = answerMs;
  s.trace = trace;
  s.sendOnlyWithLink = true;
  return s;
}

// One REQ_UD2 attempt; true when a meter's telegram decoded and was placed.
bool ReadAttempt(JobContext& c, MemoryGrid& grid, int address, bool alternate, MeterPlacement rule,
                 ByteString* telegram = nullptr, bool* answered = nullptr) {
  const TunnelResult r =
      c.link.Tunnel(ReqUd2Frame(static_cast<uint8_t>(address), alternate),
                    Setup(c, c.o.scanTimeMs, c.link.TimeoutMs(), TunnelTrace::kReceived));
  if (answered) *answered = r.end == TunnelResult::End::kAnswer;
  if (r.end == TunnelResult::End::kNoStatus && c.link.StatusReadFailed()) c.failed = true;
  if (r.end == TunnelResult::End::kNoAnswer) c.failed = true;  // announced, then not read
  if (r.end != TunnelResult::End::kAnswer) return false;
  const ByteString t = TakeTelegram(c, r);
  if (t.empty()) return false;
  if (telegram) *telegram = t;
  return PlaceTelegram(c, grid, t, rule);
}

progress::Waits WaitsOf(const Options& o) { return {o.scanTimeMs, o.timeoutMs, o.retry}; }

void ScanJob(JobContext& c) {
  MemoryGrid grid = MeterGrid();
  int address = c.o.from, retries = 0, found = 0;
  c.progress.Start("Scan");
  c.progress.Report(progress::ScanReport(WaitsOf(c.o), c.o.from, c.o.to, address, 0, false, 0));
  while (!c.link.Stopped()) {
    bool answered = false;
    const bool placed =
        ReadAttempt(c, grid, address, false, MeterPlacement::kAppend, nullptr, &answered);
    if (c.link.Stopped()) break;
    if (placed) ++found;
    const ScanStep next = NextScanStep(address, retries, !placed, c.o.retry, c.o.to);
    c.progress.Report(progress::ScanReport(WaitsOf(c.o), c.o.from, c.o.to, next.address,
                                           next.retries, answered, found));
    if (next.done) break;
    address = next.address;
    retries = next.retries;
  }
  MeterRows(c, grid);
}

void ReadJob(JobContext& c) {
  MemoryGrid grid = MeterGrid();
  ByteString telegram;
  bool placed = false;
  c.progress.Start("Read");
  // The first request is 0x7B, as the window's read; its repeats too (0x5B not chosen).
  for (int attempt = 0; attempt <= c.o.retry && !c.link.Stopped(); ++attempt) {
    c.progress.Report(progress::SingleReadReport(WaitsOf(c.o), c.o.address, attempt));
    placed = ReadAttempt(c, grid, c.o.address, false, MeterPlacement::kAppend, &telegram);
    if (placed) break;
  }
  if (!placed && !c.link.Stopped()) c.failed = true;
  MeterRows(c, grid);
  if (!c.o.full || !placed) return;
  const FullDecode full = DecodeFull(telegram);
  const Json fj = FullDecodeJson(full);
  for (Json& row : c.rows) {
    row["header"] = fj["header"];
    row["records"] = fj["records"];
  }
  c.afterTable = FullText(full);
}

void SearchJob(JobContext& c) {
  MemoryGrid grid = MeterGrid();
  const int retry = std::max(1, c.o.retry);  // as the window: a search repeats at least once
  const progress::Waits waits{progress::WorkerWaitMs(c.o.scanTimeMs, 10), 0, retry};
  const int waitMs = waits.scanTimeMs;
  int selections = 0, found = 0, waitsSinceReport = 0;
  const auto transact = [&](const ByteString& telegram) {
    const TunnelResult r = c.link.Tunnel(telegram, Setup(c, waitMs, waitMs, TunnelTrace::kTaken));
    switch (r.end) {
      case TunnelResult::End::kStopped: waitsSinceReport += 1; return ByteString();
      case TunnelResult::End::kNoStatus:
        waitsSinceReport += 2;
        if (c.link.StatusReadFailed()) c.failed = true;
        return ByteString();
      case TunnelResult::End::kNoAnswer: waitsSinceReport += 3; return ByteString();
      case TunnelResult::End::kAnswer: waitsSinceReport += 3; break;
    }
    return TakeTelegram(c, r);
  };
  const auto readSelected = [&] {
    const ByteString t = transact(ReqUd2Frame(kSelectedMeterAddress));
    if (t.empty()) return false;
    const bool placed = PlaceTelegram(c, grid, t, MeterPlacement::kMatchId);
    found += placed ? 1 : 0;
    return placed;
  };
  c.progress.Start("Search");
  if (ClassifyIdText(c.o.pattern) == IdRequest::kExact) {
    const SearchDigitArray digits = *SearchDigitsFromId(c.o.pattern);
    c.progress.Report(progress::ExactSearchReport(c.o.pattern, waits));
    c.trace.Line(CheckingLine(digits));
    bool selected = false;
    for (int attempt = 0; attempt <= retry && !selected && !c.link.Stopped(); ++attempt)
      selected = !transact(SelectionTelegram(digits)).empty();
    if (selected) readSelected();
    if (!c.link.Stopped()) transact(SndNkeFrame(kSelectedMeterAddress));
  } else {
    SearchSteps steps{
        [&] { return c.link.Stopped(); },
        [&](const SearchDigitArray& d) {
          c.trace.Line(CheckingLine(d));
          c.progress.Report(progress::SearchReport(d, waits, selections, found, waitsSinceReport));
          waitsSinceReport = 0;
        },
        [&](const SearchDigitArray& d) {
          ++selections;
          return !transact(SelectionTelegram(d)).empty();
        },
        readSelected,
    };
    WildcardSearch(1, retry, steps);
  }
  MeterRows(c, grid);
}

bool CheckedAnswer(JobContext& c, const ByteString& answer, CheckForm form, AnswerCheck* check) {
  if (answer.empty()) {
    c.failed = true;
    return false;
  }
  *check = ValidateAnswer(answer, form);
  if (check->memoLine) c.trace.Line(*check->memoLine);
  if (!check->ok()) c.failed = true;
  return check->ok();
}

void RegistersJob(JobContext& c) {
  c.progress.Start("Registers");
  const GatewayRequest request =
      c.o.holding ? ReadHolding(static_cast<uint16_t>(c.o.start), static_cast<uint16_t>(c.o.count))
                  : ReadInput(static_cast<uint16_t>(c.o.start), static_cast<uint16_t>(c.o.count));
  const ByteString answer = c.link.Request(request);
  c.table.push_back(HeaderRow(kRegisterTableHeaders));
  AnswerCheck check;
  if (CheckedAnswer(c, answer, CheckForm::kFull, &check)) {
    MemoryGrid grid(static_cast<int>(kRegisterTableHeaders.size()), 2);
    const auto registers = ReadAnswerRegisters(answer, check);
    AddRegisterRows(grid, registers, 1, c.o.start, TimeText());
    for (size_t i = 0; i < registers.size(); ++i) {
      const int row = static_cast<int>(i) + 1;
      Json j;
      j["address"] = c.o.start + static_cast<int>(i);
      j["high"] = grid.Cell(kRegisterHighCol, row);
      j["low"] = grid.Cell(kRegisterLowCol, row);
      j["value"] = registers[i].hi * 256 + registers[i].lo;
      j["time"] = grid.Cell(kRegisterTimeCol, row);
      c.rows.push_back(std::move(j));
      std::vector<std::string> cells;
      for (int col = 0; col < grid.ColCount(); ++col) cells.push_back(grid.Cell(col, row));
      c.table.push_back(std::move(cells));
    }
    if (registers.size() < static_cast<size_t>(c.o.count)) c.failed = true;
  }
  c.trace.Line(UnmdLine(answer));
}

void StatusJob(JobContext& c) {
  c.progress.Start("Status");
  c.table.push_back({"Step", "Item", "Value"});
  std::vector<GatewayRequest> requests;
  for (const StatusStepSpec& spec : StatusSteps()) requests.push_back(spec.request);
  const auto stepAnswered = [&](size_t index, const ByteString& answer) {
    const int step = static_cast<int>(index) + 1;
    const StatusStepSpec* spec = StatusStepAt(step);
    AnswerCheck check;
    if (CheckedAnswer(c, answer, spec->check, &check)) {
      const StatusLines out = spec->build(answer, check);
      c.trace.Lines(out.lines);
      const std::string name = StatusItemName(step);
      for (const std::string& line : out.lines) {
        const std::string value = StatusItemValue(step, line);
        Json j;
        j["step"] = step;
        j["item"] = name;
        j["value"] = Latin1ToUtf8(value);
        if (out.activeDeviceCount) j["active_devices"] = *out.activeDeviceCount;
        c.rows.push_back(j);
        c.table.push_back({std::to_string(step), name, Latin1ToUtf8(value)});
      }
      if (out.lines.empty()) c.failed = true;
    }
    c.trace.Line(StatusUnmdLine(answer));
    c.progress.Report(progress::StepsReport("step", step, kStatusStepCount, c.o.timeoutMs));
  };
  RequestSequence readout(c.link.Engine(), c.link.ModbusAnswer(),
                          [&](const GatewayRequest& r) { c.link.SendRequest(r); });
  c.progress.Report(progress::StepsReport("step", 0, kStatusStepCount, c.o.timeoutMs));
  c.link.Run([&](const std::function<void()>& finished) {
    readout.Begin(std::move(requests), c.o.timeoutMs, {stepAnswered, finished});
  });
  readout.Stop();
}

void DevicesJob(JobContext& c) {
  c.progress.Start("Readback");
  c.table.push_back(HeaderRow(kDeviceTableHeaders));
  DeviceMapReadback::Handlers h;
  h.version = [&](const ByteString& version, int) {
    if (version.empty()) c.failed = true;
    const FirstRegister v = ReadFirstRegister(version);
    if (!version.empty() && v.check.memoLine) c.trace.Line(*v.check.memoLine);
  };
  h.bitmap = [&](int count, bool checked) {
    if (!checked) c.failed = true;
    if (count == 0 && !c.failed) c.trace.Line(device_text::kNoActiveDevices);
  };
  h.recordsBegin = [&](int count) {
    c.trace.Line(device_text::kNumberOfDevices + std::to_string(count));
    c.progress.Report(progress::StepsReport("record", 0, count, c.o.timeoutMs));
  };
  DeviceMapReadback readback(
      c.link.Engine(), c.link.ModbusAnswer(), c.link.ModbusAnswer(),
      [&](const GatewayRequest& r) { c.link.SendRequest(r); }, c.trace);
  h.record = [&](int index, const DeviceRowCells* found) {
    c.progress.Report(progress::StepsReport("record", index, readback.Count(), c.o.timeoutMs));
    if (!found) {
      c.failed = true;
      return;
    }
    const DeviceRowCells& cells = *found;
    Json j;
    std::vector<std::string> row;
    for (int col = 0; col < kDeviceColumns; ++col) {
      const std::string cell = Latin1ToUtf8(cells[static_cast<size_t>(col)]);
      if (col == kDeviceAddressColumn) {
        int a = -1;
        try {
          a = std::stoi(cell);
        } catch (...) {
        }
        j[site::DeviceKeys()[static_cast<size_t>(col)]] = a;
      } else {
        j[site::DeviceKeys()[static_cast<size_t>(col)]] = cell;
      }
      row.push_back(cell);
    }
    c.rows.push_back(std::move(j));
    c.table.push_back(std::move(row));
  };
  c.link.Run([&](const std::function<void()>& finished) {
    h.end = finished;
    readback.Begin(c.o.timeoutMs, '.', std::move(h));
  });
  readback.Stop();
}

// ---- site files and the commissioning report ----

std::optional<site::Site> LoadSite(const std::string& path, std::string* error) {
  QFile file(QString::fromLocal8Bit(path.c_str()));
  if (!file.open(QIODevice::ReadOnly)) {
    *error = "cannot read " + path + ": " + file.errorString().toStdString();
    return std::nullopt;
  }
  const QByteArray bytes = file.readAll();
  site::Loaded loaded = site::ParseSite(std::string_view(bytes.constData(), bytes.size()));
  if (!loaded.site) *error = path + " cannot be used: " + loaded.error;
  return std::move(loaded.site);
}

// The gateway as a site file keeps it; nothing when stopped or when it did not answer.
std::optional<site::Site> ReadSite(JobContext& c) {
  SiteRead read(
      c.link.Engine(), c.link.ModbusAnswer(),
      [&](const GatewayRequest& r) { c.link.SendRequest(r); }, c.trace);
  std::optional<site::Site> result;
  c.progress.Start("Site");
  c.link.Run([&](const std::function<void()>& finished) {
    read.Begin(c.o.timeoutMs,
               {[&](int done, int total) {
                  c.progress.Report(progress::StepsReport("step", done, total, c.o.timeoutMs));
                },
                [&](site::Site s, bool answered) {
                  if (answered) result = std::move(s);
                  finished();
                }});
  });
  read.Stop();
  if (!result && !c.link.Stopped()) c.failed = true;
  return c.link.Stopped() ? std::nullopt : result;
}

void FillDetails(const Options& o, site::Site& s) {
  s.name = o.name;
  s.notes = o.notes;
  s.technician = o.technician;
  s.saved = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString();
  s.orvioVersion = ORVIO_VERSION;
}

// The PDF and the CSV beside it; "" or why they could not be written.
std::string WriteReportFiles(const site::Site& s, const std::string& pdf) {
  QString error;
  if (!WriteCommissioningReport(s, QString::fromLocal8Bit(pdf.c_str()), &error))
    return error.toStdString();
  std::string csv = pdf;
  if (csv.size() > 4 && csv.compare(csv.size() - 4, 4, ".pdf") == 0) csv.resize(csv.size() - 4);
  csv += ".csv";
  if (!WriteFileAtomically(csv, site::ReportCsv(s)))
    return "cannot write " + csv + ": " + std::strerror(errno);
  return {};
}

void SiteJob(JobContext& c) {
  std::optional<site::Site> file;
  if (c.o.action != "save") {
    file = LoadSite(c.o.file, &c.unusable);
    if (!file) return;
  }
  if (c.o.action == "restore") {
    site::RestorePlan plan = site::PlanRestore(*file, c.o.unit);
    for (const std::string& skipped : plan.skipped)
      std::cerr << "orvio-cli site: not written: " << skipped << "\n";
    const std::optional<int> newUnit = plan.newModbusAddress;
    SiteRestore restore(
        c.link.Engine(), c.link.ModbusAnswer(),
        [&](const GatewayRequest& r) { c.link.SendRequest(r); }, c.trace);
    std::vector<std::string> refused;
    c.progress.Start("Restore");
    c.link.Run([&](const std::function<void()>& finished) {
      restore.Begin(
          std::move(plan.steps), c.o.timeoutMs,
          {[&](int done, int total) {
             c.progress.Report(progress::StepsReport("request", done, total, c.o.timeoutMs));
           },
           [&](std::vector<std::string> r) {
             refused = std::move(r);
             finished();
           }});
    });
    restore.Stop();
    if (c.link.Stopped()) return;
    c.progress.Clear();
    for (const std::string& r : refused) std::cerr << "orvio-cli site: refused: " << r << "\n";
    if (!refused.empty()) c.failed = true;
    // From here on the gateway answers to its new address.
    if (newUnit && *newUnit >= 1) c.link.SetUnit(static_cast<uint8_t>(*newUnit));
  }
  std::optional<site::Site> gateway = ReadSite(c);
  if (!gateway) {
    if (c.o.action == "compare" && !c.link.Stopped()) c.unusable = "the gateway did not answer";
    return;
  }
  if (c.o.action == "save") {
    FillDetails(c.o, *gateway);
    if (!WriteFileAtomically(c.o.file, site::SiteJson(*gateway))) {
      c.unusable = "cannot write " + c.o.file + ": " + std::strerror(errno);
      return;
    }
    c.afterTable = "Site saved to " + c.o.file + ": " + std::to_string(gateway->settings.size()) +
                   " settings, " + std::to_string(gateway->devices.size()) + " devices\n";
    return;
  }
  const std::vector<site::Difference> differences = site::Compare(*file, *gateway);
  c.table.push_back({"Setting", "File", "Gateway"});
  for (const site::Difference& d : differences) {
    Json j;
    j["key"] = d.key;
    j["setting"] = d.name;
    j["file"] = d.fileValue;
    j["gateway"] = d.gatewayValue;
    c.rows.push_back(std::move(j));
    c.table.push_back({d.name, d.fileValue, d.gatewayValue});
  }
  if (differences.empty()) c.afterTable = "The gateway matches the site file.\n";
  if (c.o.action == "compare")
    c.exitStatus = differences.empty() ? kJobDone : kJobFailed;
  else if (!differences.empty())
    c.failed = true;
}

void ReportJob(JobContext& c) {
  std::optional<site::Site> gateway = ReadSite(c);
  if (!gateway) return;
  FillDetails(c.o, *gateway);
  c.unusable = WriteReportFiles(*gateway, c.o.output);
  if (c.unusable.empty()) c.afterTable = "Report written to " + c.o.output + "\n";
}

}  // namespace

bool IsJob(const std::string& word) { return Jobs().count(word) > 0; }

int RunJob(int argc, char** argv) {
  const std::string job = argc > 1 ? argv[1] : "";
  // The report is laid out with fonts, which take a Gui application; without a display it draws
  // offscreen.
  if (job == "report" && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  std::unique_ptr<QCoreApplication> application =
      job == "report" ? std::make_unique<QGuiApplication>(argc, argv)
                      : std::make_unique<QCoreApplication>(argc, argv);
  QCoreApplication& app = *application;
  const auto info = Jobs().find(job);
  if (info == Jobs().end()) return kJobUnusable;
  QStringList args = app.arguments();
  args.removeAt(1);  // the job's name
  Options o;
  bool help = false;
  try {
    o = ParseOptions(args, job, &help);
  } catch (const Refusal& r) {
    std::cerr << "orvio-cli " << job << ": " << r.text << "\n"
              << info->second.usage << "Try 'orvio-cli " << job << " --help'.\n";
    return kJobUnusable;
  }
  if (help) {
    std::cout << info->second.usage << kLinkUsage;
    return kJobDone;
  }

  if (!o.hasLink) {  // a report of a site file
    std::string error;
    const std::optional<site::Site> s = LoadSite(o.file, &error);
    if (s) error = WriteReportFiles(*s, o.output);
    if (error.empty()) {
      std::cout << "Report written to " << o.output << "\n";
      return kJobDone;
    }
    std::cerr << "orvio-cli report: " << error << "\n";
    return kJobUnusable;
  }

  ProgressView progress;
  StderrTrace trace(o.trace, progress);
  JobLink link(trace);
  if (const char* dirs = std::getenv("ORVIO_LOCK_DIRS"))
    link.SetLockDirectories(QString::fromLocal8Bit(dirs).split(':', Qt::SkipEmptyParts));
  link.SetUnit(static_cast<uint8_t>(o.unit));
  link.SetTimeoutMs(o.timeoutMs);
  link.SetFinishEarly(!o.fixedWaits);

  // SIGINT and SIGTERM stop the job as STOP does; what was found so far is still printed.
  int stopSignal = 0;
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return kJobUnusable;
  QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
    char c = 0;
    while (::read(g_signalPipe[0], &c, 1) == 1)
      if (stopSignal == 0) stopSignal = c;
    link.Stop();
  });
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);

  const std::string error = o.tcpHost
                                ? link.OpenTcp(*o.tcpHost, o.tcpPort, std::max(3000, o.timeoutMs))
                                : link.OpenSerial(*o.serial);
  if (!error.empty() && stopSignal == 0) {
    std::cerr << "orvio-cli " << job << ": " << error << "\n";
    return kJobUnusable;
  }

  JobContext c{o, link, trace, progress, false, {}, {}, {}, {}, -1};
  static const std::map<std::string, std::function<void(JobContext&)>> kRun = {
      {"registers", RegistersJob}, {"scan", ScanJob},     {"read", ReadJob},
      {"search", SearchJob},       {"status", StatusJob}, {"devices", DevicesJob},
      {"site", SiteJob},           {"report", ReportJob}};
  if (error.empty()) kRun.at(job)(c);
  progress.Clear();

  if (o.json) {
    for (const Json& row : c.rows) std::cout << JsonLine(row) << "\n";
  } else if (c.table.size() > 1) {
    std::cout << AlignedColumns(c.table) << c.afterTable;
  } else if (job == "scan" || job == "search" || job == "devices") {
    std::cerr << "orvio-cli " << job << ": nothing found\n";
  } else {
    std::cout << c.afterTable;
  }
  std::cout.flush();
  if (stopSignal == SIGINT) return kJobInterrupted;
  if (stopSignal == SIGTERM) return kJobTerminated;
  if (stopSignal != 0) return 128 + stopSignal;
  if (!c.unusable.empty()) {
    std::cerr << "orvio-cli " << job << ": " << c.unusable << "\n";
    return kJobUnusable;
  }
  if (c.exitStatus >= 0) return c.exitStatus;
  if (c.failed && o.action == "restore") {
    std::cerr << "orvio-cli site: the gateway refused part of the site file or still differs "
                 "from it\n";
    return kJobFailed;
  }
  if (c.failed) {
    std::cerr << "orvio-cli " << job
              << ": the gateway did not answer, or an answer failed its checks\n";
    return kJobFailed;
  }
  return kJobDone;
}

}  // namespace orvio::cli
