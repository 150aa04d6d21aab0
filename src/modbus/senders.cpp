// The six request senders (over the link in use, src/link/link.h) and the answer intake shared
// by every collector.
#include <QDateTime>
#include <ctime>

#include "app/tform1.h"

namespace orvio {

void TForm1::SendRequest(RequestKind kind, uint8_t slave, const ByteString& pdu) {
  link.Send(kind, slave, pdu, [this](const std::string& line) { MemoAdd(line); });
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
  SendRequest(RequestKind::kWriteDateTime, slave,
              WriteDateTimePdu(first, ClockFieldsFromTm(local)));
}

void TForm1::SendReadDeviceIdentification(uint8_t slave, uint8_t code) {
  SendRequest(RequestKind::kReadDeviceIdentification, slave, ReadDeviceIdentificationPdu(code));
}

ByteString TForm1::TakeAnswer() {
  UnwrappedAnswer u = link.Answer();
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
