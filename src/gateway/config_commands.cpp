// Gateway configuration commands of the "Commands" group: timing registers, clock, port speeds,
// Modbus address, readout period, M-Bus flags and value encoding.
#include <QCoreApplication>

#include "app/tform1.h"
#include "core/gateway/configuration.h"

namespace orvio {

namespace {
QString Text(const std::string& s) { return QString::fromStdString(s); }
std::string Std(const QString& s) { return s.toStdString(); }
}  // namespace

void TForm1::BitBtn9Click() {
  if (!CheckLink()) return;
  // The flag is set and the buffers cleared before the registers are looked at.
  ExpectCommandAnswer();
  const auto request = TimeoutRequest(checkBetween->isChecked(), checkRespond->isChecked(),
                                      UD_variousTimes->Position());
  if (!request.ok()) {
    MemoAdd(request.error);
    return;
  }
  SendConfigurationCommand(*request.value);
}

void TForm1::BitBtn10Click() {
  if (!CheckLink()) return;
  GatewayRequest request;
  request.kind = RequestKind::kWriteDateTime;
  request.reg = reg::kDateTime;
  request.count = reg::kDateTimeCount;
  SendConfigurationCommand(request);
}

void TForm1::BitBtn11Click() {
  if (checkFPbaud->isChecked()) {
    const auto baud = MbusPortBaudText(Std(Combo_baud->currentText()));
    if (!baud.ok()) {
      Box(this, QCoreApplication::applicationName(), Text(baud.error), QMessageBox::Critical);
      return;
    }
    if (Text(*baud.value) != Combo_baud->currentText())
      Combo_baud->setCurrentText(Text(*baud.value));
  }
  const auto code =
      BaudParityCode(Std(Combo_baud->currentText()), Std(Combo_parity->currentText()));
  if (!code) {
    MemoAdd(QString(gateway_text::kWrongBaudOrParity));
    return;
  }
  if (!CheckLink()) return;
  const auto request =
      BaudParityRequest(checkFPbaud->isChecked(), checkModbusPort->isChecked(), *code);
  if (!request.ok()) {
    MemoAdd(request.error);
    return;
  }
  SendConfigurationCommand(*request.value);
}

void TForm1::BitBtn12Click() {
  const auto address = NewModbusAddress(Std(Edit_address->text()));
  if (!address.ok()) {
    MemoAdd(address.error);
    return;
  }
  if (!CheckLink()) return;
  SendConfigurationCommand(ModbusAddressRequest(*address.value));
}

void TForm1::BitBtn17Click() {
  const ReadoutPeriod period = ReadoutPeriodValue(UDminutes->Position());
  if (period.minutes != UDminutes->Position()) UDminutes->SetPosition(period.minutes);
  if (!CheckLink()) return;
  SendConfigurationCommand(ReadoutPeriodRequest(period.minutes));
}

void TForm1::BitBtn20Click() {
  if (!CheckLink()) return;
  // The six boxes are coupled so that at most one is checked.
  const std::pair<QCheckBox*, FlagFunction> boxes[] = {
      {checkNKE, FlagFunction::SndNke},         {check5B, FlagFunction::Use7B},
      {checkStopMbus, FlagFunction::StartMbus}, {checkSort, FlagFunction::Sort},
      {checkDHCP, FlagFunction::Dhcp},          {checkReset, FlagFunction::Reset}};
  std::optional<FlagFunction> checked;
  for (const auto& [box, function] : boxes)
    if (box->isChecked()) checked = function;
  const auto request = FlagRequest(checked, check01->isChecked());
  if (!request.ok()) {
    MemoAdd(request.error);
    return;
  }
  SendConfigurationCommand(*request.value);
}

void TForm1::BitBtn25Click() {
  const auto request =
      ValueEncodingRequest(Check_realValues->isChecked(), Check_generalValues->isChecked());
  if (!request.ok()) {
    MemoAdd(request.error);
    return;
  }
  if (!CheckLink()) return;
  SendConfigurationCommand(*request.value);
}

// The couplings of these boxes (at most one of each group checked, exactly one of the two port
// boxes) are wired when the window is built; the click handlers have nothing left to do.
void TForm1::checkBetweenClick() {}
void TForm1::checkRespondClick() {}
void TForm1::check5BClick() {}
void TForm1::checkNKEClick() {}
void TForm1::checkStopMbusClick() {}
void TForm1::checkSortClick() {}
void TForm1::checkDHCPClick() {}
void TForm1::checkResetClick() {}

}  // namespace orvio
