#include "core/modbus/crc.h"

namespace orvio {

uint16_t ModbusCrc16(std::string_view bytes) {
  uint16_t crc = 0xFFFF;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) {
      const bool carry = (crc & 1) != 0;
      crc >>= 1;
      if (carry) crc ^= 0xA001;
    }
  }
  return crc;
}

ByteString WithModbusCrc(std::string_view bytes) {
  const uint16_t crc = ModbusCrc16(bytes);
  ByteString out(bytes);
  out += static_cast<char>(CrcLo(crc));
  out += static_cast<char>(CrcHi(crc));
  return out;
}

}  // namespace orvio
