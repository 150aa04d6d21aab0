// Counter values written into meters: "Set new value" sends the meter selected in the M-Bus device
// table a SND_UD with one volume record in litres (8-digit BCD or 32-bit binary).
#include "app/tform1.h"
#include "core/mbus/change_requests.h"

namespace orvio {

void TForm1::Button4Click() {
  if (!CheckLink()) return;
  if (!CheckSelectedMbusAddress()) return;
  const std::string digits = Edit_valuePulses->text().toStdString();
  if (digits.empty()) return;
  // The box only takes digits when typed; pasted text that is no number is not sent either.
  const auto telegram = CounterTelegram(
      static_cast<uint8_t>(SelectedMbusAddress()), digits,
      Check_valueBCD->isChecked() ? CounterEncoding::kBcd : CounterEncoding::kBinary);
  if (!telegram) return;
  // A scan or another one-meter request holds the tunnel: its answers would be taken for ours.
  if (TunnelBusy()) return;
  // The meter acknowledges with E5, which is no telegram: the attempt counts as failed and the
  // repeats read the meter back (the counter telegram itself goes out once).
  StartSingleMeterRequest(*telegram);
}

}  // namespace orvio
