// Primary scan, the one-meter requests' outcome, and the M-Bus device table (selection, removal,
// clearing). Every M-Bus request travels as the engine's tunnel transaction (src/engine/tunnel.h)
// on Timer_mbus (the scan time) and Timer_mbusRespond (the Modbus waits); its end runs the
// outcome step: a repeat, the next scan address, or the end.
#include <QCursor>

#include "app/tform1.h"
#include "core/gateway/register_map.h"
#include "core/mbus/requests.h"
#include "core/progress/progress.h"
#include "core/tables/meter_table.h"
#include "engine/tunnel.h"
#include "mbus/decode_window.h"
#include "mbus/record_view.h"
#include "site/site_controller.h"

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
  f.BeginTunnelTransaction();
  f.ReportProgress(
      Job::SingleRead,
      progress::SingleReadReport(f.TunnelWaits(), f.SelectedMbusAddress(), f.tunnel.RetryCount));
}

// Outcome of a scan attempt: the same address again, the next one, or the end of the range.
void ScanOutcome(TForm1& f) {
  TunnelState& t = f.tunnel;
  const ScanStep next = NextScanStep(t.ScanAddress, t.RetryCount, t.AttemptFailed,
                                     f.UD_retry->Position(), f.UDaddressTo->Position());
  f.ReportProgress(
      Job::Scan,
      progress::ScanReport(f.TunnelWaits(), f.UDaddressFrom->Position(), f.UDaddressTo->Position(),
                           next.address, next.retries, f.Tunnel->ReadingBlock(), t.ScanFound));
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
  f.BeginTunnelTransaction();
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
  BeginTunnelTransaction();
  BeginOperation(Op::Scan);
}

void TForm1::BeginTunnelTransaction() {
  // The waits stay what they were set to when the scan or read started.
  TunnelSetup setup;
  setup.unit = static_cast<uint8_t>(UDmodbusAddress->Position());
  setup.scanWaitMs = Timer_mbus->Interval();
  setup.answerWaitMs = Timer_mbusRespond->Interval();
  Tunnel->Begin(setup, [this](const TunnelResult& result) { TunnelTransactionEnded(result); });
}

void TForm1::TunnelTransactionEnded(const TunnelResult& result) {
  switch (result.end) {
    case TunnelResult::End::kStopped: return;
    case TunnelResult::End::kNoStatus:
    case TunnelResult::End::kNoAnswer: tunnel.AttemptFailed = true; break;
    case TunnelResult::End::kAnswer:
      ExtractTunnelledTelegram(*this, result.answer, 2 * static_cast<size_t>(result.registerCount));
      break;
  }
  if (tunnel.SingleReadActive) {
    SingleReadOutcome(*this);
  } else {
    ScanOutcome(*this);
  }
}

void TForm1::StopTunnel() {
  Tunnel->Stop();
  JobProgress->Finish(Job::SingleRead);
  tunnel.ScanActive = false;
}

void TForm1::BitBtn2Click() {
  // STOP ends "Set all Primary addresses" and the search worker as well; their buttons come back
  // at once, also while the worker winds down. Activate All stays usable after a stopped scan
  // too (the scan disabled it).
  StopSetAll();
  RequestSearchStop();
  Sites->Stop();
  StopTunnel();
  EndOperation(Op::Scan);
  BitBtn26->setEnabled(true);
  ClearBuffersAndPurge();
}

void TForm1::Timer_mbusTimer() { Tunnel->ScanWaitOver(); }

void TForm1::Timer_mbusRespondTimer() { Tunnel->AnswerWaitOver(); }

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
