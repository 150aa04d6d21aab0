// Readback of the gateway's device map into GridDevices (card version, active-device bitmap,
// then one record per tick) and the grid's row selection and marks.
#include "core/gateway/device_map.h"

#include <QCursor>

#include "app/tform1.h"
#include "core/tables/device_table.h"
#include "gateway/device_grid.h"
#include "mbus/decode_window.h"

namespace orvio {

namespace {

// Buttons that would compete with the readback for the link while it runs.
std::vector<QPushButton*> ReadbackButtons(TForm1& f) {
  return {f.BitBtn1,  f.BitBtn2,  f.BitBtn19, f.buttonReadModbus,
          f.BitBtn22, f.BitBtn21, f.BitBtn23, f.Butt_activateAll};
}

bool Marked(const TForm1& f, int row) {
  return row >= 1 && row < static_cast<int>(f.RowMarks.size()) &&
         f.RowMarks[static_cast<size_t>(row)];
}

}  // namespace

void RepaintDeviceGrid(TForm1& f) {
  StringGrid* grid = f.GridDevices;
  const QColor highlight = grid->palette().highlight().color();
  grid->cellColor = [&f, highlight](int, int row) {
    return Marked(f, row) ? highlight : QColor(Qt::white);
  };
  grid->RefreshColors();
  for (int row = grid->FixedRows(); row < grid->rowCount(); ++row) {
    const QColor text = Marked(f, row) ? QColor(Qt::white) : QColor(Qt::black);
    for (int col = 0; col < grid->columnCount(); ++col)
      if (QTableWidgetItem* it = grid->item(row, col)) it->setForeground(text);
  }
}

void TForm1::buttonReadModbusClick() {
  if (!CheckLink()) return;
  ClearBuffersAndPurge();
  DeviceListPending = true;
  VersionReadPending = true;
  CommandPending = false;
  SendGatewayRequest(ReadInput(reg::kCardVersion, reg::kStatusRegisterCount));
  Timer_free_command->SetInterval(UD_modbusTimeout->Position());
  Timer_free_command->Start();
}

void TForm1::DeviceMapVersionStep(const ByteString& answer) {
  // Without a (valid) version answer the short records of the first cards are assumed.
  DeviceRecordSize = reg::kDeviceRecordShort;
  if (!answer.empty()) {
    const FirstRegister version = ReadFirstRegister(answer);
    if (version.valid) DeviceRecordSize = orvio::DeviceRecordSize(version.hi, version.lo);
  }
  VersionReadPending = false;
  ClearBuffersAndPurge();
  SendGatewayRequest(ReadInput(reg::kActiveBitmap, reg::kActiveBitmapCount));
  Timer_free_command->Start();
}

void TForm1::DeviceMapBitmapStep(const ByteString& answer) {
  ActiveDeviceCount = 0;
  if (!answer.empty()) DecodeRegisterTable(answer, RegisterTableMode::Bitmap, 0, 0);
  DeviceListPending = false;
  if (ActiveDeviceCount == 0) {
    MemoAdd(QString(device_text::kNoActiveDevices));
    return;
  }
  TimerReadDevices->SetInterval(UD_modbusTimeout->Position());
  ClearBuffersAndPurge();
  DeviceRecordIndex = 1;
  SendGatewayRequest(DeviceRecordRequest(DeviceRecordIndex, DeviceRecordSize));
  TimerReadDevices->Start();
  MemoAdd(device_text::kNumberOfDevices + std::to_string(ActiveDeviceCount));
  SetButtonsEnabled(ReadbackButtons(*this), false);
}

void TForm1::TimerReadDevicesTimer() {
  const ByteString answer = TakeAnswer();
  MemoAdd(UnmdLine(answer));
  // A record that did not answer adds nothing beyond its bare "UNMD:" line.
  if (DeviceRecordIndex <= ActiveDeviceCount && !answer.empty()) {
    const AnswerCheck check = ValidateAnswer(answer, CheckForm::kDeviceMap);
    if (check.ok()) {
      const TModbusDevice device = DecodeDeviceRecord(ReadAnswerRegisters(answer, check));
      AppendDeviceRow(*GridDevices, DeviceRow(device, DeviceRecordSize, DecimalSeparator()));
      RepaintDeviceGrid(*this);
    }
  }
  ++DeviceRecordIndex;
  TimerReadDevices->Stop();
  ClearBuffersAndPurge();
  if (DeviceRecordIndex <= ActiveDeviceCount) {
    SendGatewayRequest(DeviceRecordRequest(DeviceRecordIndex, DeviceRecordSize));
    TimerReadDevices->Start();
  } else {
    SetButtonsEnabled(ReadbackButtons(*this), true);
  }
}

namespace {
// The row becomes the selected device: its "Addr " cell is the address commands act on.
void SelectDeviceRow(TForm1& f, int row) {
  f.SelectedDeviceRow = row;
  f.SelectedDeviceAddress = DeviceAddressAt(*f.GridDevices, row).value_or(-1);
  f.Label11->setText(QString(device_text::kSelectedPrefix) +
                     QString::number(f.SelectedDeviceAddress));
}

bool IsDataRow(const StringGrid& grid, int row) { return row >= 1 && row < grid.rowCount(); }
}  // namespace

void TForm1::GridDevicesMouseDown(Qt::MouseButton button, int, int, bool) {
  if (button != Qt::RightButton) return;
  RepaintDeviceGrid(*this);
  raise();
  activateWindow();
  ContextModbusMenu->popup(QCursor::pos());
}

void TForm1::GridDevicesMouseUp(Qt::MouseButton, int, int row, bool ctrl) {
  const int lastMark = static_cast<int>(RowMarks.size()) - 1;
  if (DeviceGridDoubleClicked) {
    DeviceGridDoubleClicked = false;
    for (int r = 1; r < GridDevices->rowCount() && r <= lastMark; ++r)
      RowMarks[static_cast<size_t>(r)] = true;
  } else if (ctrl && IsDataRow(*GridDevices, row)) {
    if (row <= lastMark) RowMarks[static_cast<size_t>(row)] = !RowMarks[static_cast<size_t>(row)];
  } else {
    RowMarks.fill(false);
    if (IsDataRow(*GridDevices, row)) {
      if (row <= lastMark) RowMarks[static_cast<size_t>(row)] = true;
      SelectDeviceRow(*this, row);
    }
  }
  RepaintDeviceGrid(*this);
}

void TForm1::GridDevicesDblClick() { DeviceGridDoubleClicked = true; }

void TForm1::GridDevicesSelectCell(int, int row) {
  if (IsDataRow(*GridDevices, row)) SelectDeviceRow(*this, row);
}

}  // namespace orvio
