// Progress and time left of the long jobs: the waits each job's settings prescribe, the pace
// correction, the search's range, and the line the status bar shows.
#include "core/progress/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/mbus/secondary_search.h"

namespace orvio::progress {
namespace {

constexpr Waits kDefault{1000, 600, 2};  // the settings' defaults

SearchDigitArray Digits(const std::string& checking) {
  SearchDigitArray d{};
  for (int p = 1; p <= 8; ++p) {
    const char c = checking[static_cast<size_t>(p - 1)];
    d[static_cast<size_t>(p)] = c == 'F' ? 15 : static_cast<uint8_t>(c - '0');
  }
  return d;
}

TEST(Progress, DurationAndLeftTexts) {
  const std::vector<std::pair<double, std::string>> rows = {
      {-5, "0 s"},
      {0, "0 s"},
      {499, "0 s"},
      {500, "1 s"},
      {59'400, "59 s"},
      {60'000, "1 min 00 s"},
      {185'000, "3 min 05 s"},
      {3'599'000, "59 min 59 s"},
      {3'600'000, "1 h 00 min"},
      {3'750'000, "1 h 03 min"},
      {90'000'000, "25 h 00 min"},
  };
  for (const auto& [ms, text] : rows) EXPECT_EQ(DurationText(ms), text) << ms;
  EXPECT_EQ(LeftText({185'000, 185'000}), "about 3 min 05 s left");
  EXPECT_EQ(LeftText({130'000, 580'000}), "2 min 10 s .. 9 min 40 s left");
  EXPECT_EQ(LeftText({}), "");
  // A range both ends of which read the same is one number.
  EXPECT_EQ(LeftText({10'100, 10'200}), "about 10 s left");
}

TEST(Progress, PaceStartsOnTimeAndFollowsWhatIsObserved) {
  struct Row {
    Pace pace;
    double prior;
    double factor;
  };
  const std::vector<Row> rows = {
      {{0, 0}, 3200, 1.0},                              // nothing finished: on time
      {{1600, 1760}, 3200, 4960 / 4800.0},              // one step 10 % slow counts a third
      {{160'000, 176'000}, 3200, 179'200 / 163'200.0},  // much finished: close to 1.1
      {{1000, 500}, 0, 0.5},                            // no prior: the observed ratio
      {{1000, -20}, 0, 0.0},                            // a clock that went back counts as nothing
  };
  for (const auto& r : rows) EXPECT_DOUBLE_EQ(PaceFactor(r.pace, r.prior), r.factor);
  EXPECT_NEAR(PaceFactor({1'000'000, 1'100'000}, 3200), 1.1, 0.001);
}

TEST(Progress, ExpectedLeftScalesAndCountsDown) {
  const Left l = ExpectedLeft({10'000, 20'000}, 1.1, 2'000);
  EXPECT_DOUBLE_EQ(l.minMs, 9'000);
  EXPECT_DOUBLE_EQ(l.maxMs, 20'000);
  // Past the estimate: nothing left, never negative.
  const Left past = ExpectedLeft({1'000, 1'000}, 1.0, 5'000);
  EXPECT_DOUBLE_EQ(past.minMs, 0);
  EXPECT_DOUBLE_EQ(past.maxMs, 0);
  EXPECT_FALSE(ExpectedLeft({}, 1.0, 0).Known());
}

TEST(Progress, ScanWaits) {
  // A silent attempt: scan time + one Modbus time-out; an answered one reads the answer too.
  EXPECT_DOUBLE_EQ(ScanAttemptMs(kDefault, false), 1600);
  EXPECT_DOUBLE_EQ(ScanAttemptMs(kDefault, true), 2200);
  struct Row {
    Waits w;
    int address, retriesDone, last;
    double left;
  };
  const std::vector<Row> rows = {
      {kDefault, 1, 0, 250, 250 * 3 * 1600.0},  // a full scan of 1..250: 20 minutes
      {kDefault, 250, 0, 250, 3 * 1600.0},
      {kDefault, 250, 2, 250, 1600.0},       // the last repeat of the last address
      {kDefault, 251, 0, 250, 0},            // past the range: done
      {{300, 50, 0}, 1, 0, 30, 30 * 350.0},  // no repeats
      {{300, 50, 0}, 5, 7, 30, 26 * 350.0},  // more repeats done than allowed: one attempt here
  };
  for (const auto& r : rows)
    EXPECT_DOUBLE_EQ(ScanLeftMs(r.w, r.address, r.retriesDone, r.last), r.left)
        << r.address << "/" << r.retriesDone;
}

// A scan of 1..5 with a meter at every address: at 40 % the three addresses left are expected
// to answer like the two behind, not to take every repeat silent (14.4 s instead of 6.6 s).
TEST(Progress, ScanTimeLeftFollowsTheShareOfAddressesThatAnswered) {
  EXPECT_DOUBLE_EQ(ScanReport(kDefault, 1, 5, 3, 0, true, 2).prescribedLeft.maxMs, 3 * 2200.0);
  // Nothing scanned yet, or nothing answered: every address left silent, as before.
  EXPECT_DOUBLE_EQ(ScanReport(kDefault, 1, 5, 1, 0, false, 0).prescribedLeft.maxMs, 5 * 4800.0);
  EXPECT_DOUBLE_EQ(ScanReport(kDefault, 1, 5, 3, 0, false, 0).prescribedLeft.maxMs, 3 * 4800.0);
  // Half answered; an address in its repeats has those left, silent, whatever the share.
  EXPECT_DOUBLE_EQ(ScanLeftMs(kDefault, 5, 0, 6, 0.5), 2 * (2200 + 4800) / 2.0);
  EXPECT_DOUBLE_EQ(ScanLeftMs(kDefault, 5, 1, 6, 0.5), 2 * 1600 + (2200 + 4800) / 2.0);
  EXPECT_DOUBLE_EQ(ScanLeftMs(kDefault, 5, 0, 6, 7.0), ScanLeftMs(kDefault, 5, 0, 6, 1.0));
}

TEST(Progress, ScanReportSaysWhereAndWhatWasFound) {
  const Report r = ScanReport(kDefault, 1, 250, 37, 0, true, 3);
  EXPECT_EQ(r.where, "address 37 of 1..250");
  EXPECT_EQ(r.found, 3);
  EXPECT_EQ(r.done, 36);
  EXPECT_EQ(r.total, 250);
  EXPECT_DOUBLE_EQ(r.stepPrescribedMs, 2200);
  // 3 of the 36 addresses behind answered: the 214 left are expected to answer as often.
  EXPECT_DOUBLE_EQ(r.prescribedLeft.minMs, 214 * (3 * 2200.0 + 33 * 3 * 1600.0) / 36);
  EXPECT_NE(r.assumes.find("36 scanned (3 found)"), std::string::npos) << r.assumes;
  // The report after the last attempt: the whole range done, nothing left.
  const Report end = ScanReport(kDefault, 9, 12, 13, 0, false, 2);
  EXPECT_EQ(end.where, "address 12 of 9..12");
  EXPECT_EQ(end.done, end.total);
  EXPECT_DOUBLE_EQ(end.prescribedLeft.maxMs, 0);
}

TEST(Progress, OtherJobsWaits) {
  // One-meter request with the retry setting 2: an answer at once, or every attempt silent and
  // the last answer read.
  const Left read = SingleReadLeft(kDefault, 0);
  EXPECT_DOUBLE_EQ(read.minMs, 2200);
  EXPECT_DOUBLE_EQ(read.maxMs, 3 * 1600 + 600);
  const Left lastTry = SingleReadLeft(kDefault, 2);
  EXPECT_DOUBLE_EQ(lastTry.minMs, 1600);
  EXPECT_DOUBLE_EQ(lastTry.maxMs, 2200);
  EXPECT_EQ(SingleReadReport(kDefault, 5, 1).where, "address 5, attempt 2 of 3");
  EXPECT_DOUBLE_EQ(SingleReadReport(kDefault, 5, 0).stepPrescribedMs, 0);

  // Activate All: one scan time per attempt, every row at once or after every repeat.
  const Left act = ActivateAllLeft(kDefault, 3, 12);
  EXPECT_DOUBLE_EQ(act.minMs, 10 * 1000);
  EXPECT_DOUBLE_EQ(act.maxMs, 10 * 3 * 1000);
  EXPECT_FALSE(ActivateAllLeft(kDefault, 13, 12).maxMs > 0);
  const Report a = ActivateAllReport(kDefault, 13, 12, 11);
  EXPECT_EQ(a.where, "row 12 of 12");
  EXPECT_EQ(a.found, 11);
  EXPECT_EQ(a.foundWord, "activated");
  EXPECT_EQ(a.done, 12);

  // Readback and status: one Modbus time-out per request.
  EXPECT_DOUBLE_EQ(RequestsLeftMs(kDefault, 14), 8400);
  const std::vector<std::tuple<int, int, std::string, double>> steps = {
      {0, 14, "step 1 of 14", 14 * 600.0},
      {13, 14, "step 14 of 14", 600.0},
      {14, 14, "step 14 of 14", 0},
      {11, 40, "record 12 of 40", 29 * 600.0},
  };
  for (const auto& [done, total, where, left] : steps) {
    const Report s = StepsReport(where.substr(0, where.find(' ')), done, total, 600);
    EXPECT_EQ(s.where, where);
    EXPECT_DOUBLE_EQ(s.prescribedLeft.minMs, left) << where;
    EXPECT_DOUBLE_EQ(s.stepPrescribedMs, done > 0 ? 600 : 0) << where;
  }
  // Set all: four transactions of three scan times, half the poll interval.
  EXPECT_DOUBLE_EQ(SetAllRowMs(kDefault, 500), 12'250);
  const Report periodic = PeriodicReport(2000);
  EXPECT_TRUE(periodic.periodic);
  EXPECT_EQ(periodic.where, "every 2 s");
}

TEST(Progress, WorkerWaitIsOneStepShortOfTheScanTime) {
  const std::vector<std::tuple<int, int, int>> rows = {
      {1000, 10, 990}, {300, 10, 290}, {305, 10, 300}, {10, 10, 0}, {5, 10, 0}, {300, 0, 300},
  };
  for (const auto& [scanTime, step, wait] : rows)
    EXPECT_EQ(WorkerWaitMs(scanTime, step), wait) << scanTime << "/" << step;
}

TEST(Progress, SearchFrontierFollowsTheWalk) {
  struct Row {
    std::string checking;
    int depth;
    SearchFrontier frontier;
  };
  const std::vector<Row> rows = {
      {"FFFFFFFF", 0, {0, 10, 0, 0, 0, 0, 0, 0, 0}},
      {"0FFFFFFF", 1, {0, 10, 0, 0, 0, 0, 0, 0, 0}},  // the first selection
      {"9FFFFFFF", 1, {0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {"78563FFF", 5, {0, 2, 1, 4, 3, 7, 0, 0, 0}},
      {"99999999", 8, {0, 0, 0, 0, 0, 0, 0, 0, 1}},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(SearchDepth(Digits(r.checking)), r.depth) << r.checking;
    EXPECT_EQ(WildcardFrontier(Digits(r.checking)), r.frontier) << r.checking;
  }
}

TEST(Progress, SearchRangeFromSelectionsLeftAndCollisionsPossible) {
  const Waits w{1000, 600, 1};  // the search runs with at least one repeat
  // An empty line, nothing known yet: ten selections of two attempts of two scan times is the
  // least; with no meter left nothing can collide, and the most is each answering late.
  const Left empty = SearchLeft(WildcardFrontier(Digits("FFFFFFFF")), w, 0);
  EXPECT_DOUBLE_EQ(empty.minMs, 10 * 4 * 1000.0);
  EXPECT_DOUBLE_EQ(empty.maxMs, 10 * 8 * 1000.0);
  // Two meters left: one collision at each position 1..7 at most, ten selections below each.
  const Left two = SearchLeft(WildcardFrontier(Digits("FFFFFFFF")), w, 2);
  EXPECT_DOUBLE_EQ(two.minMs, empty.minMs);
  EXPECT_DOUBLE_EQ(two.maxMs, (10 + 7 * 10) * 8 * 1000.0);
  // More meters: collisions grow tenfold per position until the meters run out.
  const Left many = SearchLeft(WildcardFrontier(Digits("FFFFFFFF")), w, kMaxMetersOnLine);
  EXPECT_DOUBLE_EQ(many.maxMs, (10 + 100 + 1000 + 5 * 1250) * 8 * 1000.0);
  // The range narrows as the walk goes on and holds at its last selection.
  const Left late = SearchLeft(WildcardFrontier(Digits("9FFFFFFF")), w, 0);
  EXPECT_DOUBLE_EQ(late.minMs, 4000);
  EXPECT_LT(late.maxMs, empty.maxMs);
  // With three repeats a meter is cheaper to find than a silent value is to pass.
  const Left patient = SearchLeft(WildcardFrontier(Digits("FFFFFFFF")), {1000, 600, 3}, 0);
  EXPECT_DOUBLE_EQ(patient.minMs, 10 * 6 * 1000.0);
  // Find by ID with an exact ID: one selection, never refined.
  const Left exact = SearchLeft(ExactFrontier(), w, kMaxMetersOnLine);
  EXPECT_DOUBLE_EQ(exact.minMs, 4000);
  EXPECT_DOUBLE_EQ(exact.maxMs, 8000);
}

// The wildcard search's most is a case a technician can plan with: the meters found so far
// extrapolated over the walk, each refined once, and never beyond the worst-case bound.
TEST(Progress, SearchRangeIsBoundedByTheMetersExpected) {
  EXPECT_EQ(ExpectedMetersLeft(0, 0), 1);
  EXPECT_EQ(ExpectedMetersLeft(5, 0.5), 6);    // ten per walk, five of them still ahead
  EXPECT_EQ(ExpectedMetersLeft(2, 0.01), 21);  // an early find counts over a tenth of the walk
  EXPECT_EQ(ExpectedMetersLeft(3, 1.0), 1);
  EXPECT_EQ(ExpectedMetersLeft(249, 0.2), 1);  // the line holds no more than 250
  const Waits w{1000, 600, 1};
  const SearchFrontier start = WildcardFrontier(Digits("FFFFFFFF"));
  EXPECT_DOUBLE_EQ(SearchTypicalMaxMs(start, w, 2), (10 + 20) * 8 * 1000.0);
  // At the start: ten selections, and one meter with its refinement at the most (the bound for a
  // full line would be over 16 hours).
  const Report first = SearchReport(Digits("FFFFFFFF"), w, 0, 0, 0);
  EXPECT_DOUBLE_EQ(first.prescribedLeft.minMs, 10 * 4 * 1000.0);
  EXPECT_DOUBLE_EQ(first.prescribedLeft.maxMs, 20 * 8 * 1000.0);
  EXPECT_EQ(LeftText(first.prescribedLeft), "40 s .. 2 min 40 s left");
  EXPECT_NE(first.assumes.find("about 1 more meter(s)"), std::string::npos) << first.assumes;
  // Meters found so far raise the most; the worst-case bound still caps it.
  const Report later = SearchReport(Digits("5FFFFFFF"), w, 12, 4, 0);
  EXPECT_GT(later.prescribedLeft.maxMs,
            SearchTypicalMaxMs(WildcardFrontier(Digits("5FFFFFFF")), w, 1));
  EXPECT_LE(later.prescribedLeft.maxMs,
            SearchLeft(WildcardFrontier(Digits("5FFFFFFF")), w, kMaxMetersOnLine - 4).maxMs);
  EXPECT_GE(later.prescribedLeft.maxMs, later.prescribedLeft.minMs);
}

TEST(Progress, SearchWaitsForAnswersThatFinishEarlyCountOnlyTheirOwnTime) {
  // A worker whose answer waits take 10 ms instead of the whole scan time: a silent selection is
  // one scan time and one short wait, an answered one a scan time and two.
  Waits early{1000, 0, 1, 10};
  const Left fixed = SearchLeft(ExactFrontier(), {1000, 0, 1}, 0);
  const Left quick = SearchLeft(ExactFrontier(), early, 0);
  EXPECT_DOUBLE_EQ(fixed.minMs, 2 * 2 * 1000.0);
  EXPECT_DOUBLE_EQ(quick.minMs, 2 * (1000.0 + 10));
  EXPECT_DOUBLE_EQ(quick.maxMs, (1000.0 + 10) + 2 * (1000.0 + 20));
  EXPECT_DOUBLE_EQ(SetAllRowMs(early, 500), 4 * 1020.0 + 250);
  const Report r = SearchReport(Digits("78563FFF"), early, 41, 3, 5, 9);
  EXPECT_DOUBLE_EQ(r.stepPrescribedMs, 5 * 1000.0 + 9 * 10);
}

TEST(Progress, SearchReportSaysDigitPrefixSelectionsAndShare) {
  const Report r = SearchReport(Digits("78563FFF"), {1000, 0, 1}, 41, 3, 5);
  EXPECT_EQ(r.where, "digit 5 of 8, prefix 7856, 41 selections");
  EXPECT_EQ(r.found, 3);
  EXPECT_DOUBLE_EQ(r.stepPrescribedMs, 5000);
  EXPECT_EQ(r.done, 785);  // 0.78563 of the walk
  EXPECT_LE(r.prescribedLeft.minMs, r.prescribedLeft.maxMs);
  EXPECT_EQ(SearchReport(Digits("0FFFFFFF"), {1000, 0, 1}, 0, 0, 0).where,
            "digit 1 of 8, 0 selections");
  EXPECT_EQ(ExactSearchReport("12345678", {1000, 0, 1}).where, "ID 12345678");
}

TEST(Progress, LineOfARunningJob) {
  JobState job;
  job.name = "Scan";
  EXPECT_EQ(ProgressLine(job, 0), "Scan");
  EXPECT_EQ(Percent(job), -1);
  // Two attempts done in 3.52 s against 3.2 s prescribed: 10 % slow, a third of it counted.
  Apply(job, ScanReport(kDefault, 1, 10, 2, 0, false, 0), 1760);
  Apply(job, ScanReport(kDefault, 1, 10, 2, 1, false, 0), 3520);
  EXPECT_DOUBLE_EQ(job.pace.prescribedMs, 3200);
  EXPECT_DOUBLE_EQ(job.largestStepMs, 1600);
  const double left = ScanLeftMs(kDefault, 2, 1, 10) * (3200 + 3520) / (3200 + 3200);
  EXPECT_NEAR(JobLeft(job, 3520).minMs, left, 1e-6);
  EXPECT_NEAR(JobLeft(job, 4520).minMs, left - 1000, 1e-6);
  EXPECT_EQ(ProgressLine(job, 3520),
            "Scan: address 2 of 1..10 \u00B7 0 found \u00B7 about " + DurationText(left) + " left");
  EXPECT_EQ(Percent(job), 10);
  // A periodic job counts down to its next step without pace.
  JobState periodic;
  periodic.name = "Automatic read";
  Apply(periodic, PeriodicReport(5000), 0);
  EXPECT_EQ(ProgressLine(periodic, 2000), "Automatic read: every 5 s \u00B7 next in 3 s");
}

}  // namespace
}  // namespace orvio::progress
