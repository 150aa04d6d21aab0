// Cutting the M-Bus telegram out of the gateway's tunnel-block read answer.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/bytes.h"
#include "core/mbus/telegram.h"
#include "core/mbus/tunnel.h"
#include "core/modbus/crc.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Hex;

// Read-input-registers answer of slave 1 carrying `payload` (byte count = its size).
ByteString Answer(const ByteString& payload) {
  ByteString a = Hex("01 04");
  a += static_cast<char>(payload.size());
  a += payload;
  return WithModbusCrc(a);
}

// A 13-byte telegram (odd) and a 14-byte one (even), both sound long frames.
const ByteString kOdd = test::LongFrame("08 01 72 78 56 34 12");      // 4 + 7 + 2
const ByteString kEven = test::LongFrame("08 01 72 78 56 34 12 01");  // 4 + 8 + 2

TEST(MbusTunnel, TelegramsAreSound) {
  ASSERT_EQ(kOdd.size(), 13u);
  ASSERT_EQ(kEven.size(), 14u);
}

struct CutRow {
  const char* name;
  ByteString payload;
  size_t count;
  ByteString telegram;
};
class TunnelCutRows : public ::testing::TestWithParam<CutRow> {};
TEST_P(TunnelCutRows, Cuts) {
  const CutRow& r = GetParam();
  const TunnelledTelegram t = ExtractTunnelledTelegram(Answer(r.payload), r.count);
  EXPECT_TRUE(t.check.ok());
  EXPECT_EQ(HexText(t.telegram), HexText(r.telegram));
}
const CutRow kCutRows[] = {
    // Seven registers hold 14 bytes.
    {"OddTelegramDropsTheFiller", kOdd + '\0', 14, kOdd},
    {"EvenTelegramKeepsAllBytes", kEven, 14, kEven},
    // More registers read than the telegram needs: the frame's own length decides.
    {"LongerReadKeepsTheFrame", kEven + ByteString(6, '\0'), 20, kEven},
    // Not a long frame: n - 1 bytes, plus the n-th unless the last taken is 16h.
    {"RawOddRule", Hex("E5 01 16 00"), 4, Hex("E5 01 16")},
    {"RawEvenRule", Hex("E5 01 02 03"), 4, Hex("E5 01 02 03")},
    {"SingleByteCount", Hex("E5 00"), 1, Hex("E5")},
    {"ZeroCount", Hex("E5 00"), 0, Hex("")},
    // A frame whose announced length does not fit falls back to the rule.
    {"FrameLongerThanPayload", Hex("68 20 20 68 08 01 72 00"), 8, Hex("68 20 20 68 08 01 72 00")},
    // Asked for more than the answer holds: only what is there, never the checksum.
    {"CountBeyondTheAnswer", Hex("E5 01 02 03"), 40, Hex("E5 01 02 03")},
    {"CountAboveEightBits", kOdd + '\0', 256, kOdd},
};
INSTANTIATE_TEST_SUITE_P(Mbus, TunnelCutRows, ::testing::ValuesIn(kCutRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MbusTunnel, EvenTelegramWhoseChecksumIs16hIsKeptWhole) {
  // An even-length telegram whose checksum byte is 16h: cutting at the first 16h from the end of
  // n - 1 bytes would lose its real stop byte.
  ByteString even;
  for (int last = 0; last < 256 && even.empty(); ++last) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", last);
    ByteString t = test::Rsp(std::string("01 2B ") + hex);
    if (static_cast<uint8_t>(t[t.size() - 2]) == 0x16) even = t;
  }
  ASSERT_EQ(even.size(), 24u);
  const TunnelledTelegram t = ExtractTunnelledTelegram(Answer(even), 24);
  EXPECT_EQ(HexText(t.telegram), HexText(even));
  const TelegramDecode d = DecodeTelegram(t.telegram);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.records.size(), 1u);
}

TEST(MbusTunnel, ByteCountLimitsThePayload) {
  // Byte count 2 although more bytes stand before the checksum.
  ByteString a = WithModbusCrc(Hex("01 04 02 E5 01 02 03"));
  EXPECT_EQ(HexText(ExtractTunnelledTelegram(a, 10).telegram), "E501");
}

TEST(MbusTunnel, AnswerWithFillerByte) {
  const ByteString a = Answer(kOdd + '\0') + '\0';
  const TunnelledTelegram t = ExtractTunnelledTelegram(a, 14);
  EXPECT_TRUE(t.check.ok());
  EXPECT_EQ(HexText(t.telegram), HexText(kOdd));
}

struct RejectRow {
  const char* name;
  ByteString answer;
  AnswerFault fault;
};
class TunnelRejectRows : public ::testing::TestWithParam<RejectRow> {};
TEST_P(TunnelRejectRows, RejectsWithEmptyTelegram) {
  const RejectRow& r = GetParam();
  const TunnelledTelegram t = ExtractTunnelledTelegram(r.answer, 14);
  EXPECT_EQ(t.check.fault, r.fault);
  EXPECT_TRUE(t.telegram.empty());
}
ByteString BadCrc() {
  ByteString a = Answer(kEven);
  a[a.size() - 1] = static_cast<char>(a[a.size() - 1] ^ 0x01);
  return a;
}
const RejectRow kRejectRows[] = {
    {"Checksum", BadCrc(), AnswerFault::kChecksum},
    {"LeadingZero", WithModbusCrc(Hex("00 04 02 68 68")), AnswerFault::kLeadingZero},
    {"Exception", WithModbusCrc(Hex("01 84 02")), AnswerFault::kException},
    {"Empty", ByteString(), AnswerFault::kChecksum},
    {"TwoBytes", Hex("01 04"), AnswerFault::kChecksum},
};
INSTANTIATE_TEST_SUITE_P(Mbus, TunnelRejectRows, ::testing::ValuesIn(kRejectRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MbusTunnel, AnswerWithoutPayloadGivesEmptyTelegram) {
  EXPECT_TRUE(ExtractTunnelledTelegram(WithModbusCrc(Hex("01 04 00")), 14).telegram.empty());
  EXPECT_TRUE(ExtractTunnelledTelegram(WithModbusCrc(Hex("01 04")), 14).telegram.empty());
}

TEST(MbusTunnel, RealTelegramThroughTheTunnel) {
  const ByteString telegram = test::Rsp("04 13 78 56 34 12 02 5B 15 00");
  ByteString payload = telegram;
  if (payload.size() % 2) payload += '\0';
  const TunnelledTelegram t = ExtractTunnelledTelegram(Answer(payload), payload.size());
  const TelegramDecode d = DecodeTelegram(t.telegram);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.value, "305419.896");
}

}  // namespace
}  // namespace orvio
