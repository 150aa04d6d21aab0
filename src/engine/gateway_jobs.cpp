#include "engine/gateway_jobs.h"

#include <optional>
#include <utility>

#include "core/gateway/device_map.h"
#include "core/gateway/register_map.h"
#include "core/modbus/answer.h"
#include "core/modbus/registers.h"

namespace orvio {

AnswerCheck TracedCheck(Trace& trace, const ByteString& answer, CheckForm form) {
  const AnswerCheck check = ValidateAnswer(answer, form);
  if (check.statusPanel) trace.CheckState(*check.statusPanel);
  if (check.memoLine) trace.Line(*check.memoLine);
  return check;
}

RequestSequence::RequestSequence(Link& link, Exchange& exchange, SendRequestFn send)
    : link_(link), exchange_(exchange), send_(std::move(send)) {}

void RequestSequence::Begin(std::vector<GatewayRequest> requests, int waitMs, Handlers handlers) {
  requests_ = std::move(requests);
  handlers_ = std::move(handlers);
  waitMs_ = waitMs;
  index_ = 0;
  running_ = !requests_.empty();
  link_.ClearAndPurge();
  if (!running_) {
    if (handlers_.end) handlers_.end();
    return;
  }
  send_(requests_[0]);
  exchange_.Begin(waitMs_, [this](const ByteString& a) { Answer(a); });
}

void RequestSequence::Answer(const ByteString& answer) {
  if (handlers_.answer) handlers_.answer(index_, answer);
  if (!running_) return;  // stopped by the handler
  ++index_;
  link_.ClearAndPurge();
  if (index_ >= requests_.size()) {
    running_ = false;
    if (handlers_.end) handlers_.end();
    return;
  }
  send_(requests_[index_]);
  exchange_.Begin(waitMs_, [this](const ByteString& a) { Answer(a); });
}

void RequestSequence::Stop() {
  if (!running_) return;
  running_ = false;
  exchange_.Stop();
}

DeviceMapReadback::DeviceMapReadback(Link& link, Exchange& steps, Exchange& records,
                                     SendRequestFn send, Trace& trace)
    : link_(link), steps_(steps), records_(records), send_(std::move(send)), trace_(trace) {}

void DeviceMapReadback::Begin(int waitMs, char decimalSeparator, Handlers handlers) {
  handlers_ = std::move(handlers);
  waitMs_ = waitMs;
  decimalSeparator_ = decimalSeparator;
  running_ = true;
  count_ = 0;
  index_ = 0;
  link_.ClearAndPurge();
  send_(ReadInput(reg::kCardVersion, reg::kStatusRegisterCount));
  steps_.Begin(waitMs_, [this](const ByteString& a) { Version(a); });
}

void DeviceMapReadback::Version(const ByteString& answer) {
  trace_.Line(UnmdLine(answer));
  // Without a (valid) version answer the short records of the first cards are assumed.
  recordSize_ = reg::kDeviceRecordShort;
  if (!answer.empty()) {
    const FirstRegister version = ReadFirstRegister(answer);
    if (version.valid) recordSize_ = DeviceRecordSize(version.hi, version.lo);
  }
  if (handlers_.version) handlers_.version(answer, recordSize_);
  if (!running_) return;
  link_.ClearAndPurge();
  send_(ReadInput(reg::kActiveBitmap, reg::kActiveBitmapCount));
  steps_.Begin(-1, [this](const ByteString& a) { Bitmap(a); });
}

void DeviceMapReadback::Bitmap(const ByteString& answer) {
  trace_.Line(UnmdLine(answer));
  count_ = 0;
  bool checked = false;
  if (!answer.empty()) {
    const AnswerCheck check = TracedCheck(trace_, answer, CheckForm::kFull);
    if (check.ok()) {
      const RegisterBitmap bitmap = BitmapOfRegisters(ReadAnswerRegisters(answer, check));
      trace_.Line(bitmap.hexText);
      count_ = bitmap.ones;
      checked = true;
    }
  }
  if (handlers_.bitmap) handlers_.bitmap(count_, checked);
  if (!running_) return;
  if (count_ <= 0) {
    running_ = false;
    if (handlers_.end) handlers_.end();
    return;
  }
  index_ = 1;
  SendRecord();
  if (handlers_.recordsBegin) handlers_.recordsBegin(count_);
}

void DeviceMapReadback::SendRecord() {
  link_.ClearAndPurge();
  send_(DeviceRecordRequest(index_, recordSize_));
  records_.Begin(waitMs_, [this](const ByteString& a) { Record(a); });
}

void DeviceMapReadback::Record(const ByteString& answer) {
  trace_.Line(UnmdLine(answer));
  std::optional<DeviceRowCells> cells;
  if (!answer.empty()) {
    const AnswerCheck check = TracedCheck(trace_, answer, CheckForm::kDeviceMap);
    if (check.ok())
      cells = DeviceRow(DecodeDeviceRecord(ReadAnswerRegisters(answer, check)), recordSize_,
                        decimalSeparator_);
  }
  if (handlers_.record) handlers_.record(index_, cells ? &*cells : nullptr);
  if (!running_) return;
  ++index_;
  if (index_ <= count_) return SendRecord();
  link_.ClearAndPurge();
  running_ = false;
  if (handlers_.end) handlers_.end();
}

void DeviceMapReadback::Stop() {
  if (!running_) return;
  running_ = false;
  steps_.Stop();
  records_.Stop();
}

}  // namespace orvio
