#include "core/modbus/answer.h"

#include <array>

#include "core/modbus/crc.h"
#include "core/modbus/frames.h"

namespace orvio {

namespace {

struct ExceptionRow {
  uint8_t code;
  const char* text;
};
constexpr std::array<ExceptionRow, 6> kExceptionTexts{{
    {1, "Error - ILLEGAL FUNCTION\r"},
    {2, "Error - ILLEGAL DATA ADDRESS\r"},
    {3, "Error - ILLEGAL DATA VALUE\r"},
    {4, "Error - SLAVE DEVICE FAILURE\r"},
    {6, "Error - SLAVE DEVICE BUSY\r"},
    {8, "Error - MEMORY PARITY ERROR\r"},
}};

constexpr size_t kMbapHeaderSize = 6;  // tid (2), protocol (2), length (2)
constexpr size_t kShortestFrame = 4;   // unit, function, crc lo, crc hi

// True when the two bytes at `at` carry the checksum of everything before them.
bool CrcMatches(std::string_view answer, size_t at, uint16_t& crc) {
  crc = ModbusCrc16(answer.substr(0, at));
  return ByteAt(answer, at) == CrcLo(crc) && ByteAt(answer, at + 1) == CrcHi(crc);
}

}  // namespace

std::optional<std::string> ExceptionText(uint8_t code) {
  for (const auto& row : kExceptionTexts) {
    if (row.code == code) return std::string(row.text);
  }
  return std::nullopt;
}

UnwrappedAnswer UnwrapTcpAnswer(std::string_view tcpAnswer) {
  UnwrappedAnswer out;
  if (tcpAnswer.size() > 7) {
    out.answer = WithModbusCrc(tcpAnswer.substr(kMbapHeaderSize));
  } else if (!tcpAnswer.empty()) {
    out.memoLine = TraceLine(kRawTcpDataPrefix, tcpAnswer);
  }
  return out;
}

std::string UnmdLine(std::string_view answer) { return TraceLine("UNMD:", answer); }

AnswerCheck ValidateAnswer(std::string_view answer, CheckForm form) {
  AnswerCheck check;
  bool crcOk = false;
  if (answer.size() >= kShortestFrame) {
    const size_t last = answer.size() - 1;
    crcOk = CrcMatches(answer, last - 1, check.crc);
    check.bodyLength = last - 1;
    if (!crcOk && ByteAt(answer, last) == 0x00) {
      // The filler-byte reading: checksum in the two bytes before the last. (For an answer
      // ending in 0x00 it holds exactly when the plain reading holds: the CRC over a frame and
      // its low CRC byte is the high CRC byte followed by 00. It still gives the CRC reported
      // for a failed answer.)
      crcOk = CrcMatches(answer, last - 2, check.crc);
      check.bodyLength = last - 2;
    }
  } else {
    check.crc = ModbusCrc16(answer.substr(0, answer.size() < 2 ? 0 : answer.size() - 2));
  }

  if (!crcOk) {
    check.fault = AnswerFault::kChecksum;
    check.memoLine = kCrcErrorMemo;
    if (form == CheckForm::kFull) check.statusPanel = kCrcErrorPanel;
    return check;
  }
  if (ByteAt(answer, 0) == 0x00) {
    check.fault = AnswerFault::kLeadingZero;
    if (form != CheckForm::kDeviceIdentification) check.memoLine = kLeadingZeroMemo;
    return check;
  }
  if (ByteAt(answer, 1) >= 0x80) {
    check.fault = AnswerFault::kException;
    check.exceptionCode = ByteAt(answer, 2);
    check.memoLine = ExceptionText(check.exceptionCode);
    return check;
  }
  return check;
}

FirstRegister ReadFirstRegister(std::string_view answer, CheckForm form) {
  FirstRegister out;
  out.check = ValidateAnswer(answer, form);
  out.valid = out.check.ok() && out.check.bodyLength >= 5;
  if (out.valid) {
    out.hi = ByteAt(answer, 3);
    out.lo = ByteAt(answer, 4);
  } else {
    out.hi = CrcHi(out.check.crc);
    out.lo = CrcLo(out.check.crc);
  }
  return out;
}

std::vector<RegisterValue> ReadAnswerRegisters(std::string_view answer, const AnswerCheck& check) {
  std::vector<RegisterValue> registers;
  if (!check.ok() || check.bodyLength < 3 || check.bodyLength > answer.size()) return registers;
  const size_t byteCount = ByteAt(answer, 2);
  const size_t announced = (byteCount + 1) / 2;
  const size_t present = (check.bodyLength - 3) / 2;
  const size_t n = announced < present ? announced : present;
  registers.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    registers.push_back({ByteAt(answer, 3 + 2 * i), ByteAt(answer, 4 + 2 * i)});
  }
  return registers;
}

}  // namespace orvio
