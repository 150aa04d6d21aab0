// Readback of the gateway's device map into GridDevices (card version, active-device bitmap,
// then one record per tick) and the grid's row selection and marks.
#include "core/gateway/device_map.h"

#include <QCursor>

#include "app/tform1.h"
#include "core/progress/progress.h"
#include "core/tables/device_table.h"
#include "mbus/decode_window.h"

namespace orvio {

namespace {

bool Marked(const DeviceMapState& d, int row) {
  return row >= 1 && row < static_cast<int>(d.RowMarks.size()) &&
         d.RowMarks[static_cast<size_t>(row)];
}

}  // namespace

void TForm1::RepaintDeviceGrid() {
  StringGrid* grid = GridDevices;
  const QColor highlight = grid->palette().highlight().color();
  grid->cellColor = [this, highlight](int, int row) {
    return Marked(devices, row) ? highlight : QColor(Qt::white);
  };
  grid->RefreshColors();
  for (int row = grid->FixedRows(); row < grid->rowCount(); ++row) {
    const QColor text = Marked(devices, row) ? QColor(Qt::white) : QColor(Qt::black);
    for (int col = 0; col < grid->columnCount(); ++col)
      if (QTableWidgetItem* it = grid->item(row, col)) it->setForeground(text);
  }
}

// ---- Timer_free_command: the one-shot collector of the console, the activation commands, the
// readback's first two steps and the real-address listing; each answer goes where its request
// said ----

void TForm1::StartFreeCommand(FreeCommand what, int intervalMs) {
  devices.VersionReadPending = false;
  devices.DeviceListPending = false;
  if (what == FreeCommand::RealAddresses) {
    SetCommandPending();
    freeCommandAnswer->Begin(intervalMs, [this](const ByteString& answer) {
      MemoAdd(UnmdLine(answer));
      if (!answer.empty()) RealAddressListing(answer);
      ClearCommandPending();
    });
    return;
  }
  ClearCommandPending();
  freeCommandAnswer->Begin(intervalMs, nullptr);  // the console's answer is only logged
}

void TForm1::Timer_free_commandTimer() { freeCommandAnswer->WaitOver(); }

// ---- readback ----

void TForm1::buttonReadModbusClick() {
  if (!CheckLink()) return;
  devices.VersionReadPending = true;
  devices.DeviceListPending = true;
  ClearCommandPending();
  DeviceMapReadback::Handlers h;
  h.version = [this](const ByteString&, int size) { DeviceMapVersionStep(size); };
  h.bitmap = [this](int count, bool) { DeviceMapBitmapStep(count); };
  h.recordsBegin = [this](int count) {
    devices.DeviceRecordIndex = 1;
    MemoAdd(device_text::kNumberOfDevices + std::to_string(count));
    BeginOperation(Op::DeviceMapReadback);
    ReportProgress(
        Job::Readback,
        progress::StepsReport("record", 0, count, AnswerWaitMs(TimerReadDevices->Interval())));
  };
  h.record = [this](int index, const DeviceRowCells* cells) { DeviceMapRecordStep(index, cells); };
  h.end = [this] {
    if (deviceMapReadback->Count() > 0) EndOperation(Op::DeviceMapReadback);
  };
  deviceMapReadback->Begin(UD_modbusTimeout->Position(), DecimalSeparator(), std::move(h));
}

void TForm1::DeviceMapVersionStep(int recordSize) {
  devices.DeviceRecordSize = recordSize;
  devices.VersionReadPending = false;
}

void TForm1::DeviceMapBitmapStep(int count) {
  SetActiveDeviceCount(count);
  devices.DeviceListPending = false;
  if (count == 0) MemoAdd(QString(device_text::kNoActiveDevices));
}

void TForm1::TimerReadDevicesTimer() { recordAnswer->WaitOver(); }

void TForm1::DeviceMapRecordStep(int index, const DeviceRowCells* cells) {
  // A record that did not answer adds nothing beyond its bare "UNMD:" line.
  if (cells) {
    if (!AppendDeviceRow(*GridDevices, *cells))
      MemoAdd(device_text::kTableFull + std::to_string(index));
    RepaintDeviceGrid();
  }
  devices.DeviceRecordIndex = index + 1;
  ReportProgress(Job::Readback, progress::StepsReport("record", index, deviceMapReadback->Count(),
                                                      AnswerWaitMs(TimerReadDevices->Interval())));
}

namespace {
// The row becomes the selected device: its "Addr " cell is the address commands act on.
void SelectDeviceRow(DeviceMapState& d, const StringGrid& grid, QLabel* label, int row) {
  d.SelectedDeviceRow = row;
  d.SelectedDeviceAddress = DeviceAddressAt(grid, row).value_or(-1);
  label->setText(QString(device_text::kSelectedPrefix) + QString::number(d.SelectedDeviceAddress));
}

bool IsDataRow(const StringGrid& grid, int row) { return row >= 1 && row < grid.rowCount(); }
}  // namespace

void TForm1::GridDevicesMouseDown(Qt::MouseButton button, int, int, bool) {
  if (button != Qt::RightButton) return;
  RepaintDeviceGrid();
  raise();
  activateWindow();
  ContextModbusMenu->popup(QCursor::pos());
}

void TForm1::GridDevicesMouseUp(Qt::MouseButton, int, int row, bool ctrl) {
  const int lastMark = static_cast<int>(devices.RowMarks.size()) - 1;
  if (devices.DeviceGridDoubleClicked) {
    devices.DeviceGridDoubleClicked = false;
    for (int r = 1; r < GridDevices->rowCount() && r <= lastMark; ++r)
      devices.RowMarks[static_cast<size_t>(r)] = true;
  } else if (ctrl && IsDataRow(*GridDevices, row)) {
    if (row <= lastMark) {
      bool& mark = devices.RowMarks[static_cast<size_t>(row)];
      mark = !mark;
    }
  } else {
    devices.RowMarks.fill(false);
    if (IsDataRow(*GridDevices, row)) {
      if (row <= lastMark) devices.RowMarks[static_cast<size_t>(row)] = true;
      SelectDeviceRow(devices, *GridDevices, Label11, row);
    }
  }
  RepaintDeviceGrid();
}

void TForm1::GridDevicesDblClick() { devices.DeviceGridDoubleClicked = true; }

void TForm1::GridDevicesSelectCell(int, int row) {
  if (IsDataRow(*GridDevices, row)) SelectDeviceRow(devices, *GridDevices, Label11, row);
}

}  // namespace orvio
