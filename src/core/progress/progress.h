// Progress and time left of the window's long jobs (scan, reads, searches, Set all, Activate All,
// the device-map readback, the status readout, the automatic register reading).
//
// Every job is a chain of fixed waits the settings prescribe (the scan time, the Modbus time-out,
// repeats up to the retry setting), so what is left can be computed from those settings. The
// program never waits exactly as prescribed (timer latency, the link, the decoder), so the
// prescribed time left is scaled by the pace observed so far: prescribed time of the finished
// steps against the wall time they took, drawn towards "on time" while little is finished.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orvio::progress {

// The waits the settings prescribe, read from the controls the jobs read.
struct Waits {
  int scanTimeMs = 1000;      // UD_timeout
  int modbusTimeoutMs = 600;  // UD_modbusTimeout
  int retries = 2;            // UD_retry
  // The search worker's two waits for the gateway's answers after each selection or read; below
  // zero, the scan time, as with fixed waits (when waits finish early they are much shorter).
  int workerAnswerMs = -1;
  double WorkerAnswerMs() const { return workerAnswerMs < 0 ? scanTimeMs : workerAnswerMs; }
};

// ---- pace and time left ----

struct Pace {
  double prescribedMs = 0;  // prescribed time of the finished steps
  double observedMs = 0;    // wall time from the job's start to the end of its last step
};

// Factor turning prescribed milliseconds into expected wall milliseconds:
// (prior + observed) / (prior + prescribed). With nothing finished it is 1; the more prescribed
// time is finished, the more the observed ratio counts. `priorMs` is the prescribed time that
// counts as on time before any step (about one or two steps' worth).
double PaceFactor(const Pace& pace, double priorMs);

// A time left as a range; min == max for one number. Negative: not known.
struct Left {
  double minMs = -1;
  double maxMs = -1;
  bool Known() const { return minMs >= 0 && maxMs >= 0; }
};

// Prescribed time left scaled by the pace, less the time spent since the last step ended
// (never below zero).
Left ExpectedLeft(const Left& prescribed, double factor, double sinceStepMs);

// "0 s", "45 s", "3 min 05 s", "1 h 02 min".
std::string DurationText(double ms);
// "about 3 min 05 s left", "2 min 10 s .. 9 min 40 s left"; "" when not known.
std::string LeftText(const Left& left);

// ---- the jobs' prescribed waits ----

// Primary scan: one attempt is the scan time and one Modbus time-out, and one more when the
// answer bytes were read (something answered).
double ScanAttemptMs(const Waits& w, bool answerRead);
// What is left of a scan about to make attempt `retriesDone` + 1 at `address` up to
// `lastAddress`. A silent address costs retry setting + 1 attempts, an answering one a single
// attempt with its answer read. The addresses not yet tried answer in the share `answering`
// (0..1) of those scanned so far and are silent otherwise; an address whose first attempt went
// unanswered has its repeats left, taken as silent.
double ScanLeftMs(const Waits& w, int address, int retriesDone, int lastAddress,
                  double answering = 0);

// One-meter request (read, medium change, counter value): attempts left after `attemptsDone`
// failed ones, the last of them with its answer read.
Left SingleReadLeft(const Waits& w, int attemptsDone);

// Activate All: one scan time per attempt; rows `row`..`lastRow` left, each taken as activated
// at the first attempt (min) or after every repeat (max).
Left ActivateAllLeft(const Waits& w, int row, int lastRow);

// Device-map readback and status readout: one Modbus time-out per request.
double RequestsLeftMs(const Waits& w, int requestsLeft);

// "Set all Primary addresses": one change-address run per row (selection, new address,
// deselection and read-back: four transactions of three scan times) and half the poll interval
// of the sequence's timer until the next row starts.
double SetAllRowMs(const Waits& w, int pollMs);

// ---- secondary search ----

// The search worker's wait for a scan time: sleeps of `stepMs` while the sleeps so far plus one
// are shorter than the scan time, so one step short of it when it is a multiple of the step.
int WorkerWaitMs(int scanTimeMs, int stepMs);

// Where a depth-first search stands: the selections not yet made at each digit position of the
// walk (index 1..8; index 0 unused).
using SearchFrontier = std::array<int, 9>;

// The frontier of a wildcard search about to select `digits` (position 1..8 = the ID digits,
// least significant first; 15 = wildcard). Positions 1..q hold digits and q+1..8 wildcards: the
// current value at q and the values above it are still to come, and at every position below q
// the values above the one being refined.
SearchFrontier WildcardFrontier(const std::array<uint8_t, 9>& digits);
// The deepest position of the walk (q above), 0 when every position is a wildcard.
int SearchDepth(const std::array<uint8_t, 9>& digits);

// The one selection of "Find by ID" with an exact ID (no refinement can follow).
SearchFrontier ExactFrontier();

// A selection costs two scan times per silent attempt, three when something answers and three
// more for the read of the selected meter. Min: every selection left is either silent or one
// meter, whichever is cheaper. Max: every selection left costs its most (repeats, then an answer)
// and as many selections as possible draw collisions that are refined at the next position
// (ten more selections each), with at most `metersLeft` meters still on the line (a collision
// takes two of them; collisions at one position hold different meters).
Left SearchLeft(const SearchFrontier& frontier, const Waits& w, int metersLeft);

// The most meters one M-Bus line can hold (primary addresses 1..250): the bound of SearchLeft's
// maximum when nothing else is known about the line.
inline constexpr int kMaxMetersOnLine = 250;

// Meters a wildcard search may still find: those found so far extrapolated over the share of the
// walk not yet done (`shareDone` 0..1, counted as at least a tenth, so that an early find does
// not promise a full line), plus one; at most what the line can still hold.
int ExpectedMetersLeft(int found, double shareDone);

// The typical longest wait of a wildcard search: every selection left costs its most (repeats,
// then an answer and its read), and each of `metersLeft` meters costs one refinement, ten more
// selections at the next position (two meters sharing a prefix part at the next digit).
double SearchTypicalMaxMs(const SearchFrontier& frontier, const Waits& w, int metersLeft);

// ---- the line the window shows ----

struct Report {
  std::string where;  // "address 37 of 250"
  int found = -1;     // shown as "<found> <foundWord>" when >= 0
  std::string foundWord = "found";
  int done = 0;  // for the bar: steps done of `total` (total 0: no bar)
  int total = 0;
  double stepPrescribedMs = 0;  // prescribed time of the work finished since the last report
  Left prescribedLeft;          // prescribed time left (not known: nothing shown)
  bool periodic = false;        // an endless job: the time left is "next in ..."
  std::string assumes;          // what the time left assumes (the view's tooltip)
};

// The state of one running job, kept between reports.
struct JobState {
  std::string name;  // "Scan", "Search", ...
  Report last;
  Pace pace;
  double lastReportMs = 0;   // job time (ms since the start) of the last report
  double largestStepMs = 0;  // the largest prescribed step reported so far
};

// A report arriving at job time `nowMs` (ms since the job started).
void Apply(JobState& job, const Report& report, double nowMs);

// The time left at job time `nowMs`: the last report's prescribed time left scaled by the pace
// (the prior of PaceFactor is two of the largest steps seen), less the time since that report.
Left JobLeft(const JobState& job, double nowMs);
// "Scan: address 37 of 250 · 3 found · about 4 min 10 s left" at job time `nowMs`.
std::string ProgressLine(const JobState& job, double nowMs);
// Percentage done for a bar, -1 when the job has no total.
int Percent(const JobState& job);

// ---- the reports the jobs make after each step ----

// After a scan attempt: `address` and `retriesDone` are the next attempt's (address past `to`:
// the scan has ended), `answerRead` tells whether the attempt read answer bytes, `found` counts
// the meters placed so far.
Report ScanReport(const Waits& w, int from, int to, int address, int retriesDone, bool answerRead,
                  int found);
// After the failed attempt number `attemptsDone` of a one-meter request to `address`.
Report SingleReadReport(const Waits& w, int address, int attemptsDone);
// A wildcard search about to select `digits`, after `selections` selections and `waitsDone` scan
// times since the last report, with `found` meters read. Its range: the least is SearchLeft's;
// the most is SearchTypicalMaxMs for ExpectedMetersLeft (never beyond SearchLeft's bound).
Report SearchReport(const std::array<uint8_t, 9>& digits, const Waits& w, int selections, int found,
                    int waitsDone, int answerWaitsDone = 0);
// "Find by ID" with an exact ID, before its selection.
Report ExactSearchReport(const std::string& id, const Waits& w);
// A job of `total` equal steps of `stepMs` each, `done` of them finished:
// "<noun> <done + 1> of <total>" while steps are left.
Report StepsReport(const std::string& noun, int done, int total, double stepMs);
// Activate All after an attempt at a row: `row` is the row to try next (past `lastRow`: done),
// `activated` the rows activated so far.
Report ActivateAllReport(const Waits& w, int row, int lastRow, int activated);
// Automatic reading: one read every `periodMs`.
Report PeriodicReport(int periodMs);

}  // namespace orvio::progress
