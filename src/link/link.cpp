#include "link/link.h"

#include <QThread>

#include "core/text/link_texts.h"

namespace orvio {

namespace {

// How each kind goes out on the serial line.
struct SerialPacing {
  bool logFirst;  // log before raising RTS
  int leadMs;     // wait between RTS on and the first byte
  int perByteMs;  // wait after each byte
  bool logBeforeRtsOff;
};

SerialPacing PacingOf(RequestKind kind) {
  switch (kind) {
    case RequestKind::kReadHoldingRegisters: return {true, 10, 2, false};
    case RequestKind::kReadInputRegisters: return {true, 0, 0, false};
    case RequestKind::kWriteMultipleRegisters: return {false, 0, 2, true};
    case RequestKind::kReadDeviceIdentification: return {false, 10, 2, false};
    case RequestKind::kWriteSingleRegister:
    case RequestKind::kWriteDateTime: return {false, 0, 2, false};
  }
  return {false, 0, 2, false};
}

}  // namespace

void Link::Attach(SerialLink* serial, QTcpSocket* socket) {
  serial_ = serial;
  socket_ = socket;
}

void Link::Send(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log) {
  if (TcpConnected)
    SendTcp(kind, slave, pdu, log);
  else
    SendRtu(kind, slave, pdu, log);
}

void Link::SendTcp(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log) {
  const ByteString frame = TcpFrame(TransactionId, slave, pdu);
  ++TransactionId;
  const qint64 n = socket_->write(frame.data(), static_cast<qint64>(frame.size()));
  if (n < 0) {
    log(link_text::kSocketException + socket_->errorString().toStdString());
    return;
  }
  socket_->flush();
  if (auto line = SentLine(kind, frame)) log(*line);
}

void Link::SendRtu(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log) {
  const ByteString frame = RtuFrame(slave, pdu);
  const SerialPacing p = PacingOf(kind);
  const auto line = SentLine(kind, frame);
  if (p.logFirst && line) log(*line);
  serial_->SetRts(true);
  if (p.leadMs) QThread::msleep(static_cast<unsigned long>(p.leadMs));
  for (char c : frame) {
    serial_->WriteByte(static_cast<uint8_t>(c));
    if (p.perByteMs) QThread::msleep(static_cast<unsigned long>(p.perByteMs));
  }
  if (p.logBeforeRtsOff && line) log(*line);
  serial_->SetRts(false);
  if (!p.logFirst && !p.logBeforeRtsOff && line) log(*line);
}

const ByteString& Link::Received() const { return TcpConnected ? TcpRxBuffer : SerialRxBuffer; }

UnwrappedAnswer Link::Answer() const {
  if (!TcpConnected) return {SerialRxBuffer, std::nullopt};
  return UnwrapTcpAnswer(TcpRxBuffer);
}

void Link::Clear() {
  SerialRxBuffer.clear();
  TcpRxBuffer.clear();
}

void Link::ClearAndPurge() {
  Clear();
  if (SerialOpen) serial_->Purge();
}

void Link::ClearSerialAndPurge() {
  SerialRxBuffer.clear();
  serial_->Purge();
}

void Link::TakeSerialBytes() {
  char buf[1024];
  // Everything waiting is taken, 1024 bytes at a time, in arrival order.
  for (;;) {
    const qint64 n = serial_->Read(buf, sizeof buf);
    if (n <= 0) break;
    SerialRxBuffer.append(buf, static_cast<size_t>(n));
  }
}

void Link::TakeTcpBytes() {
  const QByteArray data = socket_->readAll();
  TcpRxBuffer.append(data.constData(), static_cast<size_t>(data.size()));
}

}  // namespace orvio
