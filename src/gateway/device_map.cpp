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
// readback's first two steps and the real-address listing ----

void TForm1::StartFreeCommand(FreeCommand what, int intervalMs) {
  devices.VersionReadPending = what == FreeCommand::DeviceMap;
  devices.DeviceListPending = what == FreeCommand::DeviceMap;
  if (what == FreeCommand::RealAddresses)
    SetCommandPending();
  else
    ClearCommandPending();
  Timer_free_command->SetInterval(intervalMs);
  Timer_free_command->Start();
}

void TForm1::Timer_free_commandTimer() {
  Timer_free_command->Stop();
  const ByteString answer = TakeAnswer();
  MemoAdd(UnmdLine(answer));
  if (devices.VersionReadPending) {
    DeviceMapVersionStep(answer);
  } else if (devices.DeviceListPending) {
    DeviceMapBitmapStep(answer);
  } else if (AwaitingCommandAnswer()) {
    if (!answer.empty()) RealAddressListing(answer);
    ClearCommandPending();
  }
  // Otherwise a console answer, or an activation command's: the line above is all.
}

// ---- readback ----

void TForm1::buttonReadModbusClick() {
  if (!CheckLink()) return;
  ClearBuffersAndPurge();
  SendGatewayRequest(ReadInput(reg::kCardVersion, reg::kStatusRegisterCount));
  StartFreeCommand(FreeCommand::DeviceMap, UD_modbusTimeout->Position());
}

void TForm1::DeviceMapVersionStep(const ByteString& answer) {
  // Without a (valid) version answer the short records of the first cards are assumed.
  devices.DeviceRecordSize = reg::kDeviceRecordShort;
  if (!answer.empty()) {
    const FirstRegister version = ReadFirstRegister(answer);
    if (version.valid) devices.DeviceRecordSize = orvio::DeviceRecordSize(version.hi, version.lo);
  }
  devices.VersionReadPending = false;
  ClearBuffersAndPurge();
  SendGatewayRequest(ReadInput(reg::kActiveBitmap, reg::kActiveBitmapCount));
  Timer_free_command->Start();
}

void TForm1::DeviceMapBitmapStep(const ByteString& answer) {
  devices.ActiveDeviceCount = 0;
  if (!answer.empty()) DecodeRegisterTable(answer, RegisterTableMode::Bitmap, 0, 0);
  devices.DeviceListPending = false;
  if (devices.ActiveDeviceCount == 0) {
    MemoAdd(QString(device_text::kNoActiveDevices));
    return;
  }
  TimerReadDevices->SetInterval(UD_modbusTimeout->Position());
  ClearBuffersAndPurge();
  devices.DeviceRecordIndex = 1;
  SendGatewayRequest(DeviceRecordRequest(devices.DeviceRecordIndex, devices.DeviceRecordSize));
  TimerReadDevices->Start();
  MemoAdd(device_text::kNumberOfDevices + std::to_string(devices.ActiveDeviceCount));
  BeginOperation(Op::DeviceMapReadback);
  ReportProgress(Job::Readback, progress::StepsReport("record", 0, devices.ActiveDeviceCount,
                                                      AnswerWaitMs(TimerReadDevices->Interval())));
}

void TForm1::TimerReadDevicesTimer() {
  const ByteString answer = TakeAnswer();
  MemoAdd(UnmdLine(answer));
  // A record that did not answer adds nothing beyond its bare "UNMD:" line.
  if (devices.DeviceRecordIndex <= devices.ActiveDeviceCount && !answer.empty()) {
    const AnswerCheck check = ValidateAnswer(answer, CheckForm::kDeviceMap);
    if (check.ok()) {
      const TModbusDevice device = DecodeDeviceRecord(ReadAnswerRegisters(answer, check));
      if (!AppendDeviceRow(*GridDevices,
                           DeviceRow(device, devices.DeviceRecordSize, DecimalSeparator())))
        MemoAdd(device_text::kTableFull + std::to_string(devices.DeviceRecordIndex));
      RepaintDeviceGrid();
    }
  }
  ++devices.DeviceRecordIndex;
  ReportProgress(Job::Readback, progress::StepsReport("record", devices.DeviceRecordIndex - 1,
                                                      devices.ActiveDeviceCount,
                                                      AnswerWaitMs(TimerReadDevices->Interval())));
  TimerReadDevices->Stop();
  ClearBuffersAndPurge();
  if (devices.DeviceRecordIndex <= devices.ActiveDeviceCount) {
    SendGatewayRequest(DeviceRecordRequest(devices.DeviceRecordIndex, devices.DeviceRecordSize));
    TimerReadDevices->Start();
  } else {
    EndOperation(Op::DeviceMapReadback);
  }
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
