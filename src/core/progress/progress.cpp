#include "core/progress/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvio::progress {

namespace {

constexpr uint8_t kWildcard = 15;
constexpr int kDigits = 8;
constexpr int kValuesPerPosition = 10;

double Clamped(double ms) { return ms < 0 ? 0 : ms; }

// Scan time plus Modbus time-out: one tunnel attempt that found no answer.
double TunnelAttemptMs(const Waits& w) { return w.scanTimeMs + w.modbusTimeoutMs; }

int Attempts(const Waits& w) { return std::max(0, w.retries) + 1; }

}  // namespace

double PaceFactor(const Pace& pace, double priorMs) {
  const double prior = Clamped(priorMs);
  const double prescribed = prior + Clamped(pace.prescribedMs);
  if (prescribed <= 0) return 1.0;
  return (prior + Clamped(pace.observedMs)) / prescribed;
}

Left ExpectedLeft(const Left& prescribed, double factor, double sinceStepMs) {
  if (!prescribed.Known()) return {};
  const double since = Clamped(sinceStepMs);
  return {Clamped(prescribed.minMs * factor - since), Clamped(prescribed.maxMs * factor - since)};
}

std::string DurationText(double ms) {
  const long long s = std::llround(Clamped(ms) / 1000.0);
  char text[48];
  if (s < 60) {
    std::snprintf(text, sizeof text, "%lld s", s);
  } else if (s < 3600) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", s / 60, s % 60);
  } else {
    const long long m = (s + 30) / 60;  // to the nearest minute
    std::snprintf(text, sizeof text, "%lld h %02lld min", m / 60, m % 60);
  }
  return text;
}

std::string LeftText(const Left& left) {
  if (!left.Known()) return {};
  const std::string min = DurationText(left.minMs);
  const std::string max = DurationText(left.maxMs);
  if (min == max) return "about " + min + " left";
  return min + " .. " + max + " left";
}

double ScanAttemptMs(const Waits& w, bool answerRead) {
  return TunnelAttemptMs(w) + (answerRead ? w.modbusTimeoutMs : 0);
}

double ScanLeftMs(const Waits& w, int address, int retriesDone, int lastAddress, double answering) {
  if (address > lastAddress) return 0;
  const double share = std::clamp(answering, 0.0, 1.0);
  const double silentAddress = Attempts(w) * TunnelAttemptMs(w);
  const double addressMs = share * ScanAttemptMs(w, true) + (1 - share) * silentAddress;
  const double later = static_cast<double>(lastAddress - address) * addressMs;
  if (retriesDone <= 0) return addressMs + later;
  const int here = std::max(1, Attempts(w) - retriesDone);
  return here * TunnelAttemptMs(w) + later;
}

Left SingleReadLeft(const Waits& w, int attemptsDone) {
  const int left = std::max(1, Attempts(w) - std::max(0, attemptsDone));
  const double answered = ScanAttemptMs(w, true);
  const double allSilent = left * TunnelAttemptMs(w);
  return {std::min(answered, allSilent), allSilent + w.modbusTimeoutMs};
}

Left ActivateAllLeft(const Waits& w, int row, int lastRow) {
  const double rows = std::max(0, lastRow - row + 1);
  return {rows * w.scanTimeMs, rows * Attempts(w) * w.scanTimeMs};
}

double RequestsLeftMs(const Waits& w, int requestsLeft) {
  return static_cast<double>(std::max(0, requestsLeft)) * w.modbusTimeoutMs;
}

double SetAllRowMs(const Waits& w, int pollMs) {
  constexpr int kTransactions = 4;  // selection, new address, deselection, read at the new one
  // Each one the scan time and the two waits for the answer's status and bytes.
  return kTransactions * (w.scanTimeMs + 2 * w.WorkerAnswerMs()) + pollMs / 2.0;
}

int WorkerWaitMs(int scanTimeMs, int stepMs) {
  if (stepMs <= 0) return std::max(0, scanTimeMs);
  int sleeps = 0;
  for (int n = 1; stepMs * n < scanTimeMs; ++n) ++sleeps;
  return sleeps * stepMs;
}

int SearchDepth(const std::array<uint8_t, 9>& digits) {
  int q = 0;
  while (q < kDigits && digits[static_cast<size_t>(q + 1)] != kWildcard) ++q;
  return q;
}

SearchFrontier WildcardFrontier(const std::array<uint8_t, 9>& digits) {
  SearchFrontier f{};
  const int q = SearchDepth(digits);
  if (q == 0) {
    f[1] = kValuesPerPosition;
    return f;
  }
  for (int p = 1; p < q; ++p)
    f[static_cast<size_t>(p)] =
        std::max(0, kValuesPerPosition - 1 - digits[static_cast<size_t>(p)]);
  f[static_cast<size_t>(q)] = std::max(0, kValuesPerPosition - digits[static_cast<size_t>(q)]);
  return f;
}

SearchFrontier ExactFrontier() {
  SearchFrontier f{};
  f[kDigits] = 1;  // refinement stops at the last position
  return f;
}

namespace {
// A selection or read of the search: the scan time, the answer status and, when something
// answered, the answer's bytes.
double SilentTransactionMs(const Waits& w) { return w.scanTimeMs + w.WorkerAnswerMs(); }
double AnsweredTransactionMs(const Waits& w) { return w.scanTimeMs + 2 * w.WorkerAnswerMs(); }
// The most one selection costs: its repeats, then an answer and the read of the selected meter.
double MostPerSelectionMs(const Waits& w) {
  return (Attempts(w) - 1) * SilentTransactionMs(w) + 2 * AnsweredTransactionMs(w);
}
}  // namespace

Left SearchLeft(const SearchFrontier& frontier, const Waits& w, int metersLeft) {
  const double silent = Attempts(w) * SilentTransactionMs(w);
  const double oneMeter = 2 * AnsweredTransactionMs(w);  // select answered, read answered
  const double most = MostPerSelectionMs(w);
  const long long pairs = std::max(0, metersLeft) / 2;
  double valuesMin = 0;
  double valuesMax = 0;
  double collisions = 0;  // at the position before
  for (int p = 1; p <= kDigits; ++p) {
    const double here = frontier[static_cast<size_t>(p)];
    const double eligible = here + kValuesPerPosition * collisions;
    valuesMin += here;
    valuesMax += eligible;
    collisions = p < kDigits ? std::min(eligible, static_cast<double>(pairs)) : 0;
  }
  return {valuesMin * std::min(silent, oneMeter), valuesMax * most};
}

int ExpectedMetersLeft(int found, double shareDone) {
  const int known = std::max(0, found);
  const double share = std::clamp(shareDone, 0.0, 1.0);
  const double perWalk = known / std::max(share, 0.1);
  const int left = static_cast<int>(std::ceil(perWalk * (1 - share))) + 1;
  return std::clamp(left, 0, std::max(0, kMaxMetersOnLine - known));
}

double SearchTypicalMaxMs(const SearchFrontier& frontier, const Waits& w, int metersLeft) {
  const double most = MostPerSelectionMs(w);  // as SearchLeft's
  double values = 0;
  for (int p = 1; p <= kDigits; ++p) values += frontier[static_cast<size_t>(p)];
  return (values + kValuesPerPosition * static_cast<double>(std::max(0, metersLeft))) * most;
}

void Apply(JobState& job, const Report& report, double nowMs) {
  if (report.stepPrescribedMs > 0) {
    job.pace.prescribedMs += report.stepPrescribedMs;
    job.pace.observedMs = nowMs;
    job.largestStepMs = std::max(job.largestStepMs, report.stepPrescribedMs);
  }
  job.last = report;
  job.lastReportMs = nowMs;
}

Left JobLeft(const JobState& job, double nowMs) {
  const double since = nowMs - job.lastReportMs;
  if (job.last.periodic) return ExpectedLeft(job.last.prescribedLeft, 1.0, since);
  return ExpectedLeft(job.last.prescribedLeft, PaceFactor(job.pace, 2 * job.largestStepMs), since);
}

std::string ProgressLine(const JobState& job, double nowMs) {
  static const std::string kDot = " \u00B7 ";
  std::string line = job.name;
  if (!job.last.where.empty()) line += ": " + job.last.where;
  if (job.last.found >= 0) line += kDot + std::to_string(job.last.found) + " " + job.last.foundWord;
  const Left left = JobLeft(job, nowMs);
  if (!left.Known()) return line;
  if (job.last.periodic) return line + kDot + "next in " + DurationText(left.maxMs);
  return line + kDot + LeftText(left);
}

int Percent(const JobState& job) {
  if (job.last.total <= 0) return -1;
  const int done = std::clamp(job.last.done, 0, job.last.total);
  return static_cast<int>(100LL * done / job.last.total);
}

namespace {
std::string Of(const std::string& noun, int position, int total) {
  return noun + " " + std::to_string(position) + " of " + std::to_string(total);
}
}  // namespace

Report ScanReport(const Waits& w, int from, int to, int address, int retriesDone, bool answerRead,
                  int found) {
  Report r;
  const int shown = std::min(address, to);
  r.where = "address " + std::to_string(shown) + " of " + std::to_string(from) + ".." +
            std::to_string(to);
  r.found = found;
  r.total = std::max(1, to - from + 1);
  r.done = std::clamp(address - from, 0, r.total);
  r.stepPrescribedMs = ScanAttemptMs(w, answerRead);
  // The addresses behind answered as often as the ones ahead are expected to.
  const int scanned = std::clamp(address - from, 0, r.total);
  const double answering = scanned > 0 ? std::min(1.0, double(std::max(0, found)) / scanned) : 0;
  const double left = ScanLeftMs(w, address, retriesDone, to, answering);
  r.prescribedLeft = {left, left};
  r.assumes = "Time left: the addresses left answer as often as the " + std::to_string(scanned) +
              " scanned (" + std::to_string(std::max(0, found)) +
              " found); a silent one takes every repeat.";
  return r;
}

Report SingleReadReport(const Waits& w, int address, int attemptsDone) {
  Report r;
  r.where =
      "address " + std::to_string(address) + ", " + Of("attempt", attemptsDone + 1, Attempts(w));
  r.total = Attempts(w);
  r.done = std::min(attemptsDone, r.total);
  r.stepPrescribedMs = attemptsDone > 0 ? ScanAttemptMs(w, false) : 0;
  r.prescribedLeft = SingleReadLeft(w, attemptsDone);
  return r;
}

Report SearchReport(const std::array<uint8_t, 9>& digits, const Waits& w, int selections, int found,
                    int waitsDone, int answerWaitsDone) {
  Report r;
  const int q = std::max(1, SearchDepth(digits));
  std::string prefix;
  for (int p = 1; p < q; ++p)
    prefix += static_cast<char>('0' + digits[static_cast<size_t>(p)] % 10);
  r.where = Of("digit", q, kDigits);
  if (!prefix.empty()) r.where += ", prefix " + prefix;
  r.where += ", " + std::to_string(selections) + " selections";
  r.found = found;
  // The share of the walk behind: the values finished at each position, by their share of the
  // tree (the value being refined at a position counts through the positions below it).
  double share = 0;
  double weight = 1;
  for (int p = 1; p <= SearchDepth(digits); ++p) {
    weight /= kValuesPerPosition;
    share += std::min<int>(digits[static_cast<size_t>(p)], kValuesPerPosition) * weight;
  }
  r.total = 1000;
  r.done = std::clamp(static_cast<int>(share * r.total), 0, r.total);
  r.stepPrescribedMs = static_cast<double>(waitsDone) * w.scanTimeMs +
                       static_cast<double>(answerWaitsDone) * w.WorkerAnswerMs();
  const SearchFrontier frontier = WildcardFrontier(digits);
  const Left bound = SearchLeft(frontier, w, kMaxMetersOnLine - std::max(0, found));
  const int expected = ExpectedMetersLeft(found, share);
  r.prescribedLeft = {
      bound.minMs,
      std::max(bound.minMs, std::min(bound.maxMs, SearchTypicalMaxMs(frontier, w, expected)))};
  r.assumes = "Time left: least if no further meter answers; most if about " +
              std::to_string(expected) + " more meter(s) answer (" +
              std::to_string(std::max(0, found)) + " found in " +
              std::to_string(static_cast<int>(share * 100)) +
              " % of the IDs), each refined by ten more selections, every selection with its "
              "repeats. Many meters sharing ID digits take longer.";
  return r;
}

Report ExactSearchReport(const std::string& id, const Waits& w) {
  Report r;
  r.where = "ID " + id;
  r.prescribedLeft = SearchLeft(ExactFrontier(), w, 0);
  return r;
}

Report StepsReport(const std::string& noun, int done, int total, double stepMs) {
  Report r;
  r.total = std::max(0, total);
  r.done = std::clamp(done, 0, r.total);
  r.where = Of(noun, std::min(r.done + 1, r.total), r.total);
  r.stepPrescribedMs = done > 0 ? stepMs : 0;
  const double left = (r.total - r.done) * stepMs;
  r.prescribedLeft = {left, left};
  return r;
}

Report ActivateAllReport(const Waits& w, int row, int lastRow, int activated) {
  Report r;
  r.total = std::max(1, lastRow);
  r.done = std::clamp(row - 1, 0, r.total);
  r.where = Of("row", std::min(row, r.total), r.total);
  r.found = activated;
  r.foundWord = "activated";
  r.stepPrescribedMs = w.scanTimeMs;
  r.prescribedLeft = ActivateAllLeft(w, row, lastRow);
  return r;
}

Report PeriodicReport(int periodMs) {
  Report r;
  r.where = "every " + DurationText(periodMs);
  r.periodic = true;
  r.prescribedLeft = {static_cast<double>(periodMs), static_cast<double>(periodMs)};
  return r;
}

}  // namespace orvio::progress
