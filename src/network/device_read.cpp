// Single device read and the real-address listing.
#include "app/tform1.h"
#include "core/gateway/real_addresses.h"
#include "core/gateway/register_map.h"
#include "core/mbus/requests.h"
#include "core/progress/progress.h"
#include "core/tables/meter_table.h"

namespace orvio {

namespace {
// Primary addresses are one byte: a larger Addr cell would be cut to the wrong meter's address.
constexpr int kMaxPrimaryAddress = 255;
}  // namespace

bool TForm1::CheckSelectedMbusAddress() {
  const int address = tunnel.SelectedMbusAddress;
  if (address >= 0 && address <= kMaxPrimaryAddress) return true;
  MemoAdd(QString(meter_text::kNoValidDevice));
  return false;
}

void TForm1::Read1Click() {
  if (!CheckLink()) return;
  if (!CheckSelectedMbusAddress()) return;
  // A scan or another read holds the tunnel: a second transaction would take its answers.
  if (TunnelBusy()) return;
  // The first request is always 0x7B; repeats follow "0x5B" (outcome step of the transaction).
  StartSingleMeterRequest(ReqUd2Frame(static_cast<uint8_t>(tunnel.SelectedMbusAddress)));
}

void TForm1::StartSingleMeterRequest(const ByteString& telegram) {
  tunnel.ScanActive = false;
  tunnel.SingleReadActive = true;
  Timer_mbus->SetInterval(UD_timeout->Position());
  Timer_mbusRespond->SetInterval(UD_modbusTimeout->Position());
  tunnel.RetryCount = 0;
  ClearBuffers();
  SendTunnelTelegram(telegram);
  BeginTunnelTransaction();
  JobProgress->Start(Job::SingleRead);
  ReportProgress(Job::SingleRead,
                 progress::SingleReadReport(TunnelWaits(), tunnel.SelectedMbusAddress, 0));
}

void TForm1::BitBtn22Click() {
  if (!CheckLink()) return;
  ClearBuffersAndPurge();
  SendReadInputRegisters(static_cast<uint8_t>(UDmodbusAddress->Position()), reg::kRealAddresses,
                         reg::kRealAddressCount);
  StartFreeCommand(FreeCommand::RealAddresses, UD_modbusTimeout->Position());
}

void TForm1::RealAddressListing(const ByteString& answer) {
  MemoAddLines(RealAddressLines(answer, ValidateAnswer(answer)));
}

}  // namespace orvio
