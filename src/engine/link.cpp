#include "engine/link.h"

#include "core/modbus/answer_end.h"
#include "core/text/link_texts.h"

namespace orvio {

namespace {

// How each kind goes out on the serial line.
struct SerialPacing {
  int leadMs;     // wait between RTS on and the first byte
  int perByteMs;  // wait after each byte
};

SerialPacing PacingOf(RequestKind kind) {
  switch (kind) {
    case RequestKind::kReadHoldingRegisters: return {10, 2};
    case RequestKind::kReadInputRegisters: return {0, 0};
    case RequestKind::kReadDeviceIdentification: return {10, 2};
    case RequestKind::kWriteMultipleRegisters:
    case RequestKind::kWriteSingleRegister:
    case RequestKind::kWriteDateTime: return {0, 2};
  }
  return {0, 2};
}

}  // namespace

Link::Link() {
  paceTimer_.setSingleShot(true);
  paceTimer_.setTimerType(Qt::PreciseTimer);
  connect(&paceTimer_, &QTimer::timeout, this, &Link::Pace);
}

void Link::Attach(SerialLink* serial, QTcpSocket* socket) {
  serial_ = serial;
  socket_ = socket;
}

void Link::Send(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log) {
  if (TcpConnected)
    SendTcp(kind, slave, pdu, log);
  else
    SendRtu(kind, slave, pdu, log);
  CheckAnswer();
}

void Link::SendTcp(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log) {
  const uint16_t id = TransactionId;
  const ByteString frame = TcpFrame(id, slave, pdu);
  ++TransactionId;
  const qint64 n = socket_->write(frame.data(), static_cast<qint64>(frame.size()));
  if (n < 0) {
    log(link_text::kSocketException + socket_->errorString().toStdString());
    return;
  }
  socket_->flush();
  tcpRequests_.push_back(id);
  if (auto line = SentLine(kind, frame)) log(*line);
}

void Link::SendRtu(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log) {
  const ByteString frame = RtuFrame(slave, pdu);
  const SerialPacing p = PacingOf(kind);
  rtuRequests_.push_back(frame);
  outgoing_.push_back({frame, p.leadMs, p.perByteMs, 0, false});
  if (auto line = SentLine(kind, frame)) log(*line);
  if (!transmitting_.exchange(true)) Pace();
}

bool Link::SendRaw(const ByteString& bytes) {
  if (!serial_->WriteText(bytes)) return false;
  rtuRequests_.push_back(bytes);
  CheckAnswer();
  return true;
}

// One step of the frame at the head of the queue: raise RTS, write the bytes (one per step where
// the kind paces them), lower RTS; the next step is due after the kind's wait.
void Link::Pace() {
  while (!outgoing_.empty()) {
    Outgoing& o = outgoing_.front();
    if (!o.rtsRaised) {
      o.rtsRaised = true;
      serial_->SetRts(true);
      if (o.leadMs > 0) {
        paceTimer_.start(o.leadMs);
        return;
      }
    }
    while (o.written < o.frame.size()) {
      serial_->WriteByte(static_cast<uint8_t>(o.frame[o.written++]));
      if (o.perByteMs > 0) {
        paceTimer_.start(o.perByteMs);
        return;
      }
    }
    serial_->SetRts(false);
    outgoing_.pop_front();
  }
  FrameLeft();
}

void Link::FrameLeft() {
  transmitting_ = false;
  // A wait counts from the end of the frame, as if the frame had left before it started.
  for (const QPointer<DTimer>& wait : startedWhileSending_)
    if (wait) wait->Restart();
  startedWhileSending_.clear();
  CheckAnswer();
}

void Link::DropOutgoing() {
  paceTimer_.stop();
  if (!outgoing_.empty() && outgoing_.front().rtsRaised && serial_) serial_->SetRts(false);
  outgoing_.clear();
  startedWhileSending_.clear();
  transmitting_ = false;
}

void Link::Arm(DTimer* wait) {
  if (transmitting_) startedWhileSending_.push_back(wait);
  if (!wait->EndsWithAnswer()) return;
  armed_ = wait;
  CheckAnswer();
}

void Link::CheckAnswer() {
  const bool complete = TcpConnected ? TcpAnswersComplete(tcpRequests_, TcpRxBuffer)
                                     : RtuAnswersComplete(rtuRequests_, SerialRxBuffer);
  if (!complete || !finishEarly_ || transmitting_ || !armed_ || !armed_->Enabled()) return;
  armed_->EndNow();
  armed_ = nullptr;
}

const ByteString& Link::Received() const { return TcpConnected ? TcpRxBuffer : SerialRxBuffer; }

UnwrappedAnswer Link::Answer() const {
  if (!TcpConnected) return {SerialRxBuffer, std::nullopt};
  return UnwrapTcpAnswer(TcpRxBuffer);
}

void Link::Forget() {
  rtuRequests_.clear();
  tcpRequests_.clear();
}

void Link::PurgeSerial() {
  if (transmitting_)
    serial_->PurgeInput();
  else
    serial_->Purge();
}

void Link::Clear() {
  SerialRxBuffer.clear();
  TcpRxBuffer.clear();
  Forget();
}

void Link::ClearAndPurge() {
  Clear();
  if (SerialOpen) PurgeSerial();
}

void Link::ClearSerialAndPurge() {
  SerialRxBuffer.clear();
  Forget();
  PurgeSerial();
}

void Link::TakeSerialBytes() {
  char buf[1024];
  // Everything waiting is taken, 1024 bytes at a time, in arrival order.
  for (;;) {
    const qint64 n = serial_->Read(buf, sizeof buf);
    if (n <= 0) break;
    SerialRxBuffer.append(buf, static_cast<size_t>(n));
  }
  CheckAnswer();
}

void Link::TakeTcpBytes() {
  const QByteArray data = socket_->readAll();
  TcpRxBuffer.append(data.constData(), static_cast<size_t>(data.size()));
  CheckAnswer();
}

}  // namespace orvio
