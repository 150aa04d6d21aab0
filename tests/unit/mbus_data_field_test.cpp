// Data field values: every data type of the DIF's low nibble, dates, variable-length fields,
// the fixed number format and the float converters, as named rows.
#include <gtest/gtest.h>

#include "core/bytes.h"
#include "core/mbus/data_field.h"
#include "core/mbus/number_format.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Hex;

struct FieldRow {
  const char* name;
  uint8_t dif;
  uint8_t vif;
  const char* data;  // field bytes and whatever follows up to the checksum
  double multiplier;
  const char* text;
  size_t length;
  bool complete;
};

class DataFieldRows : public ::testing::TestWithParam<FieldRow> {};

TEST_P(DataFieldRows, Decodes) {
  const FieldRow& r = GetParam();
  const DataField f = DecodeDataField(r.dif, r.vif, Hex(r.data), r.multiplier);
  EXPECT_EQ(f.text, r.text);
  EXPECT_EQ(f.length, r.length);
  EXPECT_EQ(f.complete, r.complete);
}

const FieldRow kFieldRows[] = {
    // Binary integers are two's complement whatever their size.
    {"Int8NegativeScaled", 0x01, 0x13, "FF", 0.001, "-0.001", 1, true},
    {"Int8Positive", 0x01, 0x13, "7F", 1, "127.000", 1, true},
    {"Int16", 0x02, 0x06, "34 12", 1, "4660.000", 2, true},
    {"Int16NegativePower", 0x02, 0x2B, "4C FF", 1, "-180.000", 2, true},
    {"Int16NegativeTemperature", 0x02, 0x65, "CE FF", 0.01, "-0.500", 2, true},
    {"Int24Negative", 0x03, 0x13, "FF FF FF", 1, "-1.000", 3, true},
    {"Int24Large", 0x03, 0x13, "FF FF 7F", 1, "8388607.000", 3, true},
    {"Int24FabricationNumberPadsToEight", 0x03, 0x78, "56 34 12", 1, "00123456", 3, true},
    {"Int32MinusOne", 0x04, 0x06, "FF FF FF FF", 1, "-1.000", 4, true},
    {"Int32FabricationNumberRaw", 0x04, 0x78, "78 56 34 12", 1, "12345678", 4, true},
    {"Int32Scaled", 0x04, 0x13, "78 56 34 12", 0.001, "305419.896", 4, true},
    {"Int48MinusOne", 0x06, 0x06, "FF FF FF FF FF FF", 1, "-1.000", 6, true},
    {"Int48AboveThirtyTwoBits", 0x06, 0x06, "01 00 00 00 00 01", 1, "1099511627777.000", 6, true},
    {"Int48FabricationNumberRaw", 0x06, 0x78, "12 34 56 78 9A BC", 1, "BC9A78563412", 6, true},
    {"Int64HexOnly", 0x07, 0x06, "01 02 03 04 05 06 07 08", 1,
     "64-bit integer not supported, but hex is: 0x0807060504030201", 8, true},
    // 32-bit real, scaled like every number.
    {"RealOneAndAHalf", 0x05, 0x06, "00 00 C0 3F", 1, "1.50000", 4, true},
    {"RealNegative", 0x05, 0x06, "00 00 C0 BF", 1, "-1.50000", 4, true},
    {"RealInfinite", 0x05, 0x06, "00 00 80 7F", 1, "NaN or Infinite", 4, true},
    {"RealZero", 0x05, 0x06, "00 00 00 00", 1, "0.00000", 4, true},
    {"RealScaledByVif", 0x05, 0x13, "00 00 C0 3F", 0.001, "0.00150", 4, true},
    {"RealScaledKilowatt", 0x05, 0x2E, "00 00 C0 BF", 1000, "-1500.00000", 4, true},
    // No data and selection for readout take no bytes.
    {"NoData", 0x00, 0x13, "12 34", 1, "No data ", 0, true},
    {"SelectionForReadout", 0x08, 0x13, "12 34", 1, "Unrecognizable DIF, not decoded ", 0, true},
    // BCD.
    {"Bcd2", 0x09, 0x13, "99", 1, "99.000", 1, true},
    {"Bcd4", 0x0A, 0x13, "34 12", 1, "1234.000", 2, true},
    {"Bcd4SignNibbleIsAConversionError", 0x0A, 0x13, "34 F2", 1, "Exception ", 2, true},
    {"Bcd4HexDigitIsAConversionError", 0x0A, 0x13, "3A 12", 1, "Exception ", 2, true},
    {"Bcd6FabricationNumberRaw", 0x0B, 0x78, "56 34 12", 1, "123456", 3, true},
    {"Bcd8FabricationNumberRaw", 0x0C, 0x78, "78 56 34 12", 1, "12345678", 4, true},
    {"Bcd8Scaled", 0x0C, 0x13, "78 56 34 12", 0.001, "12345.678", 4, true},
    {"Bcd8FabricationNumberKeepsHexDigits", 0x0C, 0x78, "78 56 34 F2", 1, "F2345678", 4, true},
    {"Bcd12", 0x0E, 0x06, "56 34 12 00 00 00", 1, "123456.000", 6, true},
    {"Bcd12AboveInt32IsAConversionError", 0x0E, 0x06, "99 99 99 99 99 99", 1, "Exception ", 6,
     true},
    {"Bcd12LargestInt32", 0x0E, 0x06, "47 36 48 47 21 00", 1, "2147483647.000", 6, true},
    {"Bcd12FabricationNumberRaw", 0x0E, 0x78, "56 34 12 00 00 00", 1, "000000123456", 6, true},
    // Variable length: LVAR first.
    {"VariableText", 0x0D, 0xFD, "03 41 42 43", 1, "ABC", 4, true},
    {"VariableTextInStoredOrder", 0x0D, 0xFD, "02 42 41 99", 1, "BA", 3, true},
    {"VariablePositiveBcd", 0x0D, 0xFD, "C2 34 12", 1, "3412", 3, true},
    {"VariableNegativeBcd", 0x0D, 0xFD, "D2 34 12", 1, "-3412", 3, true},
    {"VariableBinary", 0x0D, 0xFD, "E2 34 12", 1, "0x3412", 3, true},
    {"VariableFloat", 0x0D, 0xFD, "F2 34 12", 1,
     "Floating point, to be defined in the future, but hex is: 0x3412", 3, true},
    {"VariableReserved", 0x0D, 0xFD, "FB 34 12", 1, "Reserved for future use? ", 1, true},
    {"VariableEmptyText", 0x0D, 0xFD, "00 12", 1, "", 1, true},
    // Time points whatever the data type.
    {"DateAndTime", 0x04, 0x6D, "05 08 21 12", 1, "8:05, 1.2.9", 4, true},
    {"DateAndTimeExtended", 0x04, 0xED, "3B 17 FF FF", 1, "23:59, 31.15.127", 4, true},
    {"Date", 0x02, 0x6C, "21 12", 1, "1.2.9", 2, true},
    {"DateExtended", 0x02, 0xEC, "21 12", 1, "1.2.9", 2, true},
    {"DateTimeInTooShortAField", 0x02, 0x6D, "05 08 21 12", 1, "Exception decoding DateTime", 2,
     true},
    {"DateInVariableField", 0x0D, 0x6C, "02 21 12", 1, "1.2.9", 3, true},
    // Fields that run past the data block: nothing beyond it is read.
    {"Int32PastEnd", 0x04, 0x13, "78 56", 1, kFieldPastEnd, 4, false},
    {"Bcd12PastEnd", 0x0E, 0x13, "", 1, kFieldPastEnd, 6, false},
    {"DatePastEnd", 0x04, 0x6D, "05 08 21", 1, kFieldPastEnd, 4, false},
    {"VariableLengthPastEnd", 0x0D, 0xFD, "05 41 42", 1, kFieldPastEnd, 6, false},
    {"VariableWithoutLvar", 0x0D, 0xFD, "", 1, kFieldPastEnd, 0, false},
};
INSTANTIATE_TEST_SUITE_P(Mbus, DataFieldRows, ::testing::ValuesIn(kFieldRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MbusDataField, DecimalSeparatorIsAParameter) {
  EXPECT_EQ(DecodeDataField(0x04, 0x13, Hex("78 56 34 12"), 0.001, ',').text, "305419,896");
  EXPECT_EQ(DecodeDataField(0x05, 0x13, Hex("00 00 C0 3F"), 1, ',').text, "1,50000");
}

TEST(MbusDataField, FieldLengthsByDif) {
  const size_t expected[16] = {0, 1, 2, 3, 4, 4, 6, 8, 0, 1, 2, 3, 4, 0, 6, 0};
  for (int low = 0; low < 16; ++low) {
    EXPECT_EQ(DataFieldLength(static_cast<uint8_t>(0x30 | low)), expected[low]) << low;
  }
}

struct FormatRow {
  const char* name;
  double value;
  int precision;
  int decimals;
  char separator;
  const char* text;
};
class FixedFormatRows : public ::testing::TestWithParam<FormatRow> {};
TEST_P(FixedFormatRows, Formats) {
  const FormatRow& r = GetParam();
  EXPECT_EQ(FormatFixed(r.value, r.precision, r.decimals, r.separator), r.text);
}
const FormatRow kFormatRows[] = {
    {"PadsDecimals", 4660, 8, 3, '.', "4660.000"},
    {"RoundsAtTheLastDecimal", 0.2555001, 8, 3, '.', "0.256"},
    {"NegativeZeroLosesItsSign", -0.0004, 8, 3, '.', "0.000"},
    {"Negative", -12.5, 8, 3, '.', "-12.500"},
    {"SignificantDigitsWinOverDecimals", 123456.789, 8, 3, '.', "123456.790"},
    {"EightIntegerDigits", 12345678.9, 8, 3, '.', "12345679.000"},
    {"NineIntegerDigitsGoScientific", 123456789, 8, 3, '.', "1.2345679E+08"},
    {"RoundingUpGoesScientific", 99999999.6, 8, 3, '.', "1E+08"},
    {"Comma", 1234.5, 8, 3, ',', "1234,500"},
    {"FloatPrecision", 0.0015, 9, 5, '.', "0.00150"},
    {"TinyIsZero", 1e-10, 9, 5, '.', "0.00000"},
    {"FifteenDigits", 1099511627777.0, 15, 3, '.', "1099511627777.000"},
    {"ZeroWithSeparator", 0.0, 8, 3, ',', "0,000"},
};
INSTANTIATE_TEST_SUITE_P(Mbus, FixedFormatRows, ::testing::ValuesIn(kFormatRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MbusFixedFormat, ParsesItsOwnTextBack) {
  double v = 0;
  EXPECT_TRUE(ParseFixed("1234,500", v, ','));
  EXPECT_DOUBLE_EQ(v, 1234.5);
  EXPECT_TRUE(ParseFixed("-0.001", v));
  EXPECT_DOUBLE_EQ(v, -0.001);
  EXPECT_FALSE(ParseFixed("", v));
  EXPECT_FALSE(ParseFixed("Exception ", v));
  EXPECT_FALSE(ParseFixed("12.5 ", v));
}

TEST(MbusConverters, HexToBits) {
  EXPECT_EQ(HexToBits("0aF"), "000010101111");
  EXPECT_EQ(HexToBits("1 z2"), "00010010");
  EXPECT_EQ(HexToBits(""), "");
}

TEST(MbusConverters, BitsToFloatText) {
  EXPECT_EQ(BitsToFloatText(HexToBits("3FC00000")), "1.50000");
  EXPECT_EQ(BitsToFloatText(HexToBits("C2F6E979")), "-123.45600");
  EXPECT_EQ(BitsToFloatText(HexToBits("7F800000")), "NaN or Infinite");
  EXPECT_EQ(BitsToFloatText(HexToBits("FFC00000")), "NaN or Infinite");
  // Exponent 0 has no special case: tiny, and the sign bit still shows.
  EXPECT_EQ(BitsToFloatText(HexToBits("80000001")), "-0.00000");
  EXPECT_EQ(BitsToFloatText(HexToBits("3FC0000")), "NaN");  // 28 bits
  EXPECT_EQ(BitsToFloatText(std::string(31, '0') + "2"), "Exception on float conversion");
  EXPECT_EQ(BitsToFloatText(HexToBits("3FC00000"), 0.1), "0.15000");
}

TEST(MbusConverters, DecodeTimePoint) {
  EXPECT_EQ(DecodeTimePoint(Hex("05 08 21 12"), 0x6D), "8:05, 1.2.9");
  EXPECT_EQ(DecodeTimePoint(Hex("0A 0C 3F 1C"), 0x6D), "12:10, 31.12.9");
  // Flag bits (invalid, summer time) are ignored.
  EXPECT_EQ(DecodeTimePoint(Hex("85 88 21 12"), 0x6D), "8:05, 1.2.9");
  EXPECT_EQ(DecodeTimePoint(Hex("21 12"), 0x6C), "1.2.9");
  EXPECT_EQ(DecodeTimePoint(Hex("21"), 0x6C), "Exception decoding DateTime");
  EXPECT_EQ(DecodeTimePoint(Hex("05 08 21"), 0x6D), "Exception decoding DateTime");
}

TEST(MbusConverters, HexToInt32) {
  EXPECT_EQ(HexToInt32("FFFFFFFF"), -1);
  EXPECT_EQ(HexToInt32("7fffffff"), 2147483647);
  EXPECT_EQ(HexToInt32("0000001g"), std::nullopt);
}

}  // namespace
}  // namespace orvio
