#include "engine/tunnel.h"

#include "core/gateway/register_map.h"
#include "core/mbus/requests.h"
#include "core/modbus/frames.h"

namespace orvio {

TunnelTransaction::TunnelTransaction(Link& link, DTimer& scanWait, DTimer& answerWait, Trace& trace)
    : link_(link), scanWait_(scanWait), answerWait_(answerWait), trace_(trace) {}

void TunnelTransaction::Begin(const TunnelSetup& setup, Done done) {
  setup_ = setup;
  done_ = std::move(done);
  blockStage_ = false;
  registerCount_ = 0;
  scanWait_.SetInterval(setup.scanWaitMs);
  answerWait_.SetInterval(setup.answerWaitMs);
  scanWait_.Start();
}

ByteString TunnelTransaction::TakeReply() {
  if (setup_.trace == TunnelTrace::kReceived) trace_.Line(UnmdLine(link_.Received()));
  UnwrappedAnswer u = link_.Answer();
  if (u.memoLine) trace_.Line(*u.memoLine);
  if (setup_.trace == TunnelTrace::kTaken) trace_.Line(UnmdLine(u.answer));
  return u.answer;
}

void TunnelTransaction::ReadRegisters(uint16_t first, int count) {
  link_.ClearAndPurge();
  if (setup_.sendOnlyWithLink && !link_.Open()) return;
  link_.Send(RequestKind::kReadInputRegisters, setup_.unit,
             ReadInputRegistersPdu(first, static_cast<uint32_t>(count)),
             [this](const std::string& line) { trace_.Line(line); });
}

void TunnelTransaction::ScanWaitOver() {
  scanWait_.Stop();
  if (!Running()) return;
  // The gateway's reply to the tunnel write.
  if (setup_.trace == TunnelTrace::kReceived)
    trace_.Line(UnmdLine(link_.Received()));
  else
    TakeReply();
  registerCount_ = 0;
  blockStage_ = false;
  ReadRegisters(reg::kTunnelStatus, reg::kStatusRegisterCount);
  answerWait_.Start();
}

void TunnelTransaction::AnswerWaitOver() {
  answerWait_.Stop();
  if (!Running()) return;
  const ByteString answer = TakeReply();
  if (!blockStage_) {
    if (answer.empty()) return Finish({TunnelResult::End::kNoStatus, {}, 0});
    const FirstRegister status = ReadFirstRegister(answer);
    if (status.check.statusPanel) trace_.CheckState(*status.check.statusPanel);
    if (status.check.memoLine) trace_.Line(*status.check.memoLine);
    const auto registers = TunnelAnswerRegisters(status);
    if (!registers) return Finish({TunnelResult::End::kNoStatus, {}, 0});
    registerCount_ = *registers;
    blockStage_ = true;
    ReadRegisters(reg::kTunnelBlock, registerCount_);
    answerWait_.Start();
    return;
  }
  if (answer.empty()) return Finish({TunnelResult::End::kNoAnswer, {}, registerCount_});
  Finish({TunnelResult::End::kAnswer, answer, registerCount_});
}

void TunnelTransaction::Stop() {
  scanWait_.Stop();
  answerWait_.Stop();
  if (Running()) Finish({TunnelResult::End::kStopped, {}, registerCount_});
}

void TunnelTransaction::Finish(TunnelResult result) {
  Done done = std::move(done_);
  done_ = nullptr;
  done(result);
}

}  // namespace orvio
