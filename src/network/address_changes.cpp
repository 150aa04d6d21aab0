// Primary address and medium changes of meters on the M-Bus line.
//
// Primary addresses are changed by secondary address in the worker's change-address run (select
// the meter by the ID of its table row, SND_UD 01 7A N to 253, deselect, read it back at N): for
// the selected row, or row after row of the table ("Set all Primary addresses", paced by
// Timer_changePrimaryAll, which starts the next worker once the previous one has ended). The
// medium is changed with an enhanced-identification record sent to the meter's primary address
// as a one-meter request, whose repeats read the meter back.
#include "app/tform1.h"
#include "core/mbus/change_requests.h"
#include "core/progress/progress.h"
#include "core/tables/address_plan.h"
#include "core/tables/meter_table.h"

namespace orvio {

namespace {

constexpr int kSetAllPollMs = 500;

// Flags of a change-address run; the worker repeats a selection at least once.
void PrepareAddressChange(TForm1& f) {
  f.PrepareChangeAddressRun();
  if (f.UD_retry->Position() <= 0) f.UD_retry->SetPosition(1);
}

// The worker changes the address of the meter of ChangeAllRow to `address`.
void StartSetAllRow(TForm1& f, int address) {
  const int row = f.changes.ChangeAllRow;
  f.SetSelectedMbusRow(row);
  f.UD_address->SetPosition(address);
  f.MemoAdd(SettingAddressLine(address, f.gridLoops->Cell(0, row)));
  f.StartSecondaryIDThread();
  f.ReportProgress(Job::SetAll, progress::StepsReport(
                                    "row", PlannedRowsBefore(*f.gridLoops, row),
                                    PlannedRowsBefore(*f.gridLoops, f.gridLoops->RowCount()),
                                    progress::SetAllRowMs(f.PrescribedWaits(), kSetAllPollMs)));
}

void ChangeMedium(TForm1& f, const char* name) {
  if (!f.CheckLink()) return;
  const uint8_t medium = MediumCode(name);
  // The record rewrites the meter's enhanced identification: it must carry the ID of the meter
  // at that address, so the selected row must still be that meter (a row removed since the
  // selection moves another meter under it).
  const std::string id = RowMeterId(*f.gridLoops, f.SelectedMbusRow());
  if (!f.CheckSelectedMbusAddress()) return;
  if (id.empty() || MeterRowAddress(*f.gridLoops, f.SelectedMbusRow()) != f.SelectedMbusAddress()) {
    f.MemoAdd(QString(meter_text::kNoValidDevice));
    return;
  }
  // A scan, a search or another one-meter request holds the tunnel: its answers would be taken
  // for ours.
  if (f.TunnelBusy()) return;
  f.StartSingleMeterRequest(
      *MediumChangeTelegram(static_cast<uint8_t>(f.SelectedMbusAddress()), id, medium));
}

}  // namespace

void TForm1::ChangePrAddr1Click() {
  if (!CheckLink()) return;
  // The worker selects the meter by the ID of the selected row: without an 8-digit ID it would
  // select no meter or several at once and give them all the new address.
  if (RowMeterId(*gridLoops, SelectedMbusRow()).empty()) {
    MemoAdd(QString(meter_text::kNoValidDevice));
    return;
  }
  // Two runs at once would mix their telegrams on the one tunnel.
  if (TunnelBusy()) return;
  if (Box(this, address_text::kChangeCaption, address_text::kChangeQuestion, QMessageBox::Warning,
          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  PrepareAddressChange(*this);
  StartSecondaryIDThread();
}

void TForm1::BitBtn23Click() { ChangePrAddr1Click(); }

void TForm1::SetallPrimaryaddresses1Click() { BitBtn26Click(); }

void TForm1::BitBtn26Click() {
  if (!CheckLink()) return;
  if (HasNoMeterRow(*gridLoops)) return;
  if (TunnelBusy() || Timer_changePrimaryAll->Enabled()) return;
  const int row = NextPlannedRow(*gridLoops, 1);
  if (row < 0) {
    MemoAdd(QString(address_text::kInvalidAddresses));
    return;
  }
  PrepareAddressChange(*this);
  changes.ChangeAllRow = row;
  Timer_changePrimaryAll->SetInterval(kSetAllPollMs);
  Timer_changePrimaryAll->Start();
  BeginOperation(Op::SetAllAddresses);
  StartSetAllRow(*this, PlannedAddress(*gridLoops, row));
}

void TForm1::Timer_changePrimaryAllTimer() {
  // The worker of the previous row sets StopRequested when it ends (STOP sets it too); the next
  // one starts only once its end section has run here, so it cannot clear the new run's answers.
  if (!SearchStopRequested() || SearchRunning()) return;
  Timer_changePrimaryAll->Stop();
  // STOP put ChangeAllRow past the end.
  if (changes.ChangeAllRow + 1 > gridLoops->RowCount()) {
    MemoAdd(QString(address_text::kSetAllFinished));
    EndOperation(Op::SetAllAddresses);
    return;
  }
  PrepareAddressChange(*this);
  const int row = NextPlannedRow(*gridLoops, changes.ChangeAllRow + 1);
  if (row < 0) {
    MemoAdd(QString(address_text::kInvalidAddresses));
    EndOperation(Op::SetAllAddresses);
    return;
  }
  changes.ChangeAllRow = row;
  Timer_changePrimaryAll->Start();
  StartSetAllRow(*this, PlannedAddress(*gridLoops, row));
}

void TForm1::StopSetAll() {
  changes.ChangeAllRow = gridLoops->RowCount() + 1;
  EndOperation(Op::SetAllAddresses);
}

void TForm1::Oil1Click() { ChangeMedium(*this, "Oil"); }
void TForm1::HotWater1Click() { ChangeMedium(*this, "Hot water"); }
void TForm1::ColdWater1Click() { ChangeMedium(*this, "Cold water"); }
void TForm1::Electricity1Click() { ChangeMedium(*this, "Electricity"); }
// The code table names the heat medium "Heat meter"; "Heat" alone would write 0x0F.
void TForm1::Heat1Click() { ChangeMedium(*this, "Heat meter"); }
void TForm1::Gas1Click() { ChangeMedium(*this, "Gas"); }
void TForm1::NA1Click() { ChangeMedium(*this, "Unknown"); }

}  // namespace orvio
