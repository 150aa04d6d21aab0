// One Modbus request and its wait: the request has been sent, a wait bound to the link (a timer
// the front end owns) runs, and its end hands what arrived, in RTU form, to what the request was
// sent for. The timer's tick calls WaitOver; a complete answer ends the wait early (see Link).
//
// What an answer is for travels with the exchange, not in flags: each request begun says what to
// do with its answer. A request begun while another's answer is awaited on the same timer takes
// its place (the buffers were emptied for it, so the earlier answer is lost) and the tick serves
// it; one begun without a use of its own (Resume) leaves the earlier use standing.
#pragma once

#include <QObject>
#include <functional>

#include "core/bytes.h"
#include "engine/link.h"
#include "engine/trace.h"
#include "engine/wait_timer.h"

namespace orvio {

class Exchange {
 public:
  using Done = std::function<void(const ByteString& answer)>;
  // `idle` serves a tick that no request is waiting for (a request with no use of its own).
  Exchange(Link& link, DTimer& wait, Trace& trace, Done idle = nullptr);

  // The answer, when it comes, is for `done`; the wait is not started (the request may not even
  // go out). A later tick serves `done` once.
  void Expect(Done done);
  // The request has just been sent: starts the wait with `waitMs` (the timer's interval as it is
  // when negative) for `done`.
  void Begin(int waitMs, Done done);
  // Starts the wait without changing what its answer is for.
  void Resume(int waitMs);
  // The wait's tick: stops the timer, takes the answer (the unwrapping's trace line first) and
  // hands it to the use it was expected for.
  void WaitOver();
  // Ends the wait; the answer's use is dropped without being called.
  void Stop();

 private:
  void Start(int waitMs);

  Link& link_;
  DTimer& wait_;
  Trace& trace_;
  Done idle_;
  Done done_;
};

}  // namespace orvio
