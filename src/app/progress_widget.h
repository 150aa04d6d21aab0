// The status bar's permanent progress view of the long jobs: what runs, where it is, what it has
// found and the time left (computed by the core's progress model from the waits the settings
// prescribe and the pace observed). It shows nothing while no job runs. Jobs in the operation
// table start and end with its Started and Ended signals; the others call Start and Finish.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <map>
#include <vector>

#include "app/operations.h"
#include "core/progress/progress.h"

namespace orvio {

enum class Job {
  Scan,         // primary scan
  SingleRead,   // read of one meter with its repeats (also medium change and counter value)
  Search,       // "Find by ID": exact ID or the wildcard search
  SetAll,       // "Set all Primary addresses"
  ActivateAll,  // "Activate All in table"
  Readback,     // device-map readback
  Status,       // status readout
  AutoRead,     // automatic register reading
  Site,         // reading the gateway for a site file, restoring one
};

// The job an operation of the operation table is.
Job JobOf(Op op);

class ProgressWidget : public QWidget {
  Q_OBJECT
 public:
  explicit ProgressWidget(QWidget* parent = nullptr);
  // Follows the operation table's Started and Ended.
  void Follow(const OperationTable& operations);

  // A job starts (again: its progress starts over), reports a step, ends. A report for a job that
  // is not running is dropped (a late report of a stopped job must not bring it back).
  void Start(Job job);
  void Update(Job job, const progress::Report& report);
  void Finish(Job job);

  bool Running(Job job) const { return jobs_.count(job) != 0; }
  // The text shown: one part per running job, the latest started last; "" when none runs.
  QString Text() const;
  // The bar's percentage of the latest started job, -1 when hidden.
  int BarValue() const;
  // A running job's state and its time since the start (benchmarks).
  const progress::JobState* State(Job job) const;
  double JobTimeMs(Job job) const;

 signals:
  // The text shown has been set anew (also when it did not change).
  void Shown(const QString& text);

 private:
  struct Tracked {
    progress::JobState state;
    QElapsedTimer clock;
  };
  void Refresh();

  QLabel* label_;
  QProgressBar* bar_;
  QTimer tick_;  // counts the time left down between steps
  std::map<Job, Tracked> jobs_;
  std::vector<Job> order_;  // running jobs, by start
};

}  // namespace orvio
