// Command console and log: hand-typed commands (their answer is logged by Timer_free_command's
// collector, src/gateway/device_map.cpp), clearing and saving the trace log.
#include "core/modbus/console.h"

#include <QDir>

#include "app/tform1.h"

namespace orvio {

void TForm1::Butt_command_sendClick() {
  // The console talks to the serial port only, also while the TCP link is connected.
  if (!link.SerialOpen) {
    MemoAdd(QString(kConsoleNoSerialPort));
    return;
  }
  const QString text = Edit_command->text();
  if (text.isEmpty()) return;
  if (Check_ascii->isChecked()) {
    const QByteArray bytes = text.toLocal8Bit();
    link.SendRaw(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
  } else {
    const ConsoleHex hex = ParseConsoleHex(text.toStdString());
    if (hex.error) {
      MemoAdd(*hex.error);
      return;
    }
    link.SendRaw(hex.bytes);
  }
  StartFreeCommand(FreeCommand::Console, UD_modbusTimeout->Position());
}

// The pair's coupling (exactly one checked) is wired when the window is built.
void TForm1::Check_asciiClick() {}
void TForm1::Check_hexClick() {}

void TForm1::BitBtn5Click() { MemoClear(); }

void TForm1::BitBtn6Click() {
  // A missing log folder is created; one that cannot be made or written is reported.
  QDir().mkpath(logDir_);
  if (!Memo_current->Save(QDir(logDir_).filePath("log.txt"))) MemoAdd(QString(kLogNotWritten));
}

}  // namespace orvio
