// Answer intake and checks: TCP unwrapping, checksum, leading zero, exceptions, the reduced
// checks, the first register and the registers of a read answer.
#include <gtest/gtest.h>

#include "core/modbus/answer.h"
#include "core/modbus/crc.h"

namespace orvio {
namespace {

ByteString Hex(const char* text) { return ParseHexBytes(text).value(); }

constexpr const char* kNoLine = nullptr;

struct CheckRow {
  const char* name;
  const char* answer;
  CheckForm form;
  AnswerFault fault;
  const char* memo;   // kNoLine: none
  bool panel;         // status panel 2 gets "Error in CRC field"
  size_t bodyLength;  // checked only when the answer passes
};

// Checksums of these frames were computed with pymodbus 3.0's computeCRC (/usr/bin/python3).
const CheckRow kCheckRows[] = {
    {"good_read", "01 03 02 00 05 78 47", CheckForm::kFull, AnswerFault::kNone, kNoLine, false, 5},
    // With a filler byte the plain reading holds as well (see ValidateAnswer): the bound then
    // takes in the low CRC byte.
    {"good_read_with_filler", "01 03 02 00 05 78 47 00", CheckForm::kFull, AnswerFault::kNone,
     kNoLine, false, 6},
    {"crc_high_byte_zero_passes", "01 04 02 00 41 79 00", CheckForm::kFull, AnswerFault::kNone,
     kNoLine, false, 5},
    {"crc_high_byte_zero_with_filler", "01 04 02 00 41 79 00 00", CheckForm::kFull,
     AnswerFault::kNone, kNoLine, false, 6},
    {"two_registers", "01 04 04 00 0A 01 FF 9A 56", CheckForm::kFull, AnswerFault::kNone, kNoLine,
     false, 7},
    {"bad_crc", "01 03 02 00 05 78 48", CheckForm::kFull, AnswerFault::kChecksum,
     "Error in CRC field\r", true, 0},
    {"bad_crc_last_byte_zero", "01 03 02 00 05 78 00", CheckForm::kFull, AnswerFault::kChecksum,
     "Error in CRC field\r", true, 0},
    // The CRC register of a frame and its checksum is 0000, and 00 bytes leave it there: zeros
    // after a frame cannot be told from a checksum. The byte count still bounds the payload.
    {"two_zero_bytes_after_frame", "01 03 02 00 05 78 47 00 00", CheckForm::kFull,
     AnswerFault::kNone, kNoLine, false, 7},
    {"empty", "", CheckForm::kFull, AnswerFault::kChecksum, "Error in CRC field\r", true, 0},
    {"one_byte", "01", CheckForm::kFull, AnswerFault::kChecksum, "Error in CRC field\r", true, 0},
    {"one_zero_byte", "00", CheckForm::kFull, AnswerFault::kChecksum, "Error in CRC field\r", true,
     0},
    {"two_bytes", "01 83", CheckForm::kFull, AnswerFault::kChecksum, "Error in CRC field\r", true,
     0},
    // FF FF is the checksum of nothing: with a filler byte these three bytes would pass the
    // checksum and then be read as an exception answer beyond their end.
    {"three_bytes_empty_crc_and_filler", "FF FF 00", CheckForm::kFull, AnswerFault::kChecksum,
     "Error in CRC field\r", true, 0},
    {"leading_zero", "00 03 02 00 05 45 87", CheckForm::kFull, AnswerFault::kLeadingZero,
     "Garbage leading bytes in the telegram", false, 0},
    {"exception_1", "01 83 01 80 F0", CheckForm::kFull, AnswerFault::kException,
     "Error - ILLEGAL FUNCTION\r", false, 0},
    {"exception_2", "01 83 02 C0 F1", CheckForm::kFull, AnswerFault::kException,
     "Error - ILLEGAL DATA ADDRESS\r", false, 0},
    {"exception_3", "01 83 03 01 31", CheckForm::kFull, AnswerFault::kException,
     "Error - ILLEGAL DATA VALUE\r", false, 0},
    {"exception_4", "01 83 04 40 F3", CheckForm::kFull, AnswerFault::kException,
     "Error - SLAVE DEVICE FAILURE\r", false, 0},
    {"exception_5_no_text", "01 83 05 81 33", CheckForm::kFull, AnswerFault::kException, kNoLine,
     false, 0},
    {"exception_6", "01 83 06 C1 32", CheckForm::kFull, AnswerFault::kException,
     "Error - SLAVE DEVICE BUSY\r", false, 0},
    {"exception_7_no_text", "01 83 07 00 F2", CheckForm::kFull, AnswerFault::kException, kNoLine,
     false, 0},
    {"exception_8", "01 83 08 40 F6", CheckForm::kFull, AnswerFault::kException,
     "Error - MEMORY PARITY ERROR\r", false, 0},
    {"exception_11_no_text", "01 84 0B 02 C7", CheckForm::kFull, AnswerFault::kException, kNoLine,
     false, 0},
    {"exception_with_filler", "01 83 02 C0 F1 00", CheckForm::kFull, AnswerFault::kException,
     "Error - ILLEGAL DATA ADDRESS\r", false, 0},
    {"device_map_bad_crc_leaves_panel", "01 03 02 00 05 78 48", CheckForm::kDeviceMap,
     AnswerFault::kChecksum, "Error in CRC field\r", false, 0},
    {"device_map_leading_zero", "00 03 02 00 05 45 87", CheckForm::kDeviceMap,
     AnswerFault::kLeadingZero, "Garbage leading bytes in the telegram", false, 0},
    {"device_map_exception", "01 83 02 C0 F1", CheckForm::kDeviceMap, AnswerFault::kException,
     "Error - ILLEGAL DATA ADDRESS\r", false, 0},
    {"device_id_bad_crc_leaves_panel", "01 03 02 00 05 78 48", CheckForm::kDeviceIdentification,
     AnswerFault::kChecksum, "Error in CRC field\r", false, 0},
    {"device_id_leading_zero_silent", "00 2B 0E 01 B5 8C", CheckForm::kDeviceIdentification,
     AnswerFault::kLeadingZero, kNoLine, false, 0},
    {"device_id_good", "01 06 00 04 00 05 08 08", CheckForm::kDeviceIdentification,
     AnswerFault::kNone, kNoLine, false, 6},
};

class CheckTable : public ::testing::TestWithParam<CheckRow> {};

TEST_P(CheckTable, FaultAndTexts) {
  const CheckRow& row = GetParam();
  const AnswerCheck check = ValidateAnswer(Hex(row.answer), row.form);
  EXPECT_EQ(check.fault, row.fault);
  EXPECT_EQ(check.ok(), row.fault == AnswerFault::kNone);
  if (row.memo == kNoLine) {
    EXPECT_FALSE(check.memoLine.has_value()) << *check.memoLine;
  } else {
    EXPECT_EQ(check.memoLine.value_or("<none>"), row.memo);
  }
  if (row.panel) {
    EXPECT_EQ(check.statusPanel.value_or("<none>"), "Error in CRC field");
  } else {
    EXPECT_FALSE(check.statusPanel.has_value());
  }
  if (check.ok()) {
    EXPECT_EQ(check.bodyLength, row.bodyLength);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, CheckTable, ::testing::ValuesIn(kCheckRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ValidateAnswer, ExceptionCodeIsReported) {
  EXPECT_EQ(ValidateAnswer(Hex("01 84 0B 02 C7")).exceptionCode, 0x0B);
}

TEST(ValidateAnswer, EveryFrameWithAndWithoutFillerPassesAndDecodesItsRegister) {
  // Every one-register read answer, bare and followed by a filler byte: all must pass and give
  // back their register. About one in 256 has a CRC high byte of 0x00.
  int highByteZero = 0;
  for (uint32_t v = 0; v < 0x10000; ++v) {
    ByteString body = ParseHexBytes("01 04 02").value();
    body += static_cast<char>(v >> 8);
    body += static_cast<char>(v & 0xFF);
    const ByteString framed = WithModbusCrc(body);
    if (ByteAt(framed, framed.size() - 1) == 0x00) ++highByteZero;
    for (const ByteString& answer : {framed, framed + '\0'}) {
      const AnswerCheck check = ValidateAnswer(answer);
      ASSERT_TRUE(check.ok()) << TraceHex(answer);
      const auto registers = ReadAnswerRegisters(answer, check);
      ASSERT_EQ(registers.size(), 1u) << TraceHex(answer);
      ASSERT_EQ(registers[0].hi, v >> 8);
      ASSERT_EQ(registers[0].lo, v & 0xFF);
    }
  }
  EXPECT_GT(highByteZero, 200);
}

TEST(ValidateAnswer, OneFlippedBitFails) {
  const ByteString good = ParseHexBytes("01 04 04 00 0A 01 FF 9A 56").value();
  for (size_t i = 0; i < good.size(); ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      ByteString bad = good;
      bad[i] = static_cast<char>(bad[i] ^ (1 << bit));
      EXPECT_EQ(ValidateAnswer(bad).fault, AnswerFault::kChecksum) << TraceHex(bad);
    }
  }
}

struct UnwrapRow {
  const char* name;
  const char* tcp;
  const char* rtu;
  const char* memo;  // kNoLine: none
};

const UnwrapRow kUnwrapRows[] = {
    {"read_answer", "03 E8 00 00 00 05 01 03 02 00 05", "01 03 02 00 05 78 47", kNoLine},
    {"exception_answer", "03 E9 00 00 00 03 01 83 02", "01 83 02 C0 F1", kNoLine},
    // The MBAP length is not used to cut: everything after the header is one answer.
    {"length_field_ignored", "00 00 00 00 00 FF 01 03 02 00 05", "01 03 02 00 05 78 47", kNoLine},
    {"eight_bytes", "00 01 00 00 00 02 01 83", "01 83 41 81", kNoLine},
    {"seven_bytes_raw", "03 E8 00 00 00 01 01", "", "Error, raw TCP data: 03 E8 00 00 00 01 01 "},
    {"five_bytes_raw", "03 E8 00 00 00", "", "Error, raw TCP data: 03 E8 00 00 00 "},
    {"one_byte_raw", "7F", "", "Error, raw TCP data: 7F "},
    {"empty", "", "", kNoLine},
};

class UnwrapTable : public ::testing::TestWithParam<UnwrapRow> {};

TEST_P(UnwrapTable, RtuFormAndMemo) {
  const UnwrapRow& row = GetParam();
  const UnwrappedAnswer out = UnwrapTcpAnswer(Hex(row.tcp));
  EXPECT_EQ(TraceHex(out.answer), TraceHex(Hex(row.rtu)));
  if (row.memo == kNoLine) {
    EXPECT_FALSE(out.memoLine.has_value());
  } else {
    EXPECT_EQ(out.memoLine.value_or("<none>"), row.memo);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, UnwrapTable, ::testing::ValuesIn(kUnwrapRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnmdLine, TraceHexAfterPrefix) {
  EXPECT_EQ(UnmdLine(Hex("01 03")), "UNMD:01 03 ");
  EXPECT_EQ(UnmdLine(""), "UNMD:");
  EXPECT_EQ(UnmdLine(Hex("00 FF 0a")), "UNMD:00 FF 0A ");
}

struct FirstRegisterRow {
  const char* name;
  const char* answer;
  bool valid;
  uint8_t hi;
  uint8_t lo;
};

const FirstRegisterRow kFirstRegisterRows[] = {
    {"read_answer", "01 04 02 12 34 B4 47", true, 0x12, 0x34},
    {"two_registers_first_only", "01 04 04 00 0A 01 FF 9A 56", true, 0x00, 0x0A},
    // Failures give the checksum computed during the check: high byte, low byte.
    {"bad_crc_gives_computed_crc", "01 03 02 00 05 00 11", false, 0x47, 0x78},
    {"bad_crc_last_zero_gives_filler_crc", "01 03 02 00 05 78 00", false, 0xB8, 0xF0},
    {"leading_zero_gives_crc", "00 03 02 00 05 45 87", false, 0x87, 0x45},
    {"exception_gives_crc", "01 83 02 C0 F1", false, 0xF1, 0xC0},
    {"empty_gives_initial_crc", "", false, 0xFF, 0xFF},
};

class FirstRegisterTable : public ::testing::TestWithParam<FirstRegisterRow> {};

TEST_P(FirstRegisterTable, BytesReturned) {
  const FirstRegisterRow& row = GetParam();
  const FirstRegister r = ReadFirstRegister(Hex(row.answer));
  EXPECT_EQ(r.valid, row.valid);
  EXPECT_EQ(r.hi, row.hi);
  EXPECT_EQ(r.lo, row.lo);
}

INSTANTIATE_TEST_SUITE_P(Rows, FirstRegisterTable, ::testing::ValuesIn(kFirstRegisterRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadFirstRegister, PassingAnswerWithoutRegisterIsNotValid) {
  // A frame of unit and function only.
  const ByteString answer = WithModbusCrc(Hex("01 03"));
  const FirstRegister r = ReadFirstRegister(answer);
  EXPECT_TRUE(r.check.ok());
  EXPECT_FALSE(r.valid);
}

struct RegistersRow {
  const char* name;
  const char* answer;
  const char* registers;  // hi lo pairs in hex
};

const RegistersRow kRegistersRows[] = {
    {"two_registers", "01 04 04 00 0A 01 FF 9A 56", "00 0A 01 FF"},
    {"zeros_after_frame", "01 04 04 00 0A 01 FF 9A 56 00 00 00", "00 0A 01 FF"},
    {"one_register_with_filler", "01 03 02 00 05 78 47 00", "00 05"},
    {"crc_high_zero_with_filler", "01 04 02 00 41 79 00 00", "00 41"},
    // Byte count 6 but only two registers before the checksum: the checksum is not data.
    {"count_larger_than_answer", "01 03 06 00 0A 01 FF E2 21", "00 0A 01 FF"},
    // Byte count 3 (odd) with three data bytes: the half register is not invented.
    {"odd_count", "01 03 03 00 0A 01 82 EE", "00 0A"},
    {"count_smaller_than_data", "01 03 02 00 0A 01 FF 12 34 C0 0F", "00 0A"},
    {"bad_crc_gives_none", "01 04 04 00 0A 01 FF 9A 57", ""},
};

class RegistersTable : public ::testing::TestWithParam<RegistersRow> {};

TEST_P(RegistersTable, Values) {
  const RegistersRow& row = GetParam();
  const ByteString answer = Hex(row.answer);
  ByteString flat;
  for (const RegisterValue& r : ReadAnswerRegisters(answer, ValidateAnswer(answer))) {
    flat += static_cast<char>(r.hi);
    flat += static_cast<char>(r.lo);
  }
  EXPECT_EQ(TraceHex(flat), TraceHex(Hex(row.registers)));
}

INSTANTIATE_TEST_SUITE_P(Rows, RegistersTable, ::testing::ValuesIn(kRegistersRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvio
