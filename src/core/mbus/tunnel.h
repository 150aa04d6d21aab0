// The M-Bus telegram carried in a Modbus read answer of the gateway's tunnel block (input
// registers from 33800, register bytes high byte first).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"
#include "core/modbus/answer.h"

namespace orvio {

// Memo line written before a tunnelled telegram is decoded.
inline constexpr char kTelegramDecodeLine[] = "Mbus telegram decode:";

struct TunnelledTelegram {
  // The answer's check (checksum, leading zero byte, exception), with its memo and status texts.
  AnswerCheck check;
  // Empty when the answer was rejected.
  ByteString telegram;
};

// Cuts the telegram out of a read answer (RTU form) of which the caller asked `payload_count`
// payload bytes (twice the register count; any size, not only 8 bits). Only the register bytes
// the answer really holds are used: at most its byte count, never its checksum.
//  - A payload that starts like a long frame (68 L L 68) whose L + 6 bytes are all there is
//    exactly those L + 6 bytes.
//  - Otherwise the first payload_count - 1 bytes are taken, and the next one too unless the
//    last byte taken is the stop byte 16h: an odd-length telegram drops the register's filler
//    byte, an even-length one keeps all its bytes.
TunnelledTelegram ExtractTunnelledTelegram(std::string_view answer, size_t payload_count);

}  // namespace orvio
