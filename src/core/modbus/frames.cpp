#include "core/modbus/frames.h"

#include "core/modbus/crc.h"

namespace orvio {

namespace {

void PutWord(ByteString& out, uint32_t value) {
  out += static_cast<char>((value >> 8) & 0xFF);
  out += static_cast<char>(value & 0xFF);
}

void PutByte(ByteString& out, int value) { out += static_cast<char>(value & 0xFF); }

ByteString FunctionWithTwoWords(uint8_t function, uint32_t first, uint32_t second) {
  ByteString pdu(1, static_cast<char>(function));
  PutWord(pdu, first);
  PutWord(pdu, second);
  return pdu;
}

}  // namespace

ClockFields ClockFieldsFromTm(const std::tm& local) {
  ClockFields c;
  c.second = local.tm_sec;
  c.minute = local.tm_min;
  c.hour = local.tm_hour;
  c.dayOfWeek = local.tm_wday == 0 ? 7 : local.tm_wday;  // tm counts from Sunday = 0
  c.day = local.tm_mday;
  c.month = local.tm_mon + 1;
  c.year = local.tm_year + 1900;
  return c;
}

ByteString ReadHoldingRegistersPdu(uint32_t firstRegister, uint32_t count) {
  return FunctionWithTwoWords(0x03, firstRegister, count);
}

ByteString ReadInputRegistersPdu(uint32_t firstRegister, uint32_t count) {
  return FunctionWithTwoWords(0x04, firstRegister, count);
}

ByteString WriteSingleRegisterPdu(uint32_t reg, uint8_t valueHi, uint8_t valueLo) {
  return FunctionWithTwoWords(0x06, reg, (uint32_t{valueHi} << 8) | valueLo);
}

std::optional<ByteString> WriteMultipleRegistersPdu(uint32_t firstRegister, std::string_view data) {
  ByteString bytes(data);
  if (bytes.size() % 2 != 0) bytes += '\0';
  if (bytes.size() > kMaxWriteBytes) return std::nullopt;
  ByteString pdu =
      FunctionWithTwoWords(0x10, firstRegister, static_cast<uint32_t>(bytes.size() / 2));
  PutByte(pdu, static_cast<int>(bytes.size()));
  pdu += bytes;
  return pdu;
}

ByteString WriteDateTimePdu(uint32_t firstRegister, const ClockFields& clock) {
  ByteString pdu = FunctionWithTwoWords(0x10, firstRegister, kDateTimeRegisterCount);
  PutByte(pdu, 2 * kDateTimeRegisterCount);
  PutByte(pdu, clock.second);
  PutByte(pdu, clock.minute);
  PutByte(pdu, clock.hour);
  PutByte(pdu, clock.dayOfWeek);
  PutByte(pdu, clock.day);
  PutByte(pdu, clock.month);
  // Years after 2000 count from 2000; any other year goes as the low byte of its number.
  PutByte(pdu, clock.year > 2000 ? clock.year - 2000 : clock.year & 0xFF);
  PutByte(pdu, 0);
  return pdu;
}

ByteString ReadDeviceIdentificationPdu(uint8_t code) {
  ByteString pdu;
  PutByte(pdu, 0x2B);
  PutByte(pdu, 0x0E);  // MEI type: read device identification
  PutByte(pdu, code);
  PutByte(pdu, 0);  // object identifier
  return pdu;
}

ByteString RtuFrame(uint8_t unit, std::string_view pdu) {
  ByteString body(1, static_cast<char>(unit));
  body += pdu;
  return WithModbusCrc(body);
}

ByteString TcpFrame(uint16_t transactionId, uint8_t unit, std::string_view pdu) {
  ByteString frame;
  PutWord(frame, transactionId);
  PutWord(frame, 0);  // protocol identifier: Modbus
  PutWord(frame, static_cast<uint32_t>(pdu.size() + 1));
  PutByte(frame, unit);
  frame += pdu;
  return frame;
}

std::optional<std::string> SentLine(RequestKind kind, std::string_view frame) {
  switch (kind) {
    case RequestKind::kReadDeviceIdentification: return std::nullopt;
    case RequestKind::kWriteMultipleRegisters:
    case RequestKind::kWriteDateTime: return TraceLine("SENT: ", frame);
    case RequestKind::kReadHoldingRegisters:
    case RequestKind::kReadInputRegisters:
    case RequestKind::kWriteSingleRegister: break;
  }
  return TraceLine("SENT:", frame);
}

std::string TraceLine(std::string_view prefix, std::string_view bytes) {
  std::string line(prefix);
  line += TraceHex(bytes);
  return line;
}

}  // namespace orvio
