#include "app/progress_widget.h"

#include <QHBoxLayout>
#include <algorithm>

namespace orvio {

namespace {
constexpr int kRefreshMs = 500;
// The view may be squeezed to this width (the text is cut, its tooltip holds all of it): a long
// line must not make the window wider.
constexpr int kLeastWidth = 160;

const char* JobName(Job job) {
  switch (job) {
    case Job::Scan: return "Scan";
    case Job::SingleRead: return "Read";
    case Job::Search: return "Search";
    case Job::SetAll: return "Set all";
    case Job::ActivateAll: return "Activate All";
    case Job::Readback: return "Device map";
    case Job::Status: return "Status";
    case Job::AutoRead: return "Automatic read";
    case Job::Site: return "Site";
  }
  return "";
}
}  // namespace

Job JobOf(Op op) {
  switch (op) {
    case Op::Scan: return Job::Scan;
    case Op::Search: return Job::Search;
    case Op::SetAllAddresses: return Job::SetAll;
    case Op::ActivateAll: return Job::ActivateAll;
    case Op::DeviceMapReadback: return Job::Readback;
    case Op::Site: return Job::Site;
  }
  return Job::Scan;
}

ProgressWidget::ProgressWidget(QWidget* parent)
    : QWidget(parent), label_(new QLabel), bar_(new QProgressBar) {
  setObjectName("JobProgress");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  label_->setMinimumWidth(kLeastWidth);
  bar_->setRange(0, 100);
  bar_->setMaximumWidth(100);
  bar_->setMaximumHeight(16);
  row->addWidget(label_);
  row->addWidget(bar_);
  tick_.setInterval(kRefreshMs);
  connect(&tick_, &QTimer::timeout, this, &ProgressWidget::Refresh);
  Refresh();
}

void ProgressWidget::Follow(const OperationTable& operations) {
  connect(&operations, &OperationTable::Started, this, [this](Op op) { Start(JobOf(op)); });
  connect(&operations, &OperationTable::Ended, this, [this](Op op) { Finish(JobOf(op)); });
}

void ProgressWidget::Start(Job job) {
  Tracked& r = jobs_[job];
  r.state = progress::JobState{};
  r.state.name = JobName(job);
  r.clock.start();
  order_.erase(std::remove(order_.begin(), order_.end(), job), order_.end());
  order_.push_back(job);
  tick_.start();
  Refresh();
}

void ProgressWidget::Update(Job job, const progress::Report& report) {
  auto it = jobs_.find(job);
  if (it == jobs_.end()) return;
  progress::Apply(it->second.state, report, static_cast<double>(it->second.clock.elapsed()));
  Refresh();
}

void ProgressWidget::Finish(Job job) {
  jobs_.erase(job);
  order_.erase(std::remove(order_.begin(), order_.end(), job), order_.end());
  if (jobs_.empty()) tick_.stop();
  Refresh();
}

QString ProgressWidget::Text() const { return label_->text(); }

int ProgressWidget::BarValue() const { return bar_->isHidden() ? -1 : bar_->value(); }

const progress::JobState* ProgressWidget::State(Job job) const {
  auto it = jobs_.find(job);
  return it == jobs_.end() ? nullptr : &it->second.state;
}

double ProgressWidget::JobTimeMs(Job job) const {
  auto it = jobs_.find(job);
  return it == jobs_.end() ? 0 : static_cast<double>(it->second.clock.elapsed());
}

void ProgressWidget::Refresh() {
  QStringList lines;
  for (Job job : order_) {
    const Tracked& r = jobs_.at(job);
    lines << QString::fromStdString(
        progress::ProgressLine(r.state, static_cast<double>(r.clock.elapsed())));
  }
  label_->setText(lines.join(QStringLiteral("   |   ")));
  // The tooltip also says what each time left assumes.
  QStringList tips = lines;
  for (Job job : order_) {
    const std::string& assumes = jobs_.at(job).state.last.assumes;
    if (!assumes.empty()) tips << QString::fromStdString(assumes);
  }
  label_->setToolTip(tips.join('\n'));
  const int percent = order_.empty() ? -1 : progress::Percent(jobs_.at(order_.back()).state);
  bar_->setVisible(percent >= 0);
  if (percent >= 0) bar_->setValue(percent);
  setVisible(!order_.empty());
  emit Shown(label_->text());
}

}  // namespace orvio
