#include "engine/site_jobs.h"

#include <algorithm>
#include <utility>

#include "core/gateway/device_map.h"
#include "core/gateway/status_readout.h"
#include "core/mbus/records.h"
#include "core/modbus/answer.h"

namespace orvio {

namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text;
}

}  // namespace

std::string WriteRefusal(const ByteString& answer) {
  if (answer.empty()) return "no answer";
  const AnswerCheck check = ValidateAnswer(answer);
  if (check.ok()) return {};
  std::string why = Trimmed(check.memoLine.value_or("the answer failed its checks"));
  if (why.rfind("Error - ", 0) == 0) why = why.substr(8);
  return why;
}

// ---- reading ----

SiteRead::SiteRead(Link& link, Exchange& exchange, SendRequestFn send, Trace& trace)
    : trace_(trace),
      readout_(link, exchange, send),
      readback_(link, exchange, exchange, send, trace) {}

void SiteRead::Begin(int waitMs, Handlers handlers) {
  handlers_ = std::move(handlers);
  site_ = {};
  waitMs_ = waitMs;
  done_ = 0;
  answered_ = false;
  std::vector<GatewayRequest> requests;
  for (const StatusStepSpec& step : StatusSteps()) requests.push_back(step.request);
  Progress();
  readout_.Begin(std::move(requests), waitMs,
                 {[this](size_t i, const ByteString& a) { StatusAnswer(i, a); },
                  [this] {
                    DeviceMapReadback::Handlers h;
                    h.version = [this](const ByteString&, int) {
                      ++done_;
                      Progress();
                    };
                    h.bitmap = [this](int count, bool) {
                      ++done_;
                      if (count == 0) trace_.Line(device_text::kNoActiveDevices);
                      Progress();
                    };
                    h.recordsBegin = [this](int count) {
                      trace_.Line(device_text::kNumberOfDevices + std::to_string(count));
                      Progress();
                    };
                    h.record = [this](int, const DeviceRowCells* cells) {
                      ++done_;
                      if (cells) {
                        DeviceRowCells row = *cells;
                        for (std::string& cell : row) cell = Latin1ToUtf8(cell);
                        site_.devices.push_back(std::move(row));
                      }
                      Progress();
                    };
                    h.end = [this] {
                      if (handlers_.end) handlers_.end(std::move(site_), answered_);
                    };
                    readback_.Begin(waitMs_, '.', std::move(h));
                  }});
}

void SiteRead::StatusAnswer(size_t index, const ByteString& answer) {
  const int step = static_cast<int>(index) + 1;
  const StatusStepSpec* spec = StatusStepAt(step);
  ++done_;
  if (spec && !answer.empty()) {
    answered_ = true;
    const AnswerCheck check = TracedCheck(trace_, answer, spec->check);
    const StatusLines out = spec->build(answer, check);
    for (const std::string& line : out.lines) trace_.Line(line);
    if (!out.lines.empty()) {
      const site::ReadItem& item = site::ReadItems()[index];
      site_.settings.push_back({item.key, item.name,
                                Latin1ToUtf8(StatusItemValue(step, out.lines.front())),
                                site::Source::kRead});
    }
  }
  trace_.Line(StatusUnmdLine(answer));
  Progress();
}

void SiteRead::Progress() {
  if (!handlers_.progress) return;
  // The readout's steps, the version and the bitmap, then the records once their number is known.
  handlers_.progress(done_, kStatusStepCount + 2 + std::max(0, readback_.Count()));
}

void SiteRead::Stop() {
  readout_.Stop();
  readback_.Stop();
}

// ---- restoring ----

SiteRestore::SiteRestore(Link& link, Exchange& exchange, SendRequestFn send, Trace& trace)
    : trace_(trace), sequence_(link, exchange, std::move(send)) {}

void SiteRestore::Begin(std::vector<site::RestoreStep> steps, int waitMs, Handlers handlers) {
  steps_ = std::move(steps);
  handlers_ = std::move(handlers);
  refused_.clear();
  std::vector<GatewayRequest> requests;
  for (const site::RestoreStep& step : steps_) requests.push_back(step.request);
  const int total = static_cast<int>(steps_.size());
  if (handlers_.progress) handlers_.progress(0, total);
  sequence_.Begin(std::move(requests), waitMs,
                  {[this, total](size_t i, const ByteString& answer) {
                     trace_.Line(UnmdLine(answer));
                     const std::string why = WriteRefusal(answer);
                     if (!why.empty()) {
                       const std::string line = steps_[i].name + ": " + why;
                       trace_.Line("Refused: " + line);
                       refused_.push_back(line);
                     }
                     if (handlers_.progress) handlers_.progress(static_cast<int>(i) + 1, total);
                   },
                   [this] {
                     if (handlers_.end) handlers_.end(refused_);
                   }});
}

}  // namespace orvio
