#include "link/serial_link.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <cerrno>
#include <cstring>

namespace orvio {

QString SerialDevicePath(const QString& portName) {
  static const QRegularExpression com("^COM([0-9]+)$");
  auto m = com.match(portName);
  if (m.hasMatch()) {
    int n = m.captured(1).toInt();
    return QStringLiteral("/dev/ttyS%1").arg(n > 0 ? n - 1 : 0);
  }
  if (portName.startsWith('/')) return portName;
  return QStringLiteral("/dev/") + portName;
}

QStringList SystemSerialPorts() {
  QStringList out;
  for (const auto& info : QSerialPortInfo::availablePorts()) out << info.systemLocation();
  return out;
}

qint32 SerialSpeedFromText(const QString& text) {
  bool ok = false;
  int v = text.toInt(&ok);
  if (!ok) return 19200;
  switch (v) {
    case 300: case 1200: case 2400: case 4800: case 9600: case 19200: case 38400: case 57600:
    case 115200:
      return v;
    default:
      return 19200;
  }
}

QSerialPort::Parity SerialParityFromText(const QString& text) {
  if (text == "None") return QSerialPort::NoParity;
  if (text == "Even") return QSerialPort::EvenParity;
  if (text == "Odd") return QSerialPort::OddParity;
  if (text == "Mark") return QSerialPort::MarkParity;
  if (text == "Space") return QSerialPort::SpaceParity;
  return QSerialPort::EvenParity;
}

QSerialPort::StopBits SerialStopBitsFromText(const QString& text) {
  return text == "2" ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

SerialLink::SerialLink(QObject* parent) : QObject(parent) {
  connect(&port_, &QSerialPort::readyRead, this,
          [this] { emit RxChar(static_cast<int>(port_.bytesAvailable())); });
  connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::OnError);
}

SerialLink::~SerialLink() { Close(); }

bool SerialLink::Probe(const QString& device) {
  QSerialPort probe;
  probe.setPortName(device);
  if (!probe.open(QIODevice::ReadWrite)) return false;
  probe.close();
  return true;
}

bool SerialLink::Open(const QString& device, qint32 speed, QSerialPort::Parity parity,
                      QSerialPort::StopBits stop, QString* error) {
  if (port_.isOpen()) {
    if (error) *error = "Can't perform this operation while port is open";
    return false;
  }
  device_ = device;
  port_.setPortName(device);
  port_.setBaudRate(speed);
  port_.setParity(parity);
  port_.setStopBits(stop);
  port_.setDataBits(QSerialPort::Data8);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!port_.open(QIODevice::ReadWrite)) {
    int err = errno;
    if (error)
      *error = QString("Can't open specified device %1").arg(device) +
               QString(" (Error %1, %2)").arg(err).arg(QString::fromLocal8Bit(std::strerror(err)));
    return false;
  }
  // Settings a pseudo-terminal refuses are not an error for the link itself.
  port_.clearError();
  rtsSupported_ = true;
  lostReported_ = false;
  return true;
}

void SerialLink::Close() {
  if (port_.isOpen()) port_.close();
}

void SerialLink::Purge() {
  if (port_.isOpen()) port_.clear(QSerialPort::AllDirections);
}

void SerialLink::SetRts(bool on) {
  if (!port_.isOpen() || !rtsSupported_) return;
  if (!port_.setRequestToSend(on)) {
    // The device has no RTS line we can drive; stop trying for this opening.
    rtsSupported_ = false;
    port_.clearError();
  }
}

bool SerialLink::WriteAll(const char* data, qint64 n) {
  if (!port_.isOpen()) return false;
  if (port_.write(data, n) != n) return false;
  QElapsedTimer t;
  t.start();
  while (port_.bytesToWrite() > 0) {
    qint64 left = 1000 - t.elapsed();
    if (left <= 0 || !port_.waitForBytesWritten(static_cast<int>(left))) return false;
  }
  return true;
}

bool SerialLink::WriteByte(uint8_t b) {
  char c = static_cast<char>(b);
  return WriteAll(&c, 1);
}

bool SerialLink::WriteText(const std::string& bytes) {
  return WriteAll(bytes.data(), static_cast<qint64>(bytes.size()));
}

void SerialLink::OnError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::NoError) return;
  if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) {
    if (!lostReported_ && port_.isOpen()) {
      lostReported_ = true;
      int err = errno ? errno : EIO;
      QString msg = QString("Read error (%1), %2").arg(err).arg(port_.errorString());
      port_.clearError();
      emit Lost(msg);
    }
    return;
  }
  port_.clearError();
}

}  // namespace orvio
