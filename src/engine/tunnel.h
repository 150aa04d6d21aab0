// The tunnel transaction: one M-Bus telegram through the gateway's tunnel registers. The caller
// writes the telegram to the tunnel block (33800) and begins the transaction, which then
//   1. waits the scan time (the gateway's wait for the meter; always the whole time),
//   2. takes the gateway's reply to the write and reads the answer status (33799),
//   3. waits for that answer (a Modbus wait: it ends early when the answer is complete),
//   4. reads the answer block when the status says an answer is ready, waits for it likewise,
// and hands the block's answer to `done`. The waits are two timers the front end owns (the
// window's Timer_mbus and Timer_mbusRespond); their ticks call ScanWaitOver and AnswerWaitOver.
// Scans, one-meter requests and the secondary-address search all run this one transaction.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

#include "core/bytes.h"
#include "engine/link.h"
#include "engine/trace.h"
#include "engine/wait_timer.h"

namespace orvio {

// How the replies are written to the trace: the bytes as received (the TCP frame with its MBAP
// header) before the answer is taken, or the taken answer in RTU form after it.
enum class TunnelTrace { kReceived, kTaken };

struct TunnelSetup {
  uint8_t unit = 1;        // the gateway's Modbus address
  int scanWaitMs = 1000;   // step 1
  int answerWaitMs = 600;  // steps 3 and 4
  TunnelTrace trace = TunnelTrace::kReceived;
  bool sendOnlyWithLink = false;  // no read goes out while neither link is open
};

struct TunnelResult {
  enum class End { kNoStatus, kNoAnswer, kAnswer, kStopped };
  End end = End::kNoStatus;
  ByteString answer;      // the block's answer in RTU form (kAnswer)
  int registerCount = 0;  // the registers the status announced
};

class TunnelTransaction : public QObject {
  Q_OBJECT
 public:
  TunnelTransaction(Link& link, DTimer& scanWait, DTimer& answerWait, Trace& trace);

  using Done = std::function<void(const TunnelResult&)>;
  // The telegram has just been written: starts the scan-time wait.
  void Begin(const TunnelSetup& setup, Done done);
  void ScanWaitOver();
  void AnswerWaitOver();
  // STOP: both waits end, nothing more is asked, `done` hears kStopped.
  void Stop();
  bool Running() const { return static_cast<bool>(done_); }
  // The registers the status announced in the transaction running or ended last.
  int AnnouncedRegisters() const { return registerCount_; }
  bool ReadingBlock() const { return blockStage_; }

 private:
  ByteString TakeReply();
  void ReadRegisters(uint16_t first, int count);
  void Finish(TunnelResult result);

  Link& link_;
  DTimer& scanWait_;
  DTimer& answerWait_;
  Trace& trace_;
  TunnelSetup setup_;
  Done done_;
  bool blockStage_ = false;
  int registerCount_ = 0;
};

}  // namespace orvio
