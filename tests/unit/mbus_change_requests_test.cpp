// SND_UD telegrams that change a meter: the medium code table, the ID and counter-value encodings
// and the whole medium and counter frames. Expected frames worked out by hand from EN 13757-2/-3.
#include <gtest/gtest.h>

#include <optional>

#include "core/mbus/change_requests.h"

namespace orvio {
namespace {

std::string HexOrNone(const std::optional<ByteString>& bytes) {
  return bytes ? HexText(*bytes) : "none";
}

struct MediumRow {
  const char* name;
  const char* medium;
  int code;
};
class MediumCodeRows : public ::testing::TestWithParam<MediumRow> {};
TEST_P(MediumCodeRows, Code) { EXPECT_EQ(MediumCode(GetParam().medium), GetParam().code); }
INSTANTIATE_TEST_SUITE_P(
    MbusChangeRequests, MediumCodeRows,
    ::testing::Values(MediumRow{"Oil", "Oil", 0x01}, MediumRow{"Electricity", "Electricity", 0x02},
                      MediumRow{"Gas", "Gas", 0x03}, MediumRow{"HeatMeter", "Heat meter", 0x04},
                      MediumRow{"Steam", "Steam", 0x05}, MediumRow{"HotWater", "Hot water", 0x06},
                      MediumRow{"Water", "Water", 0x07}, MediumRow{"Hca", "H.C.A", 0x08},
                      MediumRow{"ColdMeter", "Cold meter", 0x0B},
                      MediumRow{"ColdWater", "Cold water", 0x16},
                      MediumRow{"Pressure", "Pressure", 0x18}, MediumRow{"Other", "Other", 0x00},
                      // Anything else is "unknown medium".
                      MediumRow{"Unknown", "Unknown", 0x0F}, MediumRow{"Empty", "", 0x0F},
                      MediumRow{"CaseMatters", "oil", 0x0F}, MediumRow{"NoPrefix", "Heat", 0x0F}),
    [](const auto& info) { return std::string(info.param.name); });

struct TelegramRow {
  const char* name;
  std::optional<ByteString> telegram;
  const char* hex;
};
class TelegramRows : public ::testing::TestWithParam<TelegramRow> {};
TEST_P(TelegramRows, Bytes) { EXPECT_EQ(HexOrNone(GetParam().telegram), GetParam().hex); }
INSTANTIATE_TEST_SUITE_P(
    MbusChangeRequests, TelegramRows,
    ::testing::Values(
        // ID 12345678 travels as 78 56 34 12; CS = 53+05+51+07+79+78+56+34+12+3*FF+16 = 0x550
        // -> 50.
        TelegramRow{"MediumColdWater", MediumChangeTelegram(5, "12345678", 0x16),
                    "680D0D68530551077978563412FFFFFF165016"},
        TelegramRow{"MediumUnknownToAddress0", MediumChangeTelegram(0, "00000001", 0x0F),
                    "680D0D68530051077901000000FFFFFF0F3116"},
        // An ID that is not eight digits would overwrite the meter's ID: nothing is built.
        TelegramRow{"MediumShortId", MediumChangeTelegram(5, "1234567", 0x16), "none"},
        TelegramRow{"MediumHexId", MediumChangeTelegram(5, "1234567A", 0x16), "none"},
        TelegramRow{"MediumWildcardId", MediumChangeTelegram(5, "FFFFFFFF", 0x16), "none"},
        TelegramRow{"MediumHeaderCell", MediumChangeTelegram(5, "ID ", 0x16), "none"},
        TelegramRow{"CounterBcd1234", CounterTelegram(5, "1234", CounterEncoding::kBcd),
                    "680909685305510C13341200000E16"},
        TelegramRow{"CounterBinary1234", CounterTelegram(5, "1234", CounterEncoding::kBinary),
                    "680909685305510413D20400009616"},
        TelegramRow{"CounterBinaryMax", CounterTelegram(1, "99999999", CounterEncoding::kBinary),
                    "680909685301510413FFE0F5059516"},
        TelegramRow{"CounterBcdMax", CounterTelegram(1, "99999999", CounterEncoding::kBcd),
                    "680909685301510C13999999992816"},
        TelegramRow{"CounterZero", CounterTelegram(250, "0", CounterEncoding::kBinary),
                    "6809096853FA51041300000000B516"},
        TelegramRow{"CounterEmpty", CounterTelegram(5, "", CounterEncoding::kBcd), "none"},
        TelegramRow{"CounterNineDigits", CounterTelegram(5, "123456789", CounterEncoding::kBcd),
                    "none"},
        TelegramRow{"CounterSign", CounterTelegram(5, "-1", CounterEncoding::kBinary), "none"},
        TelegramRow{"CounterBlank", CounterTelegram(5, "12 4", CounterEncoding::kBinary), "none"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ValueRow {
  const char* name;
  const char* digits;
  CounterEncoding encoding;
  const char* hex;
};
class CounterValueRows : public ::testing::TestWithParam<ValueRow> {};
TEST_P(CounterValueRows, Bytes) {
  EXPECT_EQ(HexOrNone(CounterValueBytes(GetParam().digits, GetParam().encoding)), GetParam().hex);
}
INSTANTIATE_TEST_SUITE_P(
    MbusChangeRequests, CounterValueRows,
    ::testing::Values(
        // Left padding to eight digits: 00001234.
        ValueRow{"BcdPadded", "1234", CounterEncoding::kBcd, "34120000"},
        ValueRow{"BcdLeadingZerosKept", "00000012", CounterEncoding::kBcd, "12000000"},
        ValueRow{"BcdAllDigits", "87654321", CounterEncoding::kBcd, "21436587"},
        // 16777216 = 0x01000000: the top byte is used.
        ValueRow{"BinaryTopByte", "16777216", CounterEncoding::kBinary, "00000001"},
        ValueRow{"Binary255", "255", CounterEncoding::kBinary, "FF000000"},
        ValueRow{"Binary256", "256", CounterEncoding::kBinary, "00010000"},
        ValueRow{"BinaryLeadingZeros", "00000256", CounterEncoding::kBinary, "00010000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MbusChangeRequests, MeterIdIsEightDecimalDigits) {
  EXPECT_TRUE(IsMeterId("00000000"));
  EXPECT_TRUE(IsMeterId("99999999"));
  EXPECT_FALSE(IsMeterId("9999999"));
  EXPECT_FALSE(IsMeterId("123456789"));
  EXPECT_FALSE(IsMeterId("1234567F"));
  EXPECT_FALSE(IsMeterId(""));
  EXPECT_EQ(HexOrNone(MeterIdBcd("12345678")), "78563412");
  EXPECT_EQ(HexOrNone(MeterIdBcd("1234 678")), "none");
}

TEST(MbusChangeRequests, LongFrameLengthMustFitOneByte) {
  EXPECT_EQ(HexOrNone(LongFrame(0x53, 0xFE, 0x51, "")), "6803036853FE51A216");
  EXPECT_TRUE(LongFrame(0x53, 1, 0x51, std::string(252, '\0')).has_value());
  EXPECT_FALSE(LongFrame(0x53, 1, 0x51, std::string(253, '\0')).has_value());
}

}  // namespace
}  // namespace orvio
