// When a wait may end: the answer to the requests sent is complete, by the function code's length
// rule and the checksum over RTU, by the MBAP length and the transaction id over TCP. Everything
// else keeps the wait running.
#include <gtest/gtest.h>

#include "core/modbus/answer_end.h"
#include "core/modbus/crc.h"
#include "core/modbus/frames.h"

namespace orvio {
namespace {

ByteString Hex(const char* text) { return ParseHexBytes(text).value(); }
ByteString Rtu(const char* hex) { return WithModbusCrc(Hex(hex)); }

const ByteString kReadRequest = RtuFrame(1, ReadInputRegistersPdu(33799, 1));

struct RtuRow {
  const char* name;
  ByteString request;
  ByteString answer;  // complete; every shorter prefix is not
};

const RtuRow kRtuRows[] = {
    {"read_input", kReadRequest, Rtu("01 04 02 00 05")},
    {"read_holding", RtuFrame(1, ReadHoldingRegistersPdu(0, 2)), Rtu("01 03 04 00 01 00 02")},
    {"exception", kReadRequest, Rtu("01 84 02")},
    {"write_single", RtuFrame(1, WriteSingleRegisterPdu(4, 0, 5)), Rtu("01 06 00 04 00 05")},
    {"write_multiple", RtuFrame(1, *WriteMultipleRegistersPdu(33800, Hex("10 5B FE 59 16"))),
     Rtu("01 10 84 08 00 03")},
    {"device_identification", RtuFrame(1, ReadDeviceIdentificationPdu(1)),
     Rtu("01 2B 0E 01 01 00 00 02 00 03 41 42 43 01 02 31 32")},
    {"read_coils_by_hand", Rtu("01 01 00 00 00 08"), Rtu("01 01 01 55")},
};

TEST(AnswerEnd, EachFunctionIsCompleteExactlyAtItsLastByte) {
  for (const RtuRow& row : kRtuRows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(RtuAnswersComplete({row.request}, row.answer));
    for (size_t n = 0; n < row.answer.size(); ++n)
      EXPECT_FALSE(RtuAnswersComplete({row.request}, row.answer.substr(0, n))) << n;
    // One filler byte after the frame is part of it; anything else keeps the wait running.
    EXPECT_TRUE(RtuAnswersComplete({row.request}, row.answer + '\0'));
    EXPECT_FALSE(RtuAnswersComplete({row.request}, row.answer + "\x55"));
  }
}

TEST(AnswerEnd, FaultyOrForeignRtuAnswersNeverEndTheWait) {
  ByteString badCrc = Rtu("01 04 02 00 05");
  badCrc.back() ^= 0x01;
  EXPECT_FALSE(RtuAnswersComplete({kReadRequest}, badCrc));
  EXPECT_FALSE(RtuAnswersComplete({kReadRequest}, Rtu("01 03 02 00 05")));  // other function
  EXPECT_FALSE(RtuAnswersComplete({kReadRequest}, Hex("FF FF 00 13 37")));  // garbage
  EXPECT_FALSE(RtuAnswersComplete({}, Rtu("01 04 02 00 05")));              // nothing asked
  // A function without a length rule: only the full time-out ends the wait.
  EXPECT_FALSE(RtuAnswersComplete({Rtu("01 41 00")}, Rtu("01 41 00")));
  // Typed text that is no frame.
  EXPECT_FALSE(RtuAnswersComplete({ByteString("AT")}, ByteString("OK\r\n")));
}

TEST(AnswerEnd, BytesInFrontAndTheEchoArePassedOverAndKept) {
  const ByteString answer = Rtu("01 04 02 00 05");
  // The converter's echo of the request: complete only once the answer behind it is in.
  EXPECT_FALSE(RtuAnswersComplete({kReadRequest}, kReadRequest));
  EXPECT_FALSE(RtuAnswersComplete({kReadRequest}, kReadRequest + answer.substr(0, 4)));
  EXPECT_TRUE(RtuAnswersComplete({kReadRequest}, kReadRequest + answer));
  EXPECT_TRUE(RtuAnswersComplete({kReadRequest}, Hex("00 FF") + answer));
}

TEST(AnswerEnd, SeveralRequestsWaitForEveryAnswerInOrder) {
  const ByteString write = RtuFrame(1, WriteSingleRegisterPdu(4, 0, 5));
  const ByteString writeAnswer = Rtu("01 06 00 04 00 05");
  const ByteString readAnswer = Rtu("01 04 02 00 05");
  EXPECT_FALSE(RtuAnswersComplete({write, kReadRequest}, writeAnswer));
  EXPECT_TRUE(RtuAnswersComplete({write, kReadRequest}, writeAnswer + readAnswer));
  // Two writes of the same kind: the first answer alone does not end the wait.
  EXPECT_FALSE(RtuAnswersComplete({write, write}, writeAnswer));
  EXPECT_TRUE(RtuAnswersComplete({write, write}, writeAnswer + writeAnswer));
}

TEST(AnswerEnd, TcpGoesByLengthAndTransactionId) {
  const ByteString frame = Hex("03 E8 00 00 00 05 01 04 02 00 05");  // id 1000
  EXPECT_TRUE(TcpAnswersComplete({1000}, frame));
  for (size_t n = 0; n < frame.size(); ++n)
    EXPECT_FALSE(TcpAnswersComplete({1000}, frame.substr(0, n)));
  EXPECT_FALSE(TcpAnswersComplete({1001}, frame));           // another transaction's answer
  EXPECT_FALSE(TcpAnswersComplete({1000}, frame + "\x03"));  // a frame still growing behind
  EXPECT_FALSE(TcpAnswersComplete({1000}, Hex("03 E8 00 00 00 00")));  // length zero
  EXPECT_FALSE(TcpAnswersComplete({}, frame));
  const ByteString stale = Hex("03 E7 00 00 00 03 01 84 02");
  EXPECT_TRUE(TcpAnswersComplete({1000}, stale + frame));
  const ByteString second = Hex("03 E9 00 00 00 03 01 84 0B");
  EXPECT_FALSE(TcpAnswersComplete({1000, 1001}, frame));
  EXPECT_TRUE(TcpAnswersComplete({1000, 1001}, frame + second));
}

}  // namespace
}  // namespace orvio
