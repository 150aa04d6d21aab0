// Request frames of every kind, RTU and TCP, and their trace lines.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>

#include "core/modbus/frames.h"

namespace orvio {
namespace {

ByteString Hex(const char* text) { return ParseHexBytes(text).value(); }

struct FrameRow {
  const char* name;
  RequestKind kind;
  uint8_t unit;
  std::function<ByteString()> pdu;
  const char* rtu;
  const char* tcp;  // with transaction identifier 1000 (03 E8)
};

// RTU frames and the TCP frames after the transaction identifier were built by pymodbus 3.0's
// ModbusRtuFramer / ModbusSocketFramer (/usr/bin/python3), independently of this code.
const ClockFields kSaturday{30, 45, 14, 6, 15, 6, 2024};    // 2024-06-15 14:45:30
const ClockFields kWednesday{59, 59, 23, 3, 31, 12, 2031};  // 2031-12-31 23:59:59

const FrameRow kFrameRows[] = {
    {"read_holding_u1_r0_c10", RequestKind::kReadHoldingRegisters, 1,
     [] { return ReadHoldingRegistersPdu(0, 10); }, "01 03 00 00 00 0A C5 CD",
     "03 E8 00 00 00 06 01 03 00 00 00 0A"},
    {"read_holding_u255_r65535_c2", RequestKind::kReadHoldingRegisters, 255,
     [] { return ReadHoldingRegistersPdu(65535, 2); }, "FF 03 FF FF 00 02 D1 F1",
     "03 E8 00 00 00 06 FF 03 FF FF 00 02"},
    {"read_input_u1_r1_c125", RequestKind::kReadInputRegisters, 1,
     [] { return ReadInputRegistersPdu(1, 125); }, "01 04 00 01 00 7D 61 EB",
     "03 E8 00 00 00 06 01 04 00 01 00 7D"},
    {"read_input_u247_r33799_c1", RequestKind::kReadInputRegisters, 247,
     [] { return ReadInputRegistersPdu(33799, 1); }, "F7 04 84 07 00 01 BC 6D",
     "03 E8 00 00 00 06 F7 04 84 07 00 01"},
    {"read_input_register_65537_wraps_to_1", RequestKind::kReadInputRegisters, 1,
     [] { return ReadInputRegistersPdu(65537, 125); }, "01 04 00 01 00 7D 61 EB",
     "03 E8 00 00 00 06 01 04 00 01 00 7D"},
    {"write_single_u1_r4_v0005", RequestKind::kWriteSingleRegister, 1,
     [] { return WriteSingleRegisterPdu(4, 0x00, 0x05); }, "01 06 00 04 00 05 08 08",
     "03 E8 00 00 00 06 01 06 00 04 00 05"},
    {"write_single_u3_r0_v00FF", RequestKind::kWriteSingleRegister, 3,
     [] { return WriteSingleRegisterPdu(0, 0x00, 0xFF); }, "03 06 00 00 00 FF C8 68",
     "03 E8 00 00 00 06 03 06 00 00 00 FF"},
    {"write_multi_odd_5_bytes_padded", RequestKind::kWriteMultipleRegisters, 1,
     [] { return WriteMultipleRegistersPdu(33800, Hex("10 7B 01 7C 16")).value(); },
     "01 10 84 08 00 03 06 10 7B 01 7C 16 00 F3 46",
     "03 E8 00 00 00 0D 01 10 84 08 00 03 06 10 7B 01 7C 16 00"},
    {"write_multi_even_2_bytes", RequestKind::kWriteMultipleRegisters, 1,
     [] { return WriteMultipleRegistersPdu(10, Hex("AB CD")).value(); },
     "01 10 00 0A 00 01 02 AB CD 18 5F", "03 E8 00 00 00 09 01 10 00 0A 00 01 02 AB CD"},
    {"write_date_time_u1", RequestKind::kWriteDateTime, 1,
     [] { return WriteDateTimePdu(0x9C4A, kSaturday); },
     "01 10 9C 4A 00 04 08 1E 2D 0E 06 0F 06 18 00 62 79",
     "03 E8 00 00 00 0F 01 10 9C 4A 00 04 08 1E 2D 0E 06 0F 06 18 00"},
    {"write_date_time_u247", RequestKind::kWriteDateTime, 247,
     [] { return WriteDateTimePdu(5, kWednesday); },
     "F7 10 00 05 00 04 08 3B 3B 17 03 1F 0C 1F 00 8C 94",
     "03 E8 00 00 00 0F F7 10 00 05 00 04 08 3B 3B 17 03 1F 0C 1F 00"},
    {"device_id_u1_code2", RequestKind::kReadDeviceIdentification, 1,
     [] { return ReadDeviceIdentificationPdu(2); }, "01 2B 0E 02 00 70 87",
     "03 E8 00 00 00 05 01 2B 0E 02 00"},
    {"device_id_u9_code1", RequestKind::kReadDeviceIdentification, 9,
     [] { return ReadDeviceIdentificationPdu(1); }, "09 2B 0E 01 00 91 B6",
     "03 E8 00 00 00 05 09 2B 0E 01 00"},
};

class FrameTable : public ::testing::TestWithParam<FrameRow> {};

TEST_P(FrameTable, RtuFrame) {
  const FrameRow& row = GetParam();
  EXPECT_EQ(TraceHex(RtuFrame(row.unit, row.pdu())), TraceHex(Hex(row.rtu)));
}

TEST_P(FrameTable, TcpFrame) {
  const FrameRow& row = GetParam();
  EXPECT_EQ(TraceHex(TcpFrame(1000, row.unit, row.pdu())), TraceHex(Hex(row.tcp)));
}

INSTANTIATE_TEST_SUITE_P(Rows, FrameTable, ::testing::ValuesIn(kFrameRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TcpFrame, TransactionIdentifierHighByteFirst) {
  const ByteString pdu = ReadInputRegistersPdu(1, 1);
  EXPECT_EQ(TraceHex(TcpFrame(1001, 1, pdu).substr(0, 2)), "03 E9 ");
  EXPECT_EQ(TraceHex(TcpFrame(0xFFFF, 1, pdu).substr(0, 2)), "FF FF ");
}

TEST(WriteMultipleRegistersPdu, LargestStringFitsAndOneMoreIsRefused) {
  ByteString data(254, '\x11');
  const auto pdu = WriteMultipleRegistersPdu(0, data);
  ASSERT_TRUE(pdu.has_value());
  // function, register (2), register count 127, byte count 254
  EXPECT_EQ(TraceHex(pdu->substr(0, 6)), "10 00 00 00 7F FE ");
  EXPECT_EQ(pdu->size(), 6u + 254u);
  // 253 bytes pad to 254 and still fit; 255 would pad to 256, which the byte count cannot carry.
  EXPECT_TRUE(WriteMultipleRegistersPdu(0, ByteString(253, 'x')).has_value());
  EXPECT_FALSE(WriteMultipleRegistersPdu(0, ByteString(255, 'x')).has_value());
}

TEST(WriteMultipleRegistersPdu, EmptyString) {
  EXPECT_EQ(TraceHex(WriteMultipleRegistersPdu(0x8408, "").value()), "10 84 08 00 00 00 ");
}

TEST(ClockFieldsFromTm, SundayIsSevenAndMonthsCountFromOne) {
  std::tm t{};
  t.tm_sec = 5;
  t.tm_min = 6;
  t.tm_hour = 7;
  t.tm_mday = 9;
  t.tm_mon = 0;     // January
  t.tm_year = 125;  // 2025
  t.tm_wday = 0;    // Sunday
  const ClockFields c = ClockFieldsFromTm(t);
  EXPECT_EQ(c.dayOfWeek, 7);
  EXPECT_EQ(c.month, 1);
  EXPECT_EQ(c.year, 2025);
  EXPECT_EQ(TraceHex(WriteDateTimePdu(0, c).substr(6)), "05 06 07 07 09 01 19 00 ");
  t.tm_wday = 1;  // Monday
  EXPECT_EQ(ClockFieldsFromTm(t).dayOfWeek, 1);
}

// The eight clock bytes after function, register, count and byte count, from a calendar date
// whose day of week the C library works out.
TEST(WriteDateTimePdu, ClockBytes) {
  struct Row {
    const char* name;
    int year, month, day, hour, minute, second;
    const char* bytes;
  };
  const Row rows[] = {
      {"Sunday 2026-12-06 21:30:05", 2026, 12, 6, 21, 30, 5, "05 1E 15 07 06 0C 1A 00 "},
      {"Monday 2024-01-01 00:00:00", 2024, 1, 1, 0, 0, 0, "00 00 00 01 01 01 18 00 "},
      {"leap day 2024-02-29 is a Thursday", 2024, 2, 29, 23, 59, 59, "3B 3B 17 04 1D 02 18 00 "},
      {"Thursday 2099-12-31", 2099, 12, 31, 12, 0, 0, "00 00 0C 04 1F 0C 63 00 "},
      {"2001 is the first year counted from 2000", 2001, 1, 1, 0, 0, 0, "00 00 00 01 01 01 01 00 "},
      // Not above 2000: the low byte of the year (2000 = 07D0h, 1999 = 07CFh).
      {"Saturday 2000-01-01", 2000, 1, 1, 0, 0, 0, "00 00 00 06 01 01 D0 00 "},
      {"Friday 1999-12-31", 1999, 12, 31, 23, 59, 58, "3A 3B 17 05 1F 0C CF 00 "},
      {"Thursday 1970-01-01", 1970, 1, 1, 0, 0, 0, "00 00 00 04 01 01 B2 00 "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::tm t{};
    t.tm_year = row.year - 1900;
    t.tm_mon = row.month - 1;
    t.tm_mday = row.day;
    t.tm_hour = row.hour;
    t.tm_min = row.minute;
    t.tm_sec = row.second;
    const std::time_t at = ::timegm(&t);  // also fills in the day of week
    ASSERT_NE(at, static_cast<std::time_t>(-1));
    const ByteString pdu = WriteDateTimePdu(16, ClockFieldsFromTm(t));
    EXPECT_EQ(TraceHex(pdu.substr(0, 6)), "10 00 10 00 04 08 ");
    EXPECT_EQ(TraceHex(pdu.substr(6)), row.bytes);
  }
}

struct SentRow {
  const char* name;
  RequestKind kind;
  const char* expected;  // nullptr: no line
};

const SentRow kSentRows[] = {
    {"read_holding", RequestKind::kReadHoldingRegisters, "SENT:01 04 00 01 00 7D 61 EB "},
    {"read_input", RequestKind::kReadInputRegisters, "SENT:01 04 00 01 00 7D 61 EB "},
    {"write_single", RequestKind::kWriteSingleRegister, "SENT:01 04 00 01 00 7D 61 EB "},
    {"write_multiple", RequestKind::kWriteMultipleRegisters, "SENT: 01 04 00 01 00 7D 61 EB "},
    {"write_date_time", RequestKind::kWriteDateTime, "SENT: 01 04 00 01 00 7D 61 EB "},
    {"device_identification", RequestKind::kReadDeviceIdentification, nullptr},
};

class SentLineTable : public ::testing::TestWithParam<SentRow> {};

TEST_P(SentLineTable, PrefixByKind) {
  const SentRow& row = GetParam();
  const auto line = SentLine(row.kind, Hex("01 04 00 01 00 7D 61 EB"));
  if (row.expected == nullptr) {
    EXPECT_FALSE(line.has_value());
  } else {
    EXPECT_EQ(line.value_or("<none>"), row.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SentLineTable, ::testing::ValuesIn(kSentRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvio
