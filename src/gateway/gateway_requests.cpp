// Hands a gateway request to the sender of its kind; configuration commands and their awaited
// answer.
#include "app/tform1.h"
#include "core/gateway/gateway_request.h"

namespace orvio {

void TForm1::SendGatewayRequest(const GatewayRequest& request) {
  const auto slave = static_cast<uint8_t>(UDmodbusAddress->Position());
  switch (request.kind) {
    case RequestKind::kReadInputRegisters:
      SendReadInputRegisters(slave, request.reg, request.count);
      return;
    case RequestKind::kReadHoldingRegisters:
      SendReadHoldingRegisters(slave, request.reg, request.count);
      return;
    case RequestKind::kWriteSingleRegister:
      SendWriteSingleRegister(slave, request.reg, request.ValueHi(), request.ValueLo());
      return;
    case RequestKind::kWriteMultipleRegisters:
      SendWriteMultipleRegisters(slave, request.reg, request.data);
      return;
    case RequestKind::kWriteDateTime:
      // The sender reads the clock itself at the moment of sending.
      SendWriteDateTime(slave, request.reg, request.count);
      return;
    case RequestKind::kReadDeviceIdentification:
      SendReadDeviceIdentification(slave, request.idCode);
      return;
  }
}

void TForm1::ExpectCommandAnswer() {
  gateway.CommandPending = true;
  modbusAnswer->Expect([this](const ByteString& answer) { ModbusAnswer(answer, false); });
  ClearBuffers();
}

void TForm1::SendConfigurationCommand(const GatewayRequest& request) {
  ExpectCommandAnswer();
  SendGatewayRequest(request);
  // The interval is the one the register reader set last.
  Timer_modbus->Start();
}

}  // namespace orvio
