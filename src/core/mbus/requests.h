// M-Bus request telegrams the program sends through the gateway's tunnel block, and the pure
// steps of the tunnel transaction around them: what is written to register 33800, and how the
// answer status of register 33799 tells how many registers to read back.
#pragma once

#include <cstdint>
#include <optional>

#include "core/bytes.h"
#include "core/modbus/answer.h"

namespace orvio {

// Control fields of the short frames (EN 13757-2).
inline constexpr uint8_t kReqUd2Control = 0x7B;     // REQ_UD2, FCB set
inline constexpr uint8_t kReqUd2ControlAlt = 0x5B;  // REQ_UD2, FCB clear ("0x5B" checked)
inline constexpr uint8_t kSndNkeControl = 0x40;     // SND_NKE

// Short frame: 10 C A CS 16, CS = (C + A) modulo 256.
ByteString ShortFrame(uint8_t control, uint8_t address);

// REQ_UD2 to a primary address; `alternate` picks the control 0x5B instead of 0x7B.
ByteString ReqUd2Frame(uint8_t address, bool alternate = false);

// SND_NKE (link reset) to a primary address.
ByteString SndNkeFrame(uint8_t address);

// The bytes written with write multiple registers to the tunnel block: the telegram in order,
// first byte in the high byte of the first register, an odd length padded with one 0x00.
ByteString TunnelRequestData(const ByteString& telegram);

// Registers to read back from the tunnel block, from the answer of the status register 33799
// (lo = length of the held answer in bytes, hi = state). Nothing when the answer failed its
// check, holds no length, or the state is 3 or less (no answer ready): the attempt failed.
std::optional<int> TunnelAnswerRegisters(const FirstRegister& status);

// Where a primary scan goes after one attempt. Every address gets one request and up to
// `retry_setting` repeats while its attempts fail.
struct ScanStep {
  int address = 0;    // address to request next
  int retries = 0;    // repeats already made for it
  bool done = false;  // the range is exhausted: the scan ends
};
ScanStep NextScanStep(int address, int retries, bool attempt_failed, int retry_setting,
                      int last_address);

}  // namespace orvio
