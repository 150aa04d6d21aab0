// Activation and deletion of devices in the gateway's map, the local edits of GridDevices that
// prepare the list, and Activate All with its retries.
#include <exception>

#include "app/tform1.h"
#include "core/gateway/configuration.h"
#include "core/gateway/device_map.h"
#include "core/progress/progress.h"
#include "core/tables/device_table.h"

namespace orvio {

namespace {

bool ConfirmDelete(TForm1& f, const char* question) {
  return f.Box(&f, device_text::kDeleteCaption, question, QMessageBox::Warning,
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void StopActivateAll(TForm1& f) {
  f.Timer_activateAll->Stop();
  f.Butt_activateAll->setText(device_text::kActivateAllIdle);
  f.EndOperation(Op::ActivateAll);
}

// Sends the activation of ActivateRow; a row without a numeric address is reported and its
// retries used up, so that the next tick moves on.
void ActivateCurrentRow(TForm1& f) {
  const auto address = DeviceAddressAt(*f.GridDevices, f.devices.ActivateRow);
  if (!address) {
    f.MemoAdd(device_text::kAddressErrorAtRow + std::to_string(f.devices.ActivateRow));
    f.devices.ActivateRetries = f.UD_retry->Position();
    return;
  }
  f.SendGatewayRequest(ActivateRequest(static_cast<uint8_t>(*address)));
  f.MemoAdd(QString(device_text::kActivating) +
            f.GridDevices->CellText(kDeviceAddressColumn, f.devices.ActivateRow));
}

}  // namespace

// ---- the hidden operation switches: checking one unchecks the other two ----

void TForm1::checkActivateClick() {
  if (!checkActivate->isChecked()) return;
  checkDelete->setChecked(false);
  checkdeactivateInputs->setChecked(false);
}

void TForm1::checkDeleteClick() {
  if (!checkDelete->isChecked()) return;
  checkActivate->setChecked(false);
  checkdeactivateInputs->setChecked(false);
}

void TForm1::checkdeactivateInputsClick() {
  if (!checkdeactivateInputs->isChecked()) return;
  checkActivate->setChecked(false);
  checkDelete->setChecked(false);
}

void TForm1::BitBtn14Click() {
  const bool activate = checkActivate->isChecked();
  const bool del = checkDelete->isChecked();
  const bool inputs = checkdeactivateInputs->isChecked();
  if (!activate && !del && !inputs) return;
  if (devices.SelectedDeviceAddress < 0 || !LinkOpen()) return;
  ClearBuffersAndPurge();
  Timer_free_command->SetInterval(UD_timeout->Position());
  const auto address = static_cast<uint8_t>(devices.SelectedDeviceAddress);
  for (const GatewayRequest& request : WriteModbusRequests(activate, del, inputs, address))
    SendGatewayRequest(request);
  Timer_free_command->Start();
}

// ---- popup menu of GridDevices ----

void TForm1::Activate1Click() {
  checkActivate->setChecked(true);
  checkActivateClick();
  BitBtn14Click();
}

void TForm1::Delete1Click() {
  if (!ConfirmDelete(*this, device_text::kDeleteQuestion)) return;
  checkDelete->setChecked(true);
  checkDeleteClick();
  checkActivate->setChecked(false);
  BitBtn14Click();
}

void TForm1::Exclude2inputs1Click() {
  checkDelete->setChecked(false);
  checkActivate->setChecked(false);
  checkdeactivateInputs->setChecked(true);
  checkdeactivateInputsClick();
  BitBtn14Click();
}

void TForm1::DeleteAll1Click() {
  // Delete All goes out only while the serial port is open.
  if (!link.SerialOpen) return;
  link.ClearSerialAndPurge();
  if (!ConfirmDelete(*this, device_text::kDeleteAllQuestion)) return;
  Timer_free_command->SetInterval(UD_timeout->Position());
  SendGatewayRequest(DeleteAllRequest());
  Timer_free_command->Start();
}

void TForm1::Removefromtable2Click() {
  if (RemoveDeviceRow(*GridDevices, devices.SelectedDeviceRow)) RepaintDeviceGrid();
}

void TForm1::ActivateAllinTable1Click() { Butt_activateAllClick(); }

// ---- buttons of the "Quick read/write" page ----

void TForm1::BitBtn15Click() {
  try {
    CopyMbusTableToDevices(*gridLoops, *GridDevices);
  } catch (const std::exception& e) {
    MemoAdd(std::string(device_text::kClearTableException) + e.what());
  }
  RepaintDeviceGrid();
}

void TForm1::BitBtn19Click() {
  if (!SearchAndActivateAddressOk(Edit_address->text().toStdString())) {
    MemoAdd(QString(gateway_text::kInvalidAddress));
    return;
  }
  if (!CheckLink()) return;
  SendConfigurationCommand(SearchAndActivateRequest());
}

// Activate All waits one scan time per attempt for the gateway's answer; a wait that finishes
// early lasts as long as any answer does.
progress::Waits TForm1::ActivateAllWaits() const {
  progress::Waits w = PrescribedWaits();
  w.scanTimeMs = AnswerWaitMs(UD_timeout->Position());
  return w;
}

void TForm1::Butt_activateAllClick() {
  if (!CheckLink()) return;
  if (Butt_activateAll->text() == device_text::kActivateAllRunning) {
    StopActivateAll(*this);
    return;
  }
  if (!HasDevicesToActivate(*GridDevices)) return;
  Butt_activateAll->setText(device_text::kActivateAllRunning);
  BeginOperation(Op::ActivateAll);
  devices.ActivateRetries = 0;
  devices.ActivateRow = 1;
  devices.ActivatedCount = 0;
  ReportProgress(Job::ActivateAll, progress::ActivateAllReport(ActivateAllWaits(), 1,
                                                               GridDevices->rowCount() - 1, 0));
  Timer_activateAll->SetInterval(UD_timeout->Position());
  ClearBuffersAndPurge();
  if (DeviceAddressAt(*GridDevices, devices.ActivateRow)) ActivateCurrentRow(*this);
  Timer_activateAll->Start();
}

void TForm1::Timer_activateAllTimer() {
  Timer_activateAll->Stop();
  const ByteString answer = TakeAnswer();
  const bool failed =
      ActivateAnswerFailed(answer, static_cast<uint8_t>(UDmodbusAddress->Position()));
  MemoAdd(ActivateReceivedLine(answer));
  // A row is tried at most retries + 1 times; a success moves on at once.
  if (failed) ++devices.ActivateRetries;
  if (!failed || devices.ActivateRetries > UD_retry->Position()) {
    ++devices.ActivateRow;
    devices.ActivateRetries = 0;
    if (!failed) ++devices.ActivatedCount;
  }
  ReportProgress(Job::ActivateAll,
                 progress::ActivateAllReport(ActivateAllWaits(), devices.ActivateRow,
                                             GridDevices->rowCount() - 1, devices.ActivatedCount));
  if (devices.ActivateRow > GridDevices->rowCount() - 1) {
    MemoAdd(QString(device_text::kActivationFinished));
    StopActivateAll(*this);
    return;
  }
  ClearBuffersAndPurge();
  Timer_activateAll->SetInterval(UD_timeout->Position());
  ActivateCurrentRow(*this);
  Timer_activateAll->Start();
}

}  // namespace orvio
