// The six request senders and the answer intake shared by every collector.
#include <QDateTime>
#include <QThread>
#include <ctime>

#include "app/tform1.h"
#include "core/text/link_texts.h"

namespace orvio {

namespace {

// How each kind goes out on the serial line.
struct SerialPacing {
  bool logFirst;       // log before raising RTS
  int leadMs;          // wait between RTS on and the first byte
  int perByteMs;       // wait after each byte
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

void TForm1::SendRequest(RequestKind kind, uint8_t slave, const ByteString& pdu) {
  if (link.TcpConnected) {
    const ByteString frame = TcpFrame(link.TransactionId, slave, pdu);
    ++link.TransactionId;
    const qint64 n = Xport_socket->write(frame.data(), static_cast<qint64>(frame.size()));
    if (n < 0) {
      MemoAdd(link_text::kSocketException + Xport_socket->errorString());
      return;
    }
    Xport_socket->flush();
    if (auto line = SentLine(kind, frame)) MemoAdd(*line);
    return;
  }
  const ByteString frame = RtuFrame(slave, pdu);
  const SerialPacing p = PacingOf(kind);
  const auto line = SentLine(kind, frame);
  if (p.logFirst && line) MemoAdd(*line);
  Comm2->SetRts(true);
  if (p.leadMs) QThread::msleep(static_cast<unsigned long>(p.leadMs));
  for (char c : frame) {
    Comm2->WriteByte(static_cast<uint8_t>(c));
    if (p.perByteMs) QThread::msleep(static_cast<unsigned long>(p.perByteMs));
  }
  if (p.logBeforeRtsOff && line) MemoAdd(*line);
  Comm2->SetRts(false);
  if (!p.logFirst && !p.logBeforeRtsOff && line) MemoAdd(*line);
}

void TForm1::SendReadHoldingRegisters(uint8_t slave, uint16_t first, uint16_t count) {
  SendRequest(RequestKind::kReadHoldingRegisters, slave, ReadHoldingRegistersPdu(first, count));
}

void TForm1::SendReadInputRegisters(uint8_t slave, uint16_t first, uint16_t count) {
  SendRequest(RequestKind::kReadInputRegisters, slave, ReadInputRegistersPdu(first, count));
}

void TForm1::SendWriteSingleRegister(uint8_t slave, uint16_t reg, uint8_t hi, uint8_t lo) {
  SendRequest(RequestKind::kWriteSingleRegister, slave, WriteSingleRegisterPdu(reg, hi, lo));
}

void TForm1::SendWriteMultipleRegisters(uint8_t slave, uint16_t first, const ByteString& data) {
  auto pdu = WriteMultipleRegistersPdu(first, data);
  if (!pdu) return;  // more than one request can carry; callers never build such strings
  SendRequest(RequestKind::kWriteMultipleRegisters, slave, *pdu);
}

void TForm1::SendWriteDateTime(uint8_t slave, uint16_t first, int count) {
  if (count != kDateTimeRegisterCount) {
    MemoAdd(QString(kNotAllowableRegisterCount));
    return;
  }
  std::tm local{};
  if (seam.localNow) {
    local = seam.localNow();
  } else {
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &local);
  }
  SendRequest(RequestKind::kWriteDateTime, slave, WriteDateTimePdu(first, ClockFieldsFromTm(local)));
}

void TForm1::SendReadDeviceIdentification(uint8_t slave, uint8_t code) {
  SendRequest(RequestKind::kReadDeviceIdentification, slave, ReadDeviceIdentificationPdu(code));
}

ByteString TForm1::TakeAnswer() {
  if (!link.TcpConnected) return link.SerialRxBuffer;
  UnwrappedAnswer u = orvio::UnwrapTcpAnswer(link.TcpRxBuffer);
  if (u.memoLine) MemoAdd(*u.memoLine);
  return u.answer;
}

AnswerCheck TForm1::ValidateAnswer(const ByteString& answer, CheckForm form) {
  AnswerCheck check = orvio::ValidateAnswer(answer, form);
  if (check.statusPanel) SetPanel(2, QString::fromStdString(*check.statusPanel));
  if (check.memoLine) MemoAdd(*check.memoLine);
  return check;
}

FirstRegister TForm1::ReadFirstRegister(const ByteString& answer, CheckForm form) {
  FirstRegister r = orvio::ReadFirstRegister(answer, form);
  if (r.check.statusPanel) SetPanel(2, QString::fromStdString(*r.check.statusPanel));
  if (r.check.memoLine) MemoAdd(*r.check.memoLine);
  return r;
}

}  // namespace orvio
