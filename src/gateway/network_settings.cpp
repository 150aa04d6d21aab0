// Network settings of the gateway's Ethernet side: one address at a time, the listen port and the
// serial number.
#include "app/tform1.h"
#include "core/gateway/configuration.h"

namespace orvio {

void TForm1::Button1Click() {
  if (!CheckLink()) return;
  // An unknown setting type or an invalid dotted address is dropped without a message.
  const auto request = ProgramIpRequest(Combo_tcpCommand->currentText().toStdString(),
                                        Edit_ip->text().toStdString());
  if (!request) return;
  SendConfigurationCommand(*request);
}

void TForm1::Button2Click() {
  const auto port = ListenPort(Edit_tcpPort->text().toStdString());
  if (!port.ok()) {
    MemoAdd(port.error);
    return;
  }
  if (!CheckLink()) return;
  SendConfigurationCommand(ListenPortRequest(*port.value));
}

void TForm1::Button3Click() {
  if (!CheckLink()) return;
  const auto bcd = SerialNumberBytes(Edit_id->text().toStdString());
  if (!bcd.ok()) {
    MemoAdd(bcd.error);
    return;
  }
  SendConfigurationCommand(SerialNumberRequest(*bcd.value));
}

}  // namespace orvio
