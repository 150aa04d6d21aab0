// The full EN 13757-3 reading of a telegram: header fields, record coordinates, values, units,
// quantities, where each record lies, and how a broken record ends the walk.
#include <gtest/gtest.h>

#include "core/mbus/full_decode.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Hex;
using test::Rsp;

FullRecord OnlyRecord(const std::string& records_hex) {
  const FullDecode d = DecodeFull(Rsp(records_hex));
  EXPECT_TRUE(d.ok);
  EXPECT_TRUE(d.errors.empty()) << d.errors.front();
  if (d.records.size() != 1) {
    ADD_FAILURE() << "records: " << d.records.size();
    return {};
  }
  return d.records[0];
}

TEST(MbusFullDecode, HeaderFieldsAndStatusBits) {
  const FullDecode d = DecodeFull(Rsp("", "04", "4304", "B5"));
  ASSERT_TRUE(d.ok);
  const FullHeader& h = d.header;
  EXPECT_EQ(h.c_field, 0x08);
  EXPECT_EQ(h.address, 5);
  EXPECT_EQ(h.ci, 0x72);
  EXPECT_EQ(h.id, "12345678");
  EXPECT_EQ(h.manufacturer, "ABC");
  EXPECT_EQ(h.manufacturer_code, 0x0443);
  EXPECT_EQ(h.version, 1);
  EXPECT_EQ(h.medium, "Heat (outlet)");
  EXPECT_EQ(h.access_number, 0x2A);
  EXPECT_EQ(h.signature, 0);
  EXPECT_EQ(h.offset, 6u);
  EXPECT_EQ(h.length, 13u);
  EXPECT_EQ(h.status_bits,
            (std::vector<std::string>{"application busy", "power low", "temporary error",
                                      "manufacturer bit 5", "manufacturer bit 7"}));
  EXPECT_TRUE(d.records.empty());
  EXPECT_EQ(StatusBitNames(0x0A),
            (std::vector<std::string>{"application error", "permanent error"}));
  EXPECT_EQ(StatusBitNames(0x03), std::vector<std::string>{"abnormal condition"});
  EXPECT_EQ(MediumFullName(0x16), "Cold water");
  EXPECT_EQ(MediumFullName(0x10), "Reserved");
}

struct CoordinateRow {
  const char* record;
  RecordFunction function;
  uint64_t storage;
  uint32_t tariff;
  uint32_t subunit;
};
class FullDecodeCoordinates : public ::testing::TestWithParam<CoordinateRow> {};
TEST_P(FullDecodeCoordinates, FromTheDifAndDifes) {
  const CoordinateRow& row = GetParam();
  const FullRecord r = OnlyRecord(row.record);
  EXPECT_EQ(r.function, row.function);
  EXPECT_EQ(r.storage, row.storage);
  EXPECT_EQ(r.tariff, row.tariff);
  EXPECT_EQ(r.subunit, row.subunit);
}
INSTANTIATE_TEST_SUITE_P(
    Full, FullDecodeCoordinates,
    ::testing::Values(
        CoordinateRow{"04 13 78 56 34 12", RecordFunction::kInstantaneous, 0, 0, 0},
        CoordinateRow{"44 13 78 56 34 12", RecordFunction::kInstantaneous, 1, 0, 0},
        CoordinateRow{"14 13 78 56 34 12", RecordFunction::kMaximum, 0, 0, 0},
        CoordinateRow{"24 13 78 56 34 12", RecordFunction::kMinimum, 0, 0, 0},
        CoordinateRow{"34 13 78 56 34 12", RecordFunction::kValueDuringError, 0, 0, 0},
        // DIFE 01: storage bit 1; C4: storage bit 0 as well.
        CoordinateRow{"C4 01 13 78 56 34 12", RecordFunction::kInstantaneous, 3, 0, 0},
        // Two DIFEs with storage nibbles F: 1 + 4 + 4 bits.
        CoordinateRow{"84 8F 0F 6D 00 00 E1 F1", RecordFunction::kInstantaneous, 510, 0, 0},
        // The second DIFE's tariff and subunit bits are the higher ones.
        CoordinateRow{"84 80 10 13 00 00 00 00", RecordFunction::kInstantaneous, 0, 4, 0},
        CoordinateRow{"84 80 40 13 00 00 00 00", RecordFunction::kInstantaneous, 0, 0, 2},
        CoordinateRow{"94 F1 72 13 00 00 00 00", RecordFunction::kMaximum, 1 << 1 | 2 << 5,
                      3 | 3 << 2, 3}));

struct ValueRow {
  const char* record;
  const char* value;
  const char* unit;
  const char* quantity;
  const char* data_type;
};
class FullDecodeValues : public ::testing::TestWithParam<ValueRow> {};
TEST_P(FullDecodeValues, ValueUnitAndQuantity) {
  const ValueRow& row = GetParam();
  const FullRecord r = OnlyRecord(row.record);
  EXPECT_EQ(r.value, row.value);
  EXPECT_EQ(r.unit, row.unit);
  EXPECT_EQ(r.quantity, row.quantity);
  EXPECT_EQ(r.data_type, row.data_type);
}
INSTANTIATE_TEST_SUITE_P(
    Full, FullDecodeValues,
    ::testing::Values(
        ValueRow{"04 13 78 56 34 12", "305419.896", "m^3", "Volume", "32-bit integer"},
        ValueRow{"04 06 FF FF FF FF", "-1000", "Wh", "Energy", "32-bit integer"},
        ValueRow{"02 5B 15 00", "21",
                 "\xC2\xB0"
                 "C",
                 "Flow temperature", "16-bit integer"},
        ValueRow{"06 03 FE FF FF FF FF FF", "-2", "Wh", "Energy", "48-bit integer"},
        ValueRow{"07 10 00 00 00 00 00 00 00 80", "-9223372036854.775808", "m^3", "Volume",
                 "64-bit integer"},
        ValueRow{"05 5B 00 00 C0 3F", "1.5",
                 "\xC2\xB0"
                 "C",
                 "Flow temperature", "32-bit real"},
        ValueRow{"05 2E B1 D1 2E BE", "-170.72178", "W", "Power", "32-bit real"},
        ValueRow{"0C 13 78 56 34 12", "12345.678", "m^3", "Volume", "8-digit BCD"},
        // A leading F nibble is the minus sign of a BCD number.
        ValueRow{"0B 62 02 00 F0", "-0.2", "K", "Temperature difference", "6-digit BCD"},
        ValueRow{"0A 13 34 F2", "-0.234", "m^3", "Volume", "4-digit BCD"},
        ValueRow{"0A 13 A4 12", "12A4", "m^3", "Volume", "4-digit BCD"},
        ValueRow{"0E 78 89 67 45 23 01 00", "123456789", "", "Fabrication number", "12-digit BCD"},
        ValueRow{"02 27 FC 00", "252", "d", "Operating time", "16-bit integer"},
        ValueRow{"42 6C DF 1C", "2014-12-31", "", "Date", "date (type G)"},
        ValueRow{"04 6D 2B 0D 98 11", "2012-01-24T13:43", "", "Date and time",
                 "date and time (type F)"},
        ValueRow{"04 6D A1 15 E9 17", "2015-07-09T21:33 invalid", "", "Date and time",
                 "date and time (type F)"},
        ValueRow{"04 6D 00 80 21 12", "2009-02-01T00:00 summer time", "", "Date and time",
                 "date and time (type F)"},
        // Hundred-year bits 01: 2000 + the year field.
        ValueRow{"04 6D 00 20 21 12", "2009-02-01T00:00", "", "Date and time",
                 "date and time (type F)"},
        ValueRow{"04 6D 00 00 E1 F1", "*-01-01T00:00", "", "Date and time",
                 "date and time (type F)"},
        ValueRow{"42 EC 7E FF 1C", "2015-12-31", "", "Date, future value", "date (type G)"},
        // Texts are sent last character first.
        ValueRow{"0D FD 0B 06 35 33 32 44 56 52", "RVD235", "", "Parameter set identification",
                 "variable length text"},
        ValueRow{"0D 13 C2 34 12", "1.234", "m^3", "Volume", "variable length BCD"},
        ValueRow{"0D 13 D2 34 12", "-1.234", "m^3", "Volume", "variable length negative BCD"},
        ValueRow{"0D 13 E2 34 12", "4.660", "m^3", "Volume", "variable length integer"},
        ValueRow{"0D 13 E9 01 02 03 04 05 06 07 08 09", "0x090807060504030201", "m^3", "Volume",
                 "variable length binary"},
        // Plain-text unit, its VIFE after the text: multiplicative correction 10^-2.
        ValueRow{"02 FC 03 48 52 25 74 22 15", "54.10", "%RH",
                 "Plain-text unit, multiplicative correction factor 10^-2", "16-bit integer"},
        ValueRow{"84 00 7C 01 43 F3 0D 00 00", "3571", "C", "Plain-text unit", "32-bit integer"},
        ValueRow{"02 FD 48 ED 00", "23.7", "V", "Voltage", "16-bit integer"},
        ValueRow{"02 FD 59 20 00", "0.032", "A", "Current", "16-bit integer"},
        ValueRow{"09 FD 0E 10", "10", "", "Firmware version", "2-digit BCD"},
        ValueRow{"04 FB 00 01 00 00 00", "0.1", "MWh", "Energy", "32-bit integer"},
        ValueRow{"01 FB 1A 64", "100", "", "Reserved", "8-bit integer"},
        ValueRow{"04 93 3B 01 00 00 00", "0.001", "m^3",
                 "Volume, accumulation only if positive contributions", "32-bit integer"},
        ValueRow{"04 96 A2 7D 05 00 00 00", "5000", "m^3",
                 "Volume, per hour; multiplicative correction factor 10^3", "32-bit integer"},
        ValueRow{"02 FF 10 B5 5D", "23989", "", "Manufacturer specific", "16-bit integer"},
        // VIFEs that change what the field holds: a date, a duration, a count.
        ValueRow{"94 10 DA 6F 32 14 7A 18", "2011-08-26T20:50", "",
                 "Flow temperature, date(/time) of end of last", "date and time (type F)"},
        ValueRow{"04 BE 50 71 BB B0 00", "11582321", "s",
                 "Volume flow, duration of first lower limit exceed", "32-bit integer"},
        ValueRow{"01 93 49 03", "3", "", "Volume, number of exceeds of upper limit",
                 "8-bit integer"},
        ValueRow{"01 93 79 05", "0.015", "m^3", "Volume, additive correction constant 10^-2",
                 "8-bit integer"},
        ValueRow{"02 FD 30 DF 1C", "2014-12-31", "", "Start of tariff", "date (type G)"},
        ValueRow{"08 13", "", "m^3", "Volume", "selection for readout"},
        ValueRow{"00 13", "", "m^3", "Volume", "no data"},
        ValueRow{"0F 01 02 0A", "01 02 0A", "", "Manufacturer specific", "manufacturer specific"}));

TEST(MbusFullDecode, RecordsLieWhereTheyAreSentWithTheirRawBytes) {
  // Filler, a record with DIFE and VIFE, then manufacturer-specific data with more to follow.
  const ByteString t = Rsp("2F 84 10 93 3B 78 56 34 12 2F 1F AA BB");
  const FullDecode d = DecodeFull(t);
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.records.size(), 2u);
  const FullRecord& a = d.records[0];
  EXPECT_EQ(a.number, 1);
  EXPECT_EQ(a.offset, 20u);
  EXPECT_EQ(a.length, 8u);
  EXPECT_EQ(a.data_offset, 24u);
  EXPECT_EQ(a.dif, Hex("84 10"));
  EXPECT_EQ(a.vif, Hex("93"));
  EXPECT_EQ(a.vife, Hex("3B"));
  EXPECT_EQ(a.data, Hex("78 56 34 12"));
  EXPECT_EQ(t.substr(a.offset, a.length), a.dif + a.vif + a.vife + a.data);
  EXPECT_EQ(a.tariff, 1u);
  EXPECT_EQ(a.extensions, std::vector<std::string>{"accumulation only if positive contributions"});
  ASSERT_TRUE(a.numeric.has_value());
  EXPECT_DOUBLE_EQ(*a.numeric, 305419.896);

  const FullRecord& b = d.records[1];
  EXPECT_EQ(b.number, 2);
  EXPECT_EQ(b.function, RecordFunction::kMoreRecordsFollow);
  EXPECT_EQ(b.offset, 29u);
  EXPECT_EQ(b.length, 3u);
  EXPECT_EQ(b.data, Hex("AA BB"));
  EXPECT_EQ(b.value, "AA BB");
  EXPECT_EQ(std::string(RecordFunctionName(b.function)), "More records follow");
}

TEST(MbusFullDecode, TimePointFieldsAndFlags) {
  const FullRecord r = OnlyRecord("04 6D A1 95 E9 17");
  ASSERT_TRUE(r.time.has_value());
  EXPECT_TRUE(r.time->has_time);
  EXPECT_EQ(r.time->year, 2015);
  EXPECT_EQ(r.time->month, 7);
  EXPECT_EQ(r.time->day, 9);
  EXPECT_EQ(r.time->hour, 21);
  EXPECT_EQ(r.time->minute, 33);
  EXPECT_TRUE(r.time->invalid);
  EXPECT_TRUE(r.time->summer_time);
  EXPECT_FALSE(r.numeric.has_value());
}

struct BrokenRow {
  const char* name;
  const char* records;
  size_t records_kept;
  const char* error;
};
class FullDecodeBroken : public ::testing::TestWithParam<BrokenRow> {};
TEST_P(FullDecodeBroken, TheWalkEndsWithAReasonAndKeepsWhatCameBefore) {
  const BrokenRow& row = GetParam();
  const ByteString t = Rsp(std::string("01 13 05 ") + row.records);
  const FullDecode d = DecodeFull(t);
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.errors.size(), 1u);
  EXPECT_EQ(d.errors[0], row.error);
  ASSERT_EQ(d.records.size(), row.records_kept);
  EXPECT_EQ(d.records[0].value, "0.005");
  for (const FullRecord& r : d.records) EXPECT_LE(r.offset + r.length, t.size() - 2);
}
INSTANTIATE_TEST_SUITE_P(
    Full, FullDecodeBroken,
    ::testing::Values(
        BrokenRow{"DataPastEnd", "04 13 01 02", 2,
                  "Record 2: Data field runs past the end of the telegram"},
        BrokenRow{"LvarPastEnd", "0D 13 05 41", 2,
                  "Record 2: Data field runs past the end of the telegram"},
        BrokenRow{"ReservedLvar", "0D 13 FB 41", 2, "Record 2: Reserved LVAR FB"},
        BrokenRow{"DifChainAtEnd", "84 90", 1, "Record 2: DIF without a VIF before the checksum"},
        BrokenRow{"TooManyDifes", "84 80 80 80 80 80 80 80 80 80 80 80 13 00", 1,
                  "Record 2: more than ten DIFEs"},
        BrokenRow{"TooManyVifes", "01 93 80 80 80 80 80 80 80 80 80 80 00 00", 1,
                  "Record 2: more than ten VIFEs"},
        BrokenRow{"VifesAtEnd", "01 93 80", 1, "Record 2: VIFEs run past the end of the telegram"},
        BrokenRow{"TextPastEnd", "01 7C 05 41", 1,
                  "Record 2: plain-text unit runs past the end of the telegram"},
        BrokenRow{"BareExtensionVif", "01 FD", 1, "Record 2: extension VIF without its code"},
        BrokenRow{"SpecialDif", "3F 13 00", 1, "Special function DIF 3F at byte 22: walk ended"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MbusFullDecode, FrameFailuresAndUndecodedStructures) {
  ByteString bad = Rsp("01 13 05");
  bad[bad.size() - 2] ^= 1;
  bad[bad.size() - 1] = 0x17;
  FullDecode d = DecodeFull(bad);
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.errors, (std::vector<std::string>{"Wrong CRC", "Wrong STOP byte"}));
  EXPECT_TRUE(d.records.empty());

  d = DecodeFull(Hex("10 5B 01 5C 16"));
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.errors, std::vector<std::string>{"Not a long frame (68 L L 68 ... CS 16)"});

  d = DecodeFull(test::LongFrame("08 01 77 93 92 91 90 10 00 05 69 31 65 00 00 69 00 00 00"));
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.errors, std::vector<std::string>{"CI 77h (fixed data structure) not decoded"});

  d = DecodeFull(test::LongFrame("08 01 72 93 92"));
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.errors, std::vector<std::string>{"Telegram too short for the fixed header"});

  // Short header (CI 7A): access number, status, signature; records follow at once.
  d = DecodeFull(test::LongFrame("08 01 7A 11 04 00 00 01 13 05"));
  ASSERT_TRUE(d.ok);
  EXPECT_FALSE(d.header.long_header);
  EXPECT_EQ(d.header.access_number, 0x11);
  EXPECT_EQ(d.header.status_bits, std::vector<std::string>{"power low"});
  ASSERT_EQ(d.records.size(), 1u);
  EXPECT_EQ(d.records[0].offset, 11u);
}

// The fixed data structure (CI 73h): identification, access number, status, the medium and
// unit field and two counters, BCD or (status bit 0) signed binary.
TEST(MbusFullDecode, FixedDataStructureHeaderAndTwoCounters) {
  // Water meter 12345678, access 0Ah, BCD; counter 1 in litres, counter 2 "same but historic".
  FullDecode d =
      DecodeFull(Hex("68 13 13 68 08 05 73 78 56 34 12 0A 00 E9 7E 01 00 00 00 35 01 00 00 3C 16"));
  ASSERT_TRUE(d.ok);
  EXPECT_TRUE(d.errors.empty()) << d.errors.front();
  const FullHeader& h = d.header;
  EXPECT_TRUE(h.fixed_structure);
  EXPECT_FALSE(h.long_header);
  EXPECT_EQ(h.ci, 0x73);
  EXPECT_EQ(h.id, "12345678");
  EXPECT_EQ(h.access_number, 0x0A);
  EXPECT_EQ(h.status, 0);
  EXPECT_TRUE(h.status_bits.empty());
  EXPECT_EQ(h.medium_unit, 0x7EE9);
  EXPECT_EQ(h.medium_code, 7);
  EXPECT_EQ(h.medium, "Water");
  EXPECT_EQ(h.length, 9u);
  ASSERT_EQ(d.records.size(), 2u);
  const FullRecord& c1 = d.records[0];
  const FullRecord& c2 = d.records[1];
  EXPECT_EQ(c1.value, "1");
  EXPECT_EQ(c1.unit, "l");
  EXPECT_EQ(c1.quantity, "Volume");
  EXPECT_EQ(c1.data_type, "8-digit BCD");
  EXPECT_EQ(c1.storage, 0u);
  EXPECT_EQ(c1.offset, 15u);
  EXPECT_EQ(c1.length, 4u);
  EXPECT_EQ(c1.data, Hex("01 00 00 00"));
  EXPECT_EQ(c2.value, "135");
  EXPECT_EQ(c2.unit, "l");
  EXPECT_EQ(c2.storage, 1u);  // historic
  EXPECT_EQ(c2.quantity, "Volume, historic value in the unit of counter 1");
  EXPECT_EQ(c2.offset, 19u);
  EXPECT_EQ(c2.numeric, 135.0);

  // Status 01h: signed binary counters; 10 kWh and m^3 x 100 (heat: medium bits 00 and 01);
  // power low, stored at fixed date.
  d = DecodeFull(test::LongFrame("08 05 73 78 56 34 12 0B 07 06 6E FE FF FF FF 35 01 00 00"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.header.medium, "Heat");
  EXPECT_EQ(d.header.status_bits,
            (std::vector<std::string>{"counters signed binary", "counters stored at fixed date",
                                      "power low"}));
  ASSERT_EQ(d.records.size(), 2u);
  EXPECT_EQ(d.records[0].data_type, "32-bit integer");
  EXPECT_EQ(d.records[0].value, "-20");  // -2 x 10 kWh
  EXPECT_EQ(d.records[0].unit, "kWh");
  EXPECT_EQ(d.records[0].quantity, "Energy");
  EXPECT_EQ(d.records[0].storage, 1u);
  EXPECT_EQ(d.records[1].value, "30900");  // 309 x 100 m^3
  EXPECT_EQ(d.records[1].unit, "m^3");

  // A BCD counter with a hex digit is marked, a short structure refused, extra bytes named.
  d = DecodeFull(test::LongFrame("08 05 73 78 56 34 12 0B 00 E9 29 1A 00 00 00 35 01 00 00"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.records[0].error, "BCD digits out of range");
  EXPECT_EQ(d.records[1].value, "135");
  d = DecodeFull(test::LongFrame("08 05 73 78 56 34 12 0B 00 E9 29 01 00 00 00 35 01 00"));
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.errors, std::vector<std::string>{"Telegram too short for the fixed data structure"});
  d = DecodeFull(test::LongFrame("08 05 73 78 56 34 12 0B 00 E9 29 01 00 00 00 35 01 00 00 2F"));
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.errors,
            std::vector<std::string>{"Bytes after the counters of the fixed data structure: 1"});
  EXPECT_EQ(FixedMediumName(0x0D), "Water (mode 2)");
}

}  // namespace
}  // namespace orvio
