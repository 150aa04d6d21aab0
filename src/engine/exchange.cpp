#include "engine/exchange.h"

#include <utility>

namespace orvio {

Exchange::Exchange(Link& link, DTimer& wait, Trace& trace, Done idle)
    : link_(link), wait_(wait), trace_(trace), idle_(std::move(idle)) {}

void Exchange::Expect(Done done) { done_ = std::move(done); }

void Exchange::Begin(int waitMs, Done done) {
  Expect(std::move(done));
  Start(waitMs);
}

void Exchange::Resume(int waitMs) { Start(waitMs); }

void Exchange::Start(int waitMs) {
  if (waitMs >= 0) wait_.SetInterval(waitMs);
  wait_.Start();
}

void Exchange::WaitOver() {
  wait_.Stop();
  UnwrappedAnswer u = link_.Answer();
  if (u.memoLine) trace_.Line(*u.memoLine);
  Done done = std::exchange(done_, nullptr);
  if (!done) done = idle_;
  if (done) done(u.answer);
}

void Exchange::Stop() {
  wait_.Stop();
  done_ = nullptr;
}

}  // namespace orvio
