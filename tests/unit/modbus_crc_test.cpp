// ModbusCrc16 against checksums computed by an independent implementation.
#include <gtest/gtest.h>

#include "core/bytes.h"
#include "core/modbus/crc.h"

namespace orvio {
namespace {

struct CrcRow {
  const char* name;
  const char* bytes;  // hex
  uint8_t wireFirst;  // checksum bytes as they travel: low byte, then high byte
  uint8_t wireSecond;
};

// Generated with /usr/bin/python3 and pymodbus 3.0 (pymodbus.utilities.computeCRC, whose result
// is the two checksum bytes in wire order), not with this code.
const CrcRow kCrcRows[] = {
    {"read_holding_10", "01 03 00 00 00 0A", 0xC5, 0xCD},
    {"read_input_125", "01 04 00 01 00 7D", 0x61, 0xEB},
    {"write_single", "01 06 00 04 00 05", 0x08, 0x08},
    {"device_id", "01 2B 0E 02 00", 0x70, 0x87},
    {"answer_one_reg", "01 03 02 00 05", 0x78, 0x47},
    {"answer_leading_zero", "00 03 02 00 05", 0x45, 0x87},
    {"exception_addr", "01 83 02", 0xC0, 0xF1},
    {"exception_11", "01 84 0B", 0x02, 0xC7},
    {"high_byte_zero", "01 04 02 00 41", 0x79, 0x00},
    {"empty", "", 0xFF, 0xFF},
    {"single_ff", "FF", 0xFF, 0x00},
    {"single_00", "00", 0xBF, 0x40},
    {"check_string_123456789", "31 32 33 34 35 36 37 38 39", 0x37, 0x4B},
    {"all_ff_8", "FF FF FF FF FF FF FF FF", 0x01, 0x8F},
    {"unit247_read", "F7 04 84 07 00 01", 0xBC, 0x6D},
    {"answer_two_regs", "01 04 04 00 0A 01 FF", 0x9A, 0x56},
};

class CrcTable : public ::testing::TestWithParam<CrcRow> {};

TEST_P(CrcTable, MatchesIndependentChecksum) {
  const CrcRow& row = GetParam();
  const ByteString bytes = ParseHexBytes(row.bytes).value();
  const uint16_t crc = ModbusCrc16(bytes);
  EXPECT_EQ(CrcLo(crc), row.wireFirst);
  EXPECT_EQ(CrcHi(crc), row.wireSecond);
  const ByteString framed = WithModbusCrc(bytes);
  ASSERT_EQ(framed.size(), bytes.size() + 2);
  EXPECT_EQ(ByteAt(framed, bytes.size()), row.wireFirst);
  EXPECT_EQ(ByteAt(framed, bytes.size() + 1), row.wireSecond);
}

INSTANTIATE_TEST_SUITE_P(Rows, CrcTable, ::testing::ValuesIn(kCrcRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModbusCrc16, ZeroBytesAreCounted) {
  // A checksum that skipped 0x00 bytes (a C-string slip) would give equal values here.
  EXPECT_NE(ModbusCrc16(std::string("\x01\x00", 2)), ModbusCrc16(std::string("\x01", 1)));
}

TEST(ModbusCrc16, FrameWithItsChecksumLeavesZeroResidue) {
  // Property of this CRC: running it over a frame and its own checksum gives 0.
  EXPECT_EQ(ModbusCrc16(WithModbusCrc(ParseHexBytes("11 03 00 6B 00 03").value())), 0);
}

}  // namespace
}  // namespace orvio
