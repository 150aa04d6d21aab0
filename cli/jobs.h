// orvio-cli's jobs against a gateway: registers, scan, read, search, status, devices, site files
// and the commissioning report, the window's jobs run on the request engine without the window.
// Tables go to standard output (aligned, or one JSON object per line with --json); the trace
// (--trace) and the progress (on a terminal only) go to standard error.
#pragma once

#include <string>

namespace orvio::cli {

// Exit statuses of a job: it ran to its end; it ran but the gateway did not answer or an answer
// failed its checks; the arguments or the link were unusable; stopped by SIGINT / SIGTERM.
inline constexpr int kJobDone = 0;
inline constexpr int kJobFailed = 1;
inline constexpr int kJobUnusable = 2;
inline constexpr int kJobInterrupted = 130;  // SIGINT
inline constexpr int kJobTerminated = 143;   // SIGTERM

// Whether `word` names one of the jobs.
bool IsJob(const std::string& word);

// Runs the job named by argv[1] with the options after it; returns the exit status.
int RunJob(int argc, char** argv);

}  // namespace orvio::cli
