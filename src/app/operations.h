// Long operations of the window and the one table of the controls each of them keeps disabled
// while it runs. A new long operation adds a value to Op and one row to the table
// (TForm1::FillOperationTable in src/app/operations.cpp), and calls BeginOperation/EndOperation.
#pragma once

#include <QObject>
#include <QWidget>
#include <array>
#include <bitset>
#include <vector>

namespace orvio {

enum class Op {
  Scan,               // primary scan of the M-Bus line
  Search,             // "Find by ID": the secondary-address worker
  SetAllAddresses,    // "Set all Primary addresses", row after row
  ActivateAll,        // "Activate All in table"
  DeviceMapReadback,  // "Read modbus devices", one record per tick
  Site,               // the site files' jobs: reading the gateway, restoring a site file
};
inline constexpr int kOpCount = 6;

// Which operations run and which controls they hold. A control held by a running operation is
// disabled; it is enabled again once no running operation holds it. Started and Ended are the
// hooks for anything that shows the progress of long jobs.
class OperationTable : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  void SetRow(Op op, std::vector<QWidget*> controls);
  void Begin(Op op);
  // Ending an operation that is not running still enables what no running operation holds.
  void End(Op op);
  bool Running(Op op) const { return running_.test(Index(op)); }
  const std::vector<QWidget*>& Row(Op op) const { return rows_[Index(op)]; }

 signals:
  void Started(Op op);
  void Ended(Op op);

 private:
  static size_t Index(Op op) { return static_cast<size_t>(op); }
  bool Held(const QWidget* control) const;
  void Apply();

  std::array<std::vector<QWidget*>, kOpCount> rows_;
  std::bitset<kOpCount> running_;
};

}  // namespace orvio
