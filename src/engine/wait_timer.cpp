#include "engine/wait_timer.h"

#include "engine/link.h"

namespace orvio {

DTimer::DTimer(QObject* parent, int interval) : QObject(parent), interval_(interval) {
  timer_.setInterval(interval);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &DTimer::Timer);
}

void DTimer::SetEnabled(bool on) {
  if (on == timer_.isActive()) return;
  if (on) {
    timer_.start(interval_);
    if (link_) link_->Arm(this);
  } else {
    timer_.stop();
  }
}

void DTimer::SetInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (timer_.isActive())
    timer_.start(ms);
  else
    timer_.setInterval(ms);
}

void DTimer::EndNow() {
  if (timer_.isActive()) timer_.start(0);
}

void DTimer::Restart() {
  if (timer_.isActive()) timer_.start(interval_);
}

}  // namespace orvio
