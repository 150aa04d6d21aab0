// Answers from the gateway: the TCP-to-RTU conversion, the checks every payload decoder starts
// with, and the trace line of a taken answer. Errors are values: a check says what went wrong and
// carries the memo and status texts; only the window shows them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"

namespace orvio {

inline constexpr char kCrcErrorMemo[] = "Error in CRC field\r";
inline constexpr char kCrcErrorPanel[] = "Error in CRC field";  // status bar panel 2
inline constexpr char kLeadingZeroMemo[] = "Garbage leading bytes in the telegram";
inline constexpr char kRawTcpDataPrefix[] = "Error, raw TCP data: ";

// The memo text of an exception code, or nothing for codes without one.
std::optional<std::string> ExceptionText(uint8_t code);

struct UnwrappedAnswer {
  ByteString answer;                    // RTU form, or empty
  std::optional<std::string> memoLine;  // "Error, raw TCP data: ..." for a too short answer
};

// A Modbus TCP answer in RTU form: the 6-byte MBAP prefix dropped (not examined), the checksum
// of the rest appended. Answers of 1 to 7 bytes are reported and become empty.
UnwrappedAnswer UnwrapTcpAnswer(std::string_view tcpAnswer);

// "UNMD:" and the answer in trace hex ("UNMD:" alone for an empty answer).
std::string UnmdLine(std::string_view answer);

enum class AnswerFault {
  kNone,         // the payload may be decoded
  kChecksum,     // CRC mismatch, or fewer than the 4 bytes of the shortest frame
  kLeadingZero,  // first byte 0x00
  kException,    // function code 0x80 or above
};

// Two decoders use a reduced form of the check.
enum class CheckForm {
  kFull,                  // every decoder but the two below
  kDeviceMap,             // checksum failure leaves status panel 2 alone
  kDeviceIdentification,  // leaves panel 2 alone and passes over a leading zero silently
};

struct AnswerCheck {
  AnswerFault fault = AnswerFault::kNone;
  std::optional<std::string> memoLine;     // to add to the trace memo
  std::optional<std::string> statusPanel;  // new text of status panel 2
  uint16_t crc = 0xFFFF;                   // the checksum computed last during the checksum check
  // Bytes before the checksum of the reading that passed. An answer ending in 0x00 cannot tell
  // a filler byte from a CRC high byte of 0x00 (both readings hold together), so this may count
  // the low CRC byte of a frame that ends in a filler: decoders go by their own length fields and
  // take this as the bound.
  size_t bodyLength = 0;
  uint8_t exceptionCode = 0;
  bool ok() const { return fault == AnswerFault::kNone; }
};

// Checksum, leading zero byte, exception answer; the first that applies ends the check.
// A frame may end in one filler byte 0x00. The checksum over all but the last two bytes is
// compared first, so a correct frame whose CRC high byte is 0x00 is no checksum error; when that
// fails and the last byte is 0x00, the two bytes before it are compared. `crc` is the checksum
// computed last.
AnswerCheck ValidateAnswer(std::string_view answer, CheckForm form = CheckForm::kFull);

struct FirstRegister {
  AnswerCheck check;
  bool valid = false;  // the check passed and the answer holds a first register
  // The first register (fourth and fifth bytes); when not valid, the computed CRC instead.
  uint8_t hi = 0;
  uint8_t lo = 0;
};
FirstRegister ReadFirstRegister(std::string_view answer, CheckForm form = CheckForm::kFull);

struct RegisterValue {
  uint8_t hi = 0;
  uint8_t lo = 0;
};

// The registers of a checked read answer (function 0x03/0x04): byte count N in the third byte,
// ceil(N / 2) registers from the fourth byte on, never reaching into the checksum.
std::vector<RegisterValue> ReadAnswerRegisters(std::string_view answer, const AnswerCheck& check);

}  // namespace orvio
