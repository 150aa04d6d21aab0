// Primary scan, the tunnel transaction that carries every M-Bus request through the gateway, and
// the M-Bus device table (selection, removal, clearing).
//
// Tunnel transaction: the telegram is written to the tunnel block (33800); after the scan time
// Timer_mbus reads the answer status (33799: lo = answer length, hi = state); after the response
// time-out Timer_mbusRespond either reads the answer bytes (AnswerStage false -> true, the timer
// armed again) or hands them to the decoder, and then runs the outcome step: a repeat, the next
// scan address, or the end.
#include <QCursor>

#include "app/tform1.h"
#include "core/gateway/register_map.h"
#include "core/mbus/requests.h"
#include "core/tables/meter_table.h"
#include "mbus/decode_window.h"
#include "mbus/record_view.h"

namespace orvio {

namespace {

// Buttons that start other users of the link; a scan keeps them disabled while it runs.
void EnableScanLockedButtons(TForm1& f, bool on) {
  for (QPushButton* b : {f.BitBtn1, f.BitBtn19, f.buttonReadModbus, f.BitBtn22, f.BitBtn21,
                         f.BitBtn23, f.Button4, f.Butt_activateAll})
    b->setEnabled(on);
}

// The receive buffer of the link in use, as it arrived (for TCP with its MBAP header).
const ByteString& RawReceived(const TForm1& f) {
  return f.TcpConnected ? f.TcpRxBuffer : f.SerialRxBuffer;
}

void SelectMbusRow(TForm1& f, int row) {
  f.SelectedMbusRow = row;
  f.SelectedMbusAddress = MeterRowAddress(*f.gridLoops, row);
  f.Label16->setText(QStringLiteral("Selected: ") + QString::number(f.SelectedMbusAddress));
}

bool IsTableRow(const TForm1& f, int row) { return row >= 1 && row < f.gridLoops->RowCount(); }

// Outcome of a one-meter request: a repeat while the retry setting allows, else the end.
void SingleReadOutcome(TForm1& f) {
  f.ClearBuffersAndPurge();
  f.SingleReadActive = false;
  if (!f.AttemptFailed) return;
  if (++f.RetryCount > f.UD_retry->Position()) return;  // ends silently
  f.SingleReadActive = true;
  f.AttemptFailed = false;
  f.SendTunnelTelegram(
      ReqUd2Frame(static_cast<uint8_t>(f.SelectedMbusAddress), f.Check_5B->isChecked()));
  f.Timer_mbus->Start();
}

// Outcome of a scan attempt: the same address again, the next one, or the end of the range.
void ScanOutcome(TForm1& f) {
  const ScanStep next = NextScanStep(f.ScanAddress, f.RetryCount, f.AttemptFailed,
                                     f.UD_retry->Position(), f.UDaddressTo->Position());
  f.ScanAddress = next.address;
  f.RetryCount = next.retries;
  f.ClearBuffersAndPurge();
  if (next.done) {
    EnableScanLockedButtons(f, true);
    f.BitBtn2->setEnabled(true);
    f.ScanActive = false;
    f.AttemptFailed = false;
    return;
  }
  f.SendTunnelTelegram(ReqUd2Frame(static_cast<uint8_t>(f.ScanAddress), f.Check_5B->isChecked()));
  f.AttemptFailed = false;
  f.Timer_mbus->Start();
}

}  // namespace

void TForm1::SendTunnelTelegram(const ByteString& telegram) {
  SendWriteMultipleRegisters(static_cast<uint8_t>(UDmodbusAddress->Position()), reg::kTunnelBlock,
                             TunnelRequestData(telegram));
}

bool TForm1::TunnelBusy() const {
  return Timer_mbus->Enabled() || Timer_mbusRespond->Enabled() || SecondarySearchRunning;
}

void TForm1::BitBtn1Click() {
  if (!CheckLink()) return;
  // A single read still running would have its answer taken for the scan's.
  if (TunnelBusy()) return;
  if (UDaddressTo->Position() < UDaddressFrom->Position()) {
    const int from = UDaddressFrom->Position();
    UDaddressFrom->SetPosition(UDaddressTo->Position());
    UDaddressTo->SetPosition(from);
  }
  ScanAddress = UDaddressFrom->Position();
  RetryCount = 0;
  AttemptFailed = false;
  ScanActive = true;
  SingleReadActive = false;
  KeepRawAnswer = false;
  Timer_mbus->SetInterval(UD_timeout->Position());
  Timer_mbusRespond->SetInterval(UD_modbusTimeout->Position());
  ClearBuffers();
  if (Box(this, meter_text::kClearCaption, meter_text::kClearQuestion, QMessageBox::Warning,
          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
    Butt_clear_gridClick();
  }
  SendTunnelTelegram(ReqUd2Frame(static_cast<uint8_t>(ScanAddress), Check_5B->isChecked()));
  Timer_mbus->Start();
  EnableScanLockedButtons(*this, false);
}

void TForm1::BitBtn2Click() {
  ChangeAllRow = gridLoops->RowCount() + 1;
  StopRequested = true;
  Timer_mbus->Stop();
  Timer_mbusRespond->Stop();
  // Activate All stays usable after a stopped scan too (the scan disabled it).
  EnableScanLockedButtons(*this, true);
  BitBtn26->setEnabled(true);
  editID->setEnabled(true);
  ClearBuffersAndPurge();
  ScanActive = false;
  KeepRawAnswer = false;
}

void TForm1::Timer_mbusTimer() {
  Timer_mbus->Stop();
  MemoAdd(UnmdLine(RawReceived(*this)));  // the gateway's reply to the tunnel write
  ClearBuffersAndPurge();
  AnswerRegisterCount = 0;
  SendReadInputRegisters(static_cast<uint8_t>(UDmodbusAddress->Position()), reg::kTunnelStatus,
                         reg::kStatusRegisterCount);
  AnswerStage = false;
  Timer_mbusRespond->Start();
}

void TForm1::Timer_mbusRespondTimer() {
  Timer_mbusRespond->Stop();
  MemoAdd(UnmdLine(RawReceived(*this)));
  const ByteString answer = TakeAnswer();
  if (answer.empty()) {
    AttemptFailed = true;
  } else if (!AnswerStage) {
    const auto registers = TunnelAnswerRegisters(ReadFirstRegister(answer));
    if (registers) {
      AnswerRegisterCount = *registers;
      ClearBuffersAndPurge();
      SendReadInputRegisters(static_cast<uint8_t>(UDmodbusAddress->Position()), reg::kTunnelBlock,
                             static_cast<uint16_t>(AnswerRegisterCount));
      Timer_mbusRespond->Start();
      AnswerStage = true;
      return;
    }
    AttemptFailed = true;
  } else {
    ExtractTunnelledTelegram(*this, answer, 2 * static_cast<size_t>(AnswerRegisterCount));
  }
  if (SingleReadActive) {
    SingleReadOutcome(*this);
  } else {
    ScanOutcome(*this);
  }
}

void TForm1::gridLoopsMouseDown(Qt::MouseButton button, int, int, bool) {
  if (button != Qt::RightButton) return;
  gridLoops->viewport()->update();
  raise();
  activateWindow();
  ContextMbusMenu->popup(QCursor::pos());
}

void TForm1::gridLoopsMouseUp(Qt::MouseButton, int, int row, bool) {
  if (IsTableRow(*this, row)) SelectMbusRow(*this, row);
}

void TForm1::gridLoopsSelectCell(int, int row) {
  if (IsTableRow(*this, row)) SelectMbusRow(*this, row);
}

void TForm1::Removefromtable1Click() {
  if (RemoveMeterRow(*gridLoops, SelectedMbusRow)) MeterRecordViews->RowRemoved(SelectedMbusRow);
}

void TForm1::Cleartable1Click() { Butt_clear_gridClick(); }

void TForm1::Butt_clear_gridClick() {
  ClearMeterTable(*gridLoops);
  MeterRecordViews->TableCleared();
}

}  // namespace orvio
