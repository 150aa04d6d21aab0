// The operation table: which running operation disables which controls.
#include "app/operations.h"

#include <algorithm>

#include "app/tform1.h"

namespace orvio {

void OperationTable::SetRow(Op op, std::vector<QWidget*> controls) {
  rows_[Index(op)] = std::move(controls);
}

bool OperationTable::Held(const QWidget* control) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (!running_.test(i)) continue;
    const auto& row = rows_[i];
    if (std::find(row.begin(), row.end(), control) != row.end()) return true;
  }
  return false;
}

void OperationTable::Apply() {
  for (const auto& row : rows_)
    for (QWidget* control : row) control->setEnabled(!Held(control));
}

void OperationTable::Begin(Op op) {
  running_.set(Index(op));
  Apply();
  emit Started(op);
}

void OperationTable::End(Op op) {
  const bool wasRunning = Running(op);
  running_.reset(Index(op));
  Apply();
  if (wasRunning) emit Ended(op);
}

void TForm1::FillOperationTable() {
  // Each operation holds the buttons that would start another user of the link (or the tunnel)
  // while it runs.
  operations_.SetRow(Op::Scan, {BitBtn1, BitBtn19, buttonReadModbus, BitBtn22, BitBtn21, BitBtn23,
                                Button4, Butt_activateAll});
  operations_.SetRow(Op::Search, {BitBtn1, BitBtn19, buttonReadModbus, BitBtn22, BitBtn21, editID});
  operations_.SetRow(Op::SetAllAddresses, {BitBtn1, BitBtn19, buttonReadModbus, BitBtn22, BitBtn21,
                                           BitBtn23, Button4, Butt_activateAll});
  operations_.SetRow(Op::ActivateAll, {BitBtn19, buttonReadModbus, BitBtn22, BitBtn1, BitBtn2,
                                       BitBtn21, Button4, BitBtn23, Butt_command_send});
  operations_.SetRow(Op::DeviceMapReadback, {BitBtn1, BitBtn2, BitBtn19, buttonReadModbus, BitBtn22,
                                             BitBtn21, BitBtn23, Butt_activateAll});
  operations_.SetRow(Op::Site, {BitBtn1, BitBtn18, BitBtn19, buttonReadModbus, BitBtn22, BitBtn21,
                                BitBtn23, Button4, Butt_activateAll});
}

void TForm1::BeginOperation(Op op) { operations_.Begin(op); }

void TForm1::EndOperation(Op op) { operations_.End(op); }

namespace {
// With waits that finish early an answer is taken to come almost at once, as a gateway's does;
// the pace a job keeps corrects the estimate on a slower line.
constexpr int kAnswerMsFinishingEarly = 10;
}  // namespace

int TForm1::AnswerWaitMs(int timeoutMs) const {
  return link.FinishEarly() ? kAnswerMsFinishingEarly : timeoutMs;
}

progress::Waits TForm1::PrescribedWaits() const {
  return {UD_timeout->Position(), AnswerWaitMs(UD_modbusTimeout->Position()), UD_retry->Position(),
          link.FinishEarly() ? kAnswerMsFinishingEarly : -1};
}

// A running tunnel transaction (scan, one-meter request) waits what its two timers were set to
// when it started, whatever the controls say since.
progress::Waits TForm1::TunnelWaits() const {
  return {Timer_mbus->Interval(), AnswerWaitMs(Timer_mbusRespond->Interval()),
          UD_retry->Position()};
}

}  // namespace orvio
