// The Modbus RTU checksum (CRC-16/MODBUS).
#pragma once

#include <cstdint>
#include <string_view>

#include "core/bytes.h"

namespace orvio {

// Register starts at 0xFFFF; each byte is XORed into the low eight bits, then eight shifts right,
// XOR 0xA001 whenever a 1 bit falls out. The low byte travels first in a frame.
uint16_t ModbusCrc16(std::string_view bytes);

inline uint8_t CrcLo(uint16_t crc) { return static_cast<uint8_t>(crc & 0xFF); }
inline uint8_t CrcHi(uint16_t crc) { return static_cast<uint8_t>(crc >> 8); }

// `bytes` followed by its checksum, low byte first.
ByteString WithModbusCrc(std::string_view bytes);

}  // namespace orvio
