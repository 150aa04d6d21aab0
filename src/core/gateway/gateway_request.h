// One request to the gateway, described by what it asks for rather than by its frame: the window
// hands it to the sender of its kind, which builds the RTU or TCP frame.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "core/bytes.h"
#include "core/gateway/register_map.h"
#include "core/modbus/frames.h"

namespace orvio {

struct GatewayRequest {
  RequestKind kind = RequestKind::kReadInputRegisters;
  uint16_t reg = 0;
  uint16_t count = 0;  // register count of reads and of the date-time write
  uint16_t value = 0;  // write single register: high byte = value >> 8, low byte = value & 0xFF
  ByteString data;     // write multiple registers / date-time: the data bytes
  uint8_t idCode = 0;  // read device identification code

  uint8_t ValueHi() const { return static_cast<uint8_t>(value >> 8); }
  uint8_t ValueLo() const { return static_cast<uint8_t>(value & 0xFF); }
  bool operator==(const GatewayRequest&) const = default;
};

inline uint8_t FunctionCode(RequestKind kind) {
  switch (kind) {
    case RequestKind::kReadInputRegisters: return reg::kFnReadInput;
    case RequestKind::kReadHoldingRegisters: return reg::kFnReadHolding;
    case RequestKind::kWriteSingleRegister: return reg::kFnWriteSingle;
    case RequestKind::kWriteMultipleRegisters:
    case RequestKind::kWriteDateTime: return reg::kFnWriteMultiple;
    case RequestKind::kReadDeviceIdentification: return reg::kFnDeviceIdentification;
  }
  return 0;
}

inline GatewayRequest ReadInput(uint16_t reg, uint16_t count) {
  return {RequestKind::kReadInputRegisters, reg, count, 0, {}, 0};
}
inline GatewayRequest ReadHolding(uint16_t reg, uint16_t count) {
  return {RequestKind::kReadHoldingRegisters, reg, count, 0, {}, 0};
}
inline GatewayRequest WriteSingle(uint16_t reg, uint16_t value) {
  return {RequestKind::kWriteSingleRegister, reg, 0, value, {}, 0};
}
inline GatewayRequest WriteMultiple(uint16_t reg, ByteString data) {
  return {RequestKind::kWriteMultipleRegisters, reg, 0, 0, std::move(data), 0};
}
inline GatewayRequest ReadDeviceId(uint8_t code) {
  return {RequestKind::kReadDeviceIdentification, 0, 0, 0, {}, code};
}

}  // namespace orvio
