// The telegram: frame checks in order, the fixed header, the medium table, the main value and
// the fixed layout of ZPA meters.
#include <gtest/gtest.h>

#include "core/bytes.h"
#include "core/mbus/data_field.h"
#include "core/mbus/telegram.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Hex;
using test::Rsp;

TEST(MbusTelegram, SevenBytesGiveOnlyTheRespondLine) {
  const TelegramDecode d = DecodeTelegram(Hex("68 01 01 68 08 08 16"));
  EXPECT_FALSE(d.ok);
  ASSERT_EQ(d.trace.size(), 1u);
  EXPECT_EQ(d.trace[0], "Respond: 68 01 01 68 08 08 16 ");
}

TEST(MbusTelegram, EmptyTelegram) {
  const TelegramDecode d = DecodeTelegram("");
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.trace, std::vector<std::string>{"Respond: "});
}

struct CheckRow {
  const char* name;
  int checksum_delta;  // added to the checksum byte
  int stop;            // stop byte
  int extra_bytes;     // appended before the checksum, L unchanged
  std::vector<std::string> lines;
};
class FrameCheckRows : public ::testing::TestWithParam<CheckRow> {};
TEST_P(FrameCheckRows, ReportsEveryFailedCheckInOrder) {
  const CheckRow& r = GetParam();
  ByteString t = Rsp("01 2B 07");
  const size_t n = t.size();
  uint8_t cs = static_cast<uint8_t>(t[n - 2]);
  ByteString extra(static_cast<size_t>(r.extra_bytes), '\0');
  // Zero bytes keep the checksum right while making the frame longer than L + 6.
  t = t.substr(0, n - 2) + extra + static_cast<char>(cs + r.checksum_delta) +
      static_cast<char>(r.stop);
  const TelegramDecode d = DecodeTelegram(t);
  std::vector<std::string> lines(d.trace.begin() + 1, d.trace.end());
  EXPECT_EQ(lines, r.lines);
  EXPECT_EQ(d.ok, r.lines.empty());
  EXPECT_EQ(d.decoded, r.lines.empty());
  if (!r.lines.empty()) {
    EXPECT_TRUE(d.records.empty());
  }
}
const CheckRow kCheckRows[] = {
    {"AllGood", 0, 0x16, 0, {}},
    {"Checksum", 1, 0x16, 0, {"Wrong CRC"}},
    {"Stop", 0, 0x17, 0, {"Wrong STOP byte"}},
    {"Length", 0, 0x16, 1, {"Wrong length in the header"}},
    {"AllThree", 1, 0x17, 2, {"Wrong CRC", "Wrong STOP byte", "Wrong length in the header"}},
};
INSTANTIATE_TEST_SUITE_P(Mbus, FrameCheckRows, ::testing::ValuesIn(kCheckRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MbusTelegram, StartBytesAndRepeatedLengthAreNotChecked) {
  ByteString t = Rsp("01 2B 07");
  t[0] = '\x10';
  t[2] = '\x00';
  t[3] = '\x10';
  EXPECT_TRUE(DecodeTelegram(t).ok);
}

TEST(MbusTelegram, SoundFrameTooShortForTheHeader) {
  // 68 03 03 68 C A CI CS 16: passes the three checks but has no fixed header.
  const TelegramDecode d = DecodeTelegram(Hex("68 03 03 68 08 01 70 79 16"));
  EXPECT_FALSE(d.ok);
  EXPECT_FALSE(d.decoded);
  EXPECT_EQ(d.trace.back(), "Unexpected error in the telegram...");
}

// Sound frames cut after ever more header bytes: until the status byte (16) lies before the
// checksum the header cannot be read, which is an error in the telegram with no table row;
// from 19 bytes on the header decodes even without a data block.
TEST(MbusTelegram, HeaderNeedsItsBytesUpToTheStatus) {
  const std::string body = "53 FE 51 07 79 04 03 02 01 24 40 01 04 00 00";
  for (size_t body_bytes = 2; body_bytes <= 15; ++body_bytes) {
    const ByteString t = test::LongFrame(body.substr(0, body_bytes * 3 - 1));
    SCOPED_TRACE(TraceHex(t));
    const TelegramDecode d = DecodeTelegram(t);
    ASSERT_EQ(t.size(), body_bytes + 6);
    if (t.size() < 19) {
      EXPECT_FALSE(d.ok);
      EXPECT_FALSE(d.decoded);
      EXPECT_EQ(d.trace, (std::vector<std::string>{"Respond: " + TraceHex(t),
                                                   "Unexpected error in the telegram..."}));
      EXPECT_TRUE(d.records.empty());
    } else {
      EXPECT_TRUE(d.ok);
      EXPECT_TRUE(d.decoded);
      EXPECT_EQ(d.trace.size(), 1u);
      EXPECT_EQ(d.summary, (MeterSummary{"03047907", "254", "@HB", "", "", "Unknown", "04", ""}));
      EXPECT_TRUE(d.records.empty());
    }
  }
}

TEST(MbusTelegram, HeaderWithoutDataBlock) {
  const TelegramDecode d =
      DecodeTelegram(Hex("68 0D 0D 68 53 FE 51 07 79 04 03 02 01 24 40 01 04 95 16"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.header.id, "03047907");
  EXPECT_EQ(d.header.address, 254);
  EXPECT_EQ(d.header.manufacturer, "@HB");
  EXPECT_EQ(d.header.status, "04");
  EXPECT_TRUE(d.records.empty());
  EXPECT_EQ(d.value, "");
}

TEST(MbusTelegram, FixedHeader) {
  const TelegramDecode d = DecodeTelegram(Rsp("", "04", "4304", "A5"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.header.id, "12345678");
  EXPECT_EQ(d.header.address, 5);
  EXPECT_EQ(d.header.manufacturer, "ABC");
  EXPECT_EQ(d.header.medium.name, "Heat (rt)");
  EXPECT_EQ(d.header.status, "A5");
  EXPECT_TRUE(d.records.empty());
  EXPECT_EQ(d.summary, (MeterSummary{"12345678", "5", "ABC", "", "", "Heat (rt)", "A5", ""}));
}

TEST(MbusTelegram, IdentificationDigitsAreShownAsSent) {
  const TelegramDecode d =
      DecodeTelegram(test::LongFrame("08 FE 72 0F 0E CD AB 43 04 01 07 2A 00 00 00"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.header.id, "ABCD0E0F");
  EXPECT_EQ(d.header.address, 254);
}

TEST(MbusTelegram, Manufacturer) {
  EXPECT_EQ(DecodeManufacturer(0x43, 0x04), "ABC");
  EXPECT_EQ(DecodeManufacturer(0x01, 0x6A), "ZPA");
  EXPECT_EQ(DecodeManufacturer(0x00, 0x00), "@@@");
  EXPECT_EQ(DecodeManufacturer(0xFF, 0xFF), "\x7F\x5F\x5F");
}

struct MediumRow {
  const char* name;
  uint8_t code;
  const char* text;
  std::array<const char*, 3> units;
};
class MediumRows : public ::testing::TestWithParam<MediumRow> {};
TEST_P(MediumRows, Names) {
  const MediumRow& r = GetParam();
  const Medium m = MediumName(r.code);
  EXPECT_EQ(m.name, r.text);
  EXPECT_EQ(m.units[0], r.units[0]);
  EXPECT_EQ(m.units[1], r.units[1]);
  EXPECT_EQ(m.units[2], r.units[2]);
}
const MediumRow kMediumRows[] = {
    {"Other", 0x00, "Other", {"N/A", "Other", "Unknown"}},
    {"Oil", 0x01, "Oil", {"m3", "m3", "m3"}},
    {"Electricity", 0x02, "Electricity", {"kWh", "kJ", "MJ"}},
    {"Gas", 0x03, "Gas", {"m3", "m3", "m3"}},
    {"HeatReturn", 0x04, "Heat (rt)", {"kWh", "kJ", "MJ"}},
    {"Steam", 0x05, "Steam", {"N/A", "Other", "Unknown"}},
    {"HotWater", 0x06, "Hot water", {"m3", "m3", "m3"}},
    {"Water", 0x07, "Water", {"m3", "m3", "m3"}},
    {"HeatCostAllocator", 0x08, "Heat C.A.", {"N/A", "Other", "Unknown"}},
    {"CompressedAir", 0x09, "Compr. Air", {"N/A", "Other", "Unknown"}},
    {"CoolingReturn", 0x0A, "Cooling, rt", {"kWh", "kJ", "MJ"}},
    {"CoolingFlow", 0x0B, "Cooling, ft", {"kWh", "kJ", "MJ"}},
    {"HeatFlow", 0x0C, "Heat (ft)", {"kWh", "kJ", "MJ"}},
    {"HeatCoolingLoad", 0x0D, "H/C load meter", {"kWh", "kJ", "MJ"}},
    {"Bus", 0x0E, "Bus/System", {"N/A", "Other", "Unknown"}},
    {"Unknown0F", 0x0F, "Unknown", {"N/A", "Other", "Unknown"}},
    {"Code10", 0x10, "Unknown", {"N/A", "Other", "Unknown"}},
    {"ColdWater", 0x16, "Cold water", {"m3", "m3", "m3"}},
    {"DualWater", 0x17, "Dual water", {"m3", "m3", "m3"}},
    {"Pressure", 0x18, "Pressure", {"mbar", "mbar", "mbar"}},
    {"AdConverter", 0x19, "A/D converter", {"N/A", "Other", "Unknown"}},
    {"Code1A", 0x1A, "Unknown", {"N/A", "Other", "Unknown"}},
    {"CodeFF", 0xFF, "Unknown", {"N/A", "Other", "Unknown"}},
};
INSTANTIATE_TEST_SUITE_P(Mbus, MediumRows, ::testing::ValuesIn(kMediumRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct MainValueRow {
  const char* name;
  const char* medium;
  const char* records;
  const char* value;
  const char* unit;
};
class MainValueRows : public ::testing::TestWithParam<MainValueRow> {};
TEST_P(MainValueRows, PicksTheFirstRecordWithAPreferredUnit) {
  const MainValueRow& r = GetParam();
  const TelegramDecode d = DecodeTelegram(Rsp(r.records, r.medium));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.value, r.value);
  EXPECT_EQ(d.unit, r.unit);
  EXPECT_EQ(d.summary[3], r.value);
  EXPECT_EQ(d.summary[4], r.unit);
}
const MainValueRow kMainValueRows[] = {
    // m3 is not an energy unit; MJ comes before kWh in record order.
    {"HeatMeterTakesFirstEnergyRecord", "04",
     "04 13 01 00 00 00 04 0E 02 00 00 00 04 06 03 00 00 00", "2.000", "MJ"},
    {"WaterMeterTakesVolume", "07", "04 06 03 00 00 00 04 13 01 00 00 00", "0.001", "m3"},
    {"WaterMeterWithoutVolume", "07", "04 06 03 00 00 00 02 5B 15 00", "", ""},
    {"HeatCostAllocatorTakesNotApplicable", "08", "02 5B 15 00 02 6E 2C 01", "300.000", "N/A"},
    {"UnknownMediumTakesNotApplicable", "1A", "02 6E 2C 01", "300.000", "N/A"},
    {"PressureTakesMillibar", "18", "02 5B 15 00 01 69 07", "70.000", "mbar"},
    {"ElectricityTakesKj", "02", "02 2B 10 00 02 0B 05 00", "5.000", "kJ"},
    {"EnergyRecordPastTheEndStillCounts", "02", "04 06 03 00", kFieldPastEnd, "kWh"},
};
INSTANTIATE_TEST_SUITE_P(Mbus, MainValueRows, ::testing::ValuesIn(kMainValueRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ZPA: register 1 data at byte 23 (DIF at 19, VIF at 21), register 2 data at byte 33 (DIF at
// 29, VIF at 31). Manufacturer bytes 01 6A.
ByteString Zpa(const std::string& records) { return Rsp(records, "02", "016A"); }

TEST(MbusTelegramZpa, SumsTheTwoRegisters) {
  const TelegramDecode d =
      DecodeTelegram(Zpa("04 00 03 00 E8 03 00 00 00 00 04 00 04 00 C4 09 00 00"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.header.manufacturer, "ZPA");
  EXPECT_TRUE(d.records.empty());
  EXPECT_EQ(d.value, "26.000");  // 1.000 kWh + 25.000 kWh
  EXPECT_EQ(d.unit, "kWh");
  EXPECT_EQ(d.trace.size(), 1u);
}

TEST(MbusTelegramZpa, OnlyTheLowDigitOfTheVifCounts) {
  // VIF 13 would be litres; the fixed layout reads it as 03, Wh.
  const TelegramDecode d =
      DecodeTelegram(Zpa("04 00 13 00 E8 03 00 00 00 00 04 00 8E 00 01 00 00 00"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.value, "2.000");  // 1.000 kWh + 1 MJ (VIF 8E read as 0E), unit of register 2
  EXPECT_EQ(d.unit, "MJ");
}

TEST(MbusTelegramZpa, DataTypes) {
  // BCD 8 digits and a 16-bit register read unsigned.
  const TelegramDecode d =
      DecodeTelegram(Zpa("0C 00 03 00 78 56 34 12 00 00 02 00 06 00 FF FF 00 00"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.value, "77880.678");  // 12345.678 + 65535
  // The second register's value has 8 significant digits: 65535.000 kWh.
  const FixedRecord r =
      DecodeFixedRecord(Zpa("0C 00 03 00 78 56 34 12 00 00 02 00 06 00 FF FF 00 00"), 33);
  EXPECT_EQ(r.value, "65535.000");
  EXPECT_EQ(r.unit, "kWh");
}

TEST(MbusTelegramZpa, UnrecognisedTypeCountsAsZero) {
  const TelegramDecode d =
      DecodeTelegram(Zpa("07 00 03 00 E8 03 00 00 00 00 04 00 04 00 C4 09 00 00"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.value, "25.000");
  EXPECT_EQ(d.unit, "kWh");
  ASSERT_EQ(d.trace.size(), 2u);
  EXPECT_EQ(d.trace[1], "Unrecognizable DIF value - not decoded, 1...");
}

TEST(MbusTelegramZpa, BadBcdClearsThatRegister) {
  const FixedRecord r =
      DecodeFixedRecord(Zpa("0C 00 03 00 78 56 34 F2 00 00 04 00 04 00 C4 09 00 00"), 23);
  EXPECT_EQ(r.value, "");
  EXPECT_EQ(r.unit, "");
  EXPECT_TRUE(r.inside);
}

TEST(MbusTelegramZpa, ShortTelegramIsNotReadPastItsEnd) {
  // The second register would lie beyond the checksum.
  const TelegramDecode d = DecodeTelegram(Zpa("04 00 03 00 E8 03 00 00 00 00 04 00 04"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.value, "");
  EXPECT_EQ(d.unit, "");
  EXPECT_EQ(d.trace.back(), "ZPA telegram too short for its registers");
  EXPECT_EQ(d.summary[2], "ZPA");
  // No records at all.
  const TelegramDecode bare = DecodeTelegram(Zpa(""));
  ASSERT_TRUE(bare.ok);
  EXPECT_EQ(bare.value, "");
  EXPECT_FALSE(DecodeFixedRecord(Zpa(""), 23).inside);
  EXPECT_FALSE(DecodeFixedRecord("", 23).inside);
}

TEST(MbusTelegram, DecimalSeparatorReachesValuesAndZpaSums) {
  EXPECT_EQ(DecodeTelegram(Rsp("04 13 78 56 34 12"), ',').value, "305419,896");
  EXPECT_EQ(DecodeTelegram(Zpa("04 00 03 00 E8 03 00 00 00 00 04 00 04 00 C5 09 00 00"), ',').value,
            "26,010");
}

}  // namespace
}  // namespace orvio
