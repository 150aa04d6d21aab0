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
#include "core/progress/progress.h"
#include "core/tables/meter_table.h"
#include "mbus/decode_window.h"
#include "mbus/record_view.h"

namespace orvio {

namespace {

void SelectMbusRow(TForm1& f, int row) {
  f.tunnel.SelectedMbusRow = row;
  f.tunnel.SelectedMbusAddress = MeterRowAddress(*f.gridLoops, row);
  f.Label16->setText(QStringLiteral("Selected: ") + QString::number(f.tunnel.SelectedMbusAddress));
}

bool IsTableRow(const TForm1& f, int row) { return row >= 1 && row < f.gridLoops->RowCount(); }

// Outcome of a one-meter request: a repeat while the retry setting allows, else the end (silent).
void SingleReadOutcome(TForm1& f) {
  f.ClearBuffersAndPurge();
  f.tunnel.SingleReadActive = false;
  if (!f.tunnel.AttemptFailed || ++f.tunnel.RetryCount > f.UD_retry->Position()) {
    f.JobProgress->Finish(Job::SingleRead);
    return;
  }
  f.tunnel.SingleReadActive = true;
  f.tunnel.AttemptFailed = false;
  f.SendTunnelTelegram(
      ReqUd2Frame(static_cast<uint8_t>(f.tunnel.SelectedMbusAddress), f.Check_5B->isChecked()));
  f.Timer_mbus->Start();
  f.ReportProgress(
      Job::SingleRead,
      progress::SingleReadReport(f.TunnelWaits(), f.SelectedMbusAddress(), f.tunnel.RetryCount));
}

// Outcome of a scan attempt: the same address again, the next one, or the end of the range.
void ScanOutcome(TForm1& f) {
  TunnelState& t = f.tunnel;
  const ScanStep next = NextScanStep(t.ScanAddress, t.RetryCount, t.AttemptFailed,
                                     f.UD_retry->Position(), f.UDaddressTo->Position());
  f.ReportProgress(Job::Scan, progress::ScanReport(f.TunnelWaits(), f.UDaddressFrom->Position(),
                                                   f.UDaddressTo->Position(), next.address,
                                                   next.retries, t.AnswerStage, t.ScanFound));
  f.tunnel.ScanAddress = next.address;
  f.tunnel.RetryCount = next.retries;
  f.ClearBuffersAndPurge();
  if (next.done) {
    f.EndOperation(Op::Scan);
    f.tunnel.ScanActive = false;
    f.tunnel.AttemptFailed = false;
    return;
  }
  f.SendTunnelTelegram(ReqUd2Frame(static_cast<uint8_t>(t.ScanAddress), f.Check_5B->isChecked()));
  f.tunnel.AttemptFailed = false;
  f.Timer_mbus->Start();
}

}  // namespace

void TForm1::SendTunnelTelegram(const ByteString& telegram) {
  SendWriteMultipleRegisters(static_cast<uint8_t>(UDmodbusAddress->Position()), reg::kTunnelBlock,
                             TunnelRequestData(telegram));
}

bool TForm1::TunnelBusy() const {
  return Timer_mbus->Enabled() || Timer_mbusRespond->Enabled() || search.SecondarySearchRunning;
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
  tunnel.ScanAddress = UDaddressFrom->Position();
  tunnel.RetryCount = 0;
  tunnel.AttemptFailed = false;
  tunnel.ScanActive = true;
  tunnel.ScanFound = 0;
  tunnel.SingleReadActive = false;
  Timer_mbus->SetInterval(UD_timeout->Position());
  Timer_mbusRespond->SetInterval(UD_modbusTimeout->Position());
  ClearBuffers();
  if (Box(this, meter_text::kClearCaption, meter_text::kClearQuestion, QMessageBox::Warning,
          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
    Butt_clear_gridClick();
  }
  SendTunnelTelegram(ReqUd2Frame(static_cast<uint8_t>(tunnel.ScanAddress), Check_5B->isChecked()));
  Timer_mbus->Start();
  BeginOperation(Op::Scan);
}

void TForm1::StopTunnel() {
  Timer_mbus->Stop();
  Timer_mbusRespond->Stop();
  JobProgress->Finish(Job::SingleRead);
  tunnel.ScanActive = false;
}

void TForm1::BitBtn2Click() {
  // STOP ends "Set all Primary addresses" and the search worker as well; their buttons come back
  // at once, also while the worker winds down. Activate All stays usable after a stopped scan
  // too (the scan disabled it).
  StopSetAll();
  RequestSearchStop();
  StopTunnel();
  EndOperation(Op::Scan);
  BitBtn26->setEnabled(true);
  ClearBuffersAndPurge();
}

void TForm1::Timer_mbusTimer() {
  Timer_mbus->Stop();
  MemoAdd(UnmdLine(RawReceived()));  // the gateway's reply to the tunnel write
  ClearBuffersAndPurge();
  tunnel.AnswerRegisterCount = 0;
  SendReadInputRegisters(static_cast<uint8_t>(UDmodbusAddress->Position()), reg::kTunnelStatus,
                         reg::kStatusRegisterCount);
  tunnel.AnswerStage = false;
  Timer_mbusRespond->Start();
}

void TForm1::Timer_mbusRespondTimer() {
  Timer_mbusRespond->Stop();
  MemoAdd(UnmdLine(RawReceived()));
  const ByteString answer = TakeAnswer();
  if (answer.empty()) {
    tunnel.AttemptFailed = true;
  } else if (!tunnel.AnswerStage) {
    const auto registers = TunnelAnswerRegisters(ReadFirstRegister(answer));
    if (registers) {
      tunnel.AnswerRegisterCount = *registers;
      ClearBuffersAndPurge();
      SendReadInputRegisters(static_cast<uint8_t>(UDmodbusAddress->Position()), reg::kTunnelBlock,
                             static_cast<uint16_t>(tunnel.AnswerRegisterCount));
      Timer_mbusRespond->Start();
      tunnel.AnswerStage = true;
      return;
    }
    tunnel.AttemptFailed = true;
  } else {
    ExtractTunnelledTelegram(*this, answer, 2 * static_cast<size_t>(tunnel.AnswerRegisterCount));
  }
  if (tunnel.SingleReadActive) {
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
  const int row = tunnel.SelectedMbusRow;
  if (RemoveMeterRow(*gridLoops, row)) MeterRecordViews->RowRemoved(row);
}

void TForm1::Cleartable1Click() { Butt_clear_gridClick(); }

void TForm1::Butt_clear_gridClick() {
  ClearMeterTable(*gridLoops);
  MeterRecordViews->TableCleared();
}

}  // namespace orvio
