// Request senders and answer intake.
#include "app/tform1.h"

namespace orvio {

void TForm1::SendReadHoldingRegisters(uint8_t, uint16_t, uint16_t) {}
void TForm1::SendReadInputRegisters(uint8_t, uint16_t, uint16_t) {}
void TForm1::SendWriteSingleRegister(uint8_t, uint16_t, uint8_t, uint8_t) {}
void TForm1::SendWriteMultipleRegisters(uint8_t, uint16_t, const ByteString&) {}
void TForm1::SendWriteDateTime(uint8_t) {}
void TForm1::SendReadDeviceIdentification(uint8_t, uint8_t) {}
ByteString TForm1::TakeAnswer() { return {}; }

}  // namespace orvio
