// The tables and rules several parts of the core share: the primary VIF ranges behind both the
// record table and the device map, decimal parsing, the decimal separator and the control ranges.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "core/bytes.h"
#include "core/gateway/device_map.h"
#include "core/mbus/value_info.h"
#include "core/mbus/vif_ranges.h"
#include "core/settings/control_ranges.h"
#include "core/settings/settings.h"
#include "core/text/number.h"

namespace orvio {
namespace {

TEST(VifRanges, RowsAreOrderedDisjointAndScaleByExactPowers) {
  int previous_last = -1;
  for (const VifRange& row : PrimaryVifRanges()) {
    SCOPED_TRACE(row.record_unit);
    EXPECT_GT(row.first, previous_last);
    EXPECT_LE(row.first, row.last);
    EXPECT_LE(row.last, 0x7F);  // codes with the extension bit cleared
    previous_last = row.last;
    // Both ends scale inside the table of exact powers (PowerOfTen gives 1 outside it).
    for (const int exponent : {row.exponent, row.exponent + row.step * (row.last - row.first)}) {
      EXPECT_GE(exponent, -12);
      EXPECT_LE(exponent, 12);
    }
  }
}

// Every code as the decoder and the device map see it: each reads its own text column of the
// one row, and both scale by the same power.
TEST(VifRanges, DecoderAndDeviceMapReadTheirColumnOfTheSameRow) {
  for (int code = 0; code <= 0xFF; ++code) {
    SCOPED_TRACE(code);
    const auto vif = static_cast<uint8_t>(code);
    const UnitEntry device = UnitTable(vif);
    const VifRange* row = FindPrimaryVif(vif);
    if (row == nullptr || row->device_unit == nullptr) {
      EXPECT_EQ(device.name, "Not supported");
      EXPECT_EQ(device.multiplier, 1.0);
    } else {
      EXPECT_EQ(device.name, row->device_unit);
      EXPECT_EQ(device.multiplier, VifRangeMultiplier(*row, vif));
    }
    if (row == nullptr || vif == 0x7C) continue;  // 7C is the plain-text unit
    const ValueInfo info = DecodeValueInfo(vif, {});
    EXPECT_EQ(info.unit, row->record_unit);
    EXPECT_EQ(info.description, row->description);
    EXPECT_EQ(info.multiplier, VifRangeMultiplier(*row, vif));
  }
}

TEST(VifRanges, TextColumnsDifferOnlyWhereTheDeviceMapNamesTheUnitItself) {
  struct Difference {
    uint8_t code;
    const char* record_unit;
    const char* device_unit;  // nullptr: not listed by the device map
  };
  const Difference kDifferences[] = {
      {0x6E, "N/A", "Dimensionless"},
      {0x7E, "Readout - not supported for now", nullptr},
      {0x7F, "Manufacturer specific", nullptr},
  };
  for (const VifRange& row : PrimaryVifRanges()) {
    SCOPED_TRACE(row.first);
    const Difference* expected = nullptr;
    for (const Difference& d : kDifferences)
      if (d.code == row.first) expected = &d;
    if (expected == nullptr) {
      ASSERT_NE(row.device_unit, nullptr);
      EXPECT_STREQ(row.device_unit, row.record_unit);
      continue;
    }
    EXPECT_STREQ(row.record_unit, expected->record_unit);
    if (expected->device_unit == nullptr) {
      EXPECT_EQ(row.device_unit, nullptr);
    } else {
      EXPECT_STREQ(row.device_unit, expected->device_unit);
    }
  }
}

struct NumberRow {
  const char* text;
  std::optional<long long> signed_decimal;
  std::optional<int> decimal;  // digits only
  std::optional<int> integer;  // optional sign, int range
};
TEST(DecimalParsing, OneRuleForEveryField) {
  const NumberRow kRows[] = {
      {"0", 0, 0, 0},
      {"007", 7, 7, 7},
      {"+5", 5, std::nullopt, 5},
      {"-5", -5, std::nullopt, -5},
      {"+-5", std::nullopt, std::nullopt, std::nullopt},
      {"-", std::nullopt, std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt, std::nullopt},
      {" 5", std::nullopt, std::nullopt, std::nullopt},
      {"5 ", std::nullopt, std::nullopt, std::nullopt},
      {"0x10", std::nullopt, std::nullopt, std::nullopt},
      {"2147483647", 2147483647LL, INT_MAX, INT_MAX},
      {"2147483648", 2147483648LL, std::nullopt, std::nullopt},
      {"-2147483648", -2147483648LL, std::nullopt, INT_MIN},
      {"-2147483649", -2147483649LL, std::nullopt, std::nullopt},
  };
  for (const NumberRow& r : kRows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(ParseSignedDecimal(r.text), r.signed_decimal);
    EXPECT_EQ(ParseDecimal(r.text), r.decimal);
    EXPECT_EQ(ParseInt(r.text), r.integer);
  }
  // Far beyond long long: saturated, still far beyond any int.
  const auto huge = ParseSignedDecimal("99999999999999999999999999");
  ASSERT_TRUE(huge.has_value());
  EXPECT_GT(*huge, INT_MAX);
  EXPECT_EQ(ParseInt("-99999999999999999999999999"), std::nullopt);
}

TEST(DecimalSeparator, OnePlainCharacterOrPoint) {
  EXPECT_EQ(DecimalSeparatorFrom(","), ',');
  EXPECT_EQ(DecimalSeparatorFrom("."), '.');
  EXPECT_EQ(DecimalSeparatorFrom("\xD9\xAB"), '.');  // U+066B, two bytes in UTF-8
  EXPECT_EQ(DecimalSeparatorFrom(""), '.');
  EXPECT_EQ(DecimalSeparatorFrom(",,"), '.');
}

TEST(Bcd, DigitsAndBytesBothWays) {
  EXPECT_EQ(HexText(DigitsToBcd("12345678")), "12345678");
  EXPECT_EQ(HexText(DigitsToBcd("123")), "1230");
  EXPECT_EQ(BcdToInt32("\x78\x56\x34\x12"), 12345678);  // least significant byte first
  EXPECT_EQ(BcdToInt32("\x47\x36\x48\x47\x21"), INT_MAX);
  EXPECT_EQ(BcdToInt32("\x48\x36\x48\x47\x21"), std::nullopt);  // 2147483648
  EXPECT_EQ(BcdToInt32("\x0A"), std::nullopt);
  EXPECT_EQ(BcdToInt32(""), 0);
}

// The settings file and the window's up-downs keep to the same ranges.
TEST(ControlRanges, SettingsClampIntoTheControlRanges) {
  struct Row {
    const char* key;
    int Settings::*field;
    ControlRange range;
  };
  const Row kRows[] = {
      {"[Mbus]\nTimeout=", &Settings::mbusTimeout, control_range::kMbusTimeout},
      {"[Mbus]\nSearchFrom=", &Settings::searchFrom, control_range::kSearchFrom},
      {"[Mbus]\nSearchTo=", &Settings::searchTo, control_range::kSearchTo},
      {"[Mbus]\nRetry=", &Settings::retry, control_range::kRetry},
      {"[Modbus]\nTimeout=", &Settings::modbusTimeout, control_range::kModbusTimeout},
      {"[Modbus]\nAddress=", &Settings::modbusAddress, control_range::kModbusAddress},
      {"[TCP]\nEthTimeout=", &Settings::ethTimeout, control_range::kEthTimeout},
  };
  const Settings defaults = DefaultSettings("/tmp/");
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.key);
    EXPECT_GE(defaults.*r.field, r.range.min);
    EXPECT_LE(defaults.*r.field, r.range.max);
    EXPECT_EQ(ParseSettings(std::string(r.key) + "-99999", defaults).*r.field, r.range.min);
    EXPECT_EQ(ParseSettings(std::string(r.key) + "99999", defaults).*r.field, r.range.max);
    EXPECT_EQ(ParseSettings(std::string(r.key) + std::to_string(r.range.max), defaults).*r.field,
              r.range.max);
  }
}

}  // namespace
}  // namespace orvio
