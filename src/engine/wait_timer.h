// The timers the jobs wait on. A timer with the semantics of the handlers: enabling a running
// timer, or giving it the interval it already has, does not restart its countdown; changing the
// interval of a running timer starts the countdown anew. One-shot use is done by the handler
// stopping the timer in its tick.
//
// A timer that waits after a request is bound to the link (`WaitOn`): a countdown started while
// a serial frame is still leaving the port starts anew once the frame is out, and a wait for a
// Modbus answer ends at once when the answers to the requests sent are complete (when finishing
// early is on).
#pragma once

#include <QObject>
#include <QTimer>

namespace orvio {

class Link;

class DTimer : public QObject {
  Q_OBJECT
 public:
  explicit DTimer(QObject* parent, int interval = 1000);
  bool Enabled() const { return timer_.isActive(); }
  void SetEnabled(bool on);
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  void Start() { SetEnabled(true); }
  void Stop() { SetEnabled(false); }

  enum class Ends { kAfterInterval, kWithAnswer };
  // Makes this timer a wait after requests on `link`; `ends` says whether a complete answer ends
  // it early.
  void WaitOn(Link* link, Ends ends) {
    link_ = link;
    ends_ = ends;
  }
  bool EndsWithAnswer() const { return ends_ == Ends::kWithAnswer; }
  // Ends a running countdown now: the tick follows from the event loop, as any tick does.
  void EndNow();
  // Starts a running countdown anew with the whole interval.
  void Restart();

 signals:
  void Timer();

 private:
  QTimer timer_;
  int interval_;
  Link* link_ = nullptr;
  Ends ends_ = Ends::kAfterInterval;
};

}  // namespace orvio
