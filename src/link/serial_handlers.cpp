// The serial port toggle and the receive event.
#include <QCoreApplication>

#include "app/tform1.h"
#include "core/text/link_texts.h"

namespace orvio {

void TForm1::Butt_open_port2Click() { ToggleSerialPort(); }

void TForm1::ToggleSerialPort() {
  const QString device = SerialDevicePath(Combo_com2_name->currentText());
  if (!link.SerialOpen) {
    QString reason;
    if (!Comm2->Probe(device, &reason)) {
      MemoAdd(reason);
      Box(nullptr, link_text::kPortInUseCaption, link_text::kPortInUse, QMessageBox::Warning,
          QMessageBox::Ok, reason);
      SetPanel(1, device + " is closed");
      return;
    }
    const QString speedText = Combo_com2_speed->currentText();
    const QString parityText = Combo_com2_parity->currentText();
    QString error;
    if (!Comm2->Open(device, SerialSpeedFromText(speedText), SerialParityFromText(parityText),
                     SerialStopBitsFromText(Combo_com2_stop->currentText()), &error)) {
      Box(this, QCoreApplication::applicationName(), error, QMessageBox::Critical);
      return;
    }
    const QString state = Combo_com2_name->currentText() + " - " + speedText + ",8," + parityText;
    SetPanel(1, state);
    MemoAdd(state);
    link.SerialOpen = true;
    for (QComboBox* c : {Combo_com2_name, Combo_com2_speed, Combo_com2_parity, Combo_com2_stop})
      c->setEnabled(false);
    Butt_open_port2->setText("Disconnect");
    CloseTcpLink();
    Butt_connect_xport->setEnabled(false);
    return;
  }
  Butt_connect_xport->setEnabled(true);
  SetPanel(1, Comm2->Device() + " is closed");
  link.SerialOpen = false;
  link.DropOutgoing();
  Comm2->Close();
  for (QComboBox* c : {Combo_com2_name, Combo_com2_speed, Combo_com2_parity, Combo_com2_stop})
    c->setEnabled(true);
  MemoAdd(QString(link_text::kSerialClosed));
  Butt_open_port2->setText("Connect to port");
}

void TForm1::Comm2RxChar(int /*count*/) { link.TakeSerialBytes(); }

void TForm1::SerialPortLost(const QString& message) {
  if (!link.SerialOpen) return;
  // Take what is left before the port goes away.
  Comm2RxChar(0);
  Box(this, QCoreApplication::applicationName(), message, QMessageBox::Critical);
  if (link.SerialOpen) ToggleSerialPort();
}

}  // namespace orvio
