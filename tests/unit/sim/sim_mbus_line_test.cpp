// The simulated M-Bus line: telegram encoding, selection by secondary address, collisions,
// address, medium and counter writes, replay of real telegrams.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "sim/gateway_sim.h"
#include "sim/mbus_line.h"
#include "sim/scenario.h"
#include "sim_test_util.h"

namespace orvio::sim {
namespace {

using test::Bytes;
using test::Hex;
using test::LongFrame;
using test::ShortFrame;
using test::ValidLongFrame;

const std::string kAck = Bytes({0xE5});

class LineTest : public ::testing::Test {
 protected:
  MbusLine& line() { return model_.line; }
  Meter* ById(const std::string& id) {
    for (Meter& m : line().meters())
      if (m.id == id) return &m;
    return nullptr;
  }
  std::vector<std::string> SelectedIds() {
    std::vector<std::string> ids;
    for (const Meter& m : line().meters())
      if (m.selected) ids.push_back(m.id);
    return ids;
  }
  // SND_UD selection to 253: ID bytes (BCD, least significant first), manufacturer, version,
  // medium.
  std::string Select(const std::string& id_bytes, int man_lo = 0xFF, int man_hi = 0xFF,
                     int version = 0xFF, int medium = 0xFF) {
    return line().Transact(
        LongFrame(0x53, 0xFD, 0x52, id_bytes + Bytes({man_lo, man_hi, version, medium})));
  }
  GatewayModel model_ = DemoModel();
};

// ---- encoding ----

TEST_F(LineTest, HeatMeterAnswersReqUd2WithItsLongFrame) {
  const std::string t = line().Transact(ShortFrame(0x7B, 1));
  ASSERT_TRUE(ValidLongFrame(t)) << Hex(t);
  // C=08 (RSP_UD), A=1, CI=72, ID 12345678 as BCD LSB first, KAM, version 1A, medium 04 (heat),
  // access number 0, status 0, signature 0000, then the first record 04 06 (energy kWh) 12345.
  EXPECT_EQ(Hex(t.substr(4, 21)), "08 01 72 78 56 34 12 2D 2C 1A 04 00 00 00 00 04 06 39 30 00 00");
}

struct ManufacturerRow {
  const char* name;
  const char* letters;
  const char* bytes;  // as they travel, low byte first (checked against real telegrams)
};

class ManufacturerCodes : public ::testing::TestWithParam<ManufacturerRow> {};

TEST_P(ManufacturerCodes, PackAsInRealTelegrams) {
  const uint16_t code = PackManufacturer(GetParam().letters);
  EXPECT_EQ(Hex(Bytes({code & 0xFF, code >> 8})), GetParam().bytes);
  EXPECT_EQ(UnpackManufacturer(code), GetParam().letters);
}

INSTANTIATE_TEST_SUITE_P(Rows, ManufacturerCodes,
                         ::testing::Values(ManufacturerRow{"kamstrup", "KAM", "2D 2C"},
                                           ManufacturerRow{"abb", "ABB", "42 04"},
                                           ManufacturerRow{"elster", "ELS", "93 15"},
                                           ManufacturerRow{"sensus", "SEN", "AE 4C"},
                                           ManufacturerRow{"zpa", "ZPA", "01 6A"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FieldRow {
  const char* name;
  uint8_t dif;
  int64_t value;
  const char* data;
};

class DataFields : public ::testing::TestWithParam<FieldRow> {};

TEST_P(DataFields, EncodeAndReadBack) {
  const DataRecord r = DataRecord::Number(GetParam().dif, 0x13, GetParam().value);
  EXPECT_EQ(Hex(r.data), GetParam().data);
  if (GetParam().dif != 0x05) {
    EXPECT_EQ(r.IntegerValue(), GetParam().value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DataFields,
    ::testing::Values(FieldRow{"int32", 0x04, 12345, "39 30 00 00"},
                      FieldRow{"int16_negative", 0x02, -2, "FE FF"},
                      FieldRow{"int8", 0x01, 55, "37"},
                      FieldRow{"int24", 0x03, 0x123456, "56 34 12"},
                      FieldRow{"int48", 0x06, 0x010203040506, "06 05 04 03 02 01"},
                      FieldRow{"bcd8", 0x0C, 12345678, "78 56 34 12"},
                      FieldRow{"bcd6", 0x0B, 123456, "56 34 12"}, FieldRow{"bcd2", 0x09, 42, "42"},
                      FieldRow{"bcd12", 0x0E, 123456789012, "12 90 78 56 34 12"},
                      FieldRow{"bcd4_negative", 0x0A, -123, "23 F1"},
                      FieldRow{"real32_one", 0x05, 1, "00 00 80 3F"}),
    [](const auto& info) { return std::string(info.param.name); });

// A real's integer part; reals beyond int64 saturate (the cast alone is undefined), NaN is 0.
TEST(DataFields, RealsOutsideInt64SaturateAndNaNIsZero) {
  const auto real = [](const char* data) {
    DataRecord r;
    r.header = Bytes({0x05, 0x13});
    EXPECT_TRUE(ParseHex(data, &r.data));
    return r.IntegerValue();
  };
  EXPECT_EQ(real("00 00 28 C2"), -42);                                  // -42.0
  EXPECT_EQ(real("CA F2 49 71"), std::numeric_limits<int64_t>::max());  // 1e30
  EXPECT_EQ(real("CA F2 49 F1"), std::numeric_limits<int64_t>::min());  // -1e30
  EXPECT_EQ(real("00 00 00 5F"), std::numeric_limits<int64_t>::max());  // 2^63
  EXPECT_EQ(real("00 00 80 7F"), std::numeric_limits<int64_t>::max());  // +inf
  EXPECT_EQ(real("00 00 C0 7F"), 0);                                    // NaN
}

TEST(SplitRecords, WalksFillersManufacturerDataAndRefusesTruncation) {
  std::vector<DataRecord> r;
  ASSERT_TRUE(
      SplitRecords(Bytes({0x04, 0x13, 1, 2, 3, 4, 0x2F, 0x82, 0x40, 0x13, 5, 6, 0x0F, 9, 9}), &r));
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(Hex(r[1].header), "82 40 13");  // DIF with one DIFE
  EXPECT_EQ(r[1].Vif(), 0x13);
  EXPECT_EQ(Hex(r[2].data), "09 09");
  EXPECT_FALSE(SplitRecords(Bytes({0x04, 0x13, 1, 2}), &r)) << "data field cut short";
  EXPECT_FALSE(SplitRecords(Bytes({0x84}), &r)) << "DIFE missing";
  EXPECT_FALSE(SplitRecords(Bytes({0x0D, 0x13, 0x05, 'a'}), &r)) << "variable field cut short";
}

TEST_F(LineTest, ReqUd2AdvancesTheAccessNumberAndAnswers5BAnd7B) {
  const std::string first = line().Transact(ShortFrame(0x5B, 2));
  const std::string second = line().Transact(ShortFrame(0x7B, 2));
  ASSERT_TRUE(ValidLongFrame(first));
  ASSERT_TRUE(ValidLongFrame(second));
  EXPECT_EQ(static_cast<uint8_t>(second[15]), static_cast<uint8_t>(first[15]) + 1);
}

TEST_F(LineTest, SilenceForUnknownAddressesBadChecksumsAndBroadcasts) {
  EXPECT_EQ(line().Transact(ShortFrame(0x7B, 99)), "");
  EXPECT_EQ(line().Transact(Bytes({0x10, 0x7B, 0x01, 0x7D, 0x16})), "") << "checksum off by one";
  EXPECT_EQ(line().Transact(ShortFrame(0x7B, 255)), "");
  EXPECT_EQ(line().Transact(Bytes({0x68, 0x03})), "");
  EXPECT_EQ(line().Transact(ShortFrame(0x40, 1)), kAck);  // SND_NKE
}

// ---- selection ----

struct SelectionRow {
  const char* name;
  const char* data;  // ID (BCD, least significant byte first, F = any digit), manufacturer,
                     // version, medium
  std::vector<std::string> selected;
};

class Selection : public LineTest, public ::testing::WithParamInterface<SelectionRow> {};

TEST_P(Selection, SelectsExactlyTheMatchingMeters) {
  const SelectionRow& row = GetParam();
  std::string data;
  ASSERT_TRUE(ParseHex(row.data, &data));
  const std::string answer = line().Transact(LongFrame(0x53, 0xFD, 0x52, data));
  EXPECT_EQ(SelectedIds(), row.selected);
  EXPECT_EQ(answer, row.selected.empty() ? "" : kAck);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, Selection,
    ::testing::Values(
        SelectionRow{"exact_id",                       "78 56 34 12 FF FF FF FF", {"12345678"}},
        SelectionRow{"last_digit_7",                   "F7 FF FF FF FF FF FF FF", {"21436587", "71436587"}},
        SelectionRow{"all_but_most_significant_digit", "87 65 43 F1 FF FF FF FF", {"21436587", "71436587"}},
        SelectionRow{"most_significant_digit_decides", "87 65 43 71 FF FF FF FF", {"71436587"}},
        SelectionRow{"manufacturer_abb",               "FF FF FF FF 42 04 FF FF", {"34567890"}},
        SelectionRow{"medium_gas",                     "FF FF FF FF FF FF FF 03", {"45678901"}},
        SelectionRow{"version_and_medium",             "FF FF FF FF FF FF 1A 04", {"12345678"}},
        SelectionRow{"wrong_version",                  "78 56 34 12 FF FF 01 FF", {}},
        SelectionRow{"no_such_id",                     "00 00 00 99 FF FF FF FF", {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(LineTest, TheSelectedMeterAnswersAt253AndDeselectionEndsIt) {
  Select(Bytes({0x90, 0x78, 0x56, 0x34}));
  const std::string t = line().Transact(ShortFrame(0x7B, 0xFD));
  ASSERT_TRUE(ValidLongFrame(t));
  EXPECT_EQ(Hex(t.substr(7, 4)), "90 78 56 34");
  EXPECT_EQ(line().Transact(ShortFrame(0x40, 0xFD)), kAck);  // deselection
  EXPECT_EQ(line().Transact(ShortFrame(0x7B, 0xFD)), "");
}

TEST_F(LineTest, ANewSelectionDeselectsTheMetersItDoesNotMatch) {
  Select(Bytes({0x78, 0x56, 0x34, 0x12}));
  Select(Bytes({0x90, 0x78, 0x56, 0x34}));
  EXPECT_EQ(SelectedIds(), std::vector<std::string>{"34567890"});
}

TEST_F(LineTest, TwoSelectedMetersGarbleTheirAnswer) {
  Select(Bytes({0x87, 0x65, 0x43, 0xF1}));
  const std::string t = line().Transact(ShortFrame(0x7B, 0xFD));
  EXPECT_FALSE(t.empty()) << "something answered";
  EXPECT_FALSE(ValidLongFrame(t)) << Hex(t);
  EXPECT_EQ(MbusFrameLength(t), 0u);
}

TEST_F(LineTest, EveryMeterAnswersTheTestAddressAndCollides) {
  const std::string t = line().Transact(ShortFrame(0x7B, 0xFE));
  EXPECT_FALSE(t.empty());
  EXPECT_FALSE(ValidLongFrame(t));
}

TEST_F(LineTest, BroadcastSndNkeDeselectsSilently) {
  Select(Bytes({0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(line().Transact(ShortFrame(0x40, 0xFF)), "");
  EXPECT_TRUE(SelectedIds().empty());
}

// ---- writes ----

TEST_F(LineTest, NewPrimaryAddressForTheSelectedMeter) {
  Select(Bytes({0x90, 0x78, 0x56, 0x34}));
  EXPECT_EQ(line().Transact(LongFrame(0x73, 0xFD, 0x51, Bytes({0x01, 0x7A, 0x20}))), kAck);
  EXPECT_EQ(line().Transact(ShortFrame(0x7B, 3)), "");
  const std::string t = line().Transact(ShortFrame(0x7B, 0x20));
  ASSERT_TRUE(ValidLongFrame(t));
  EXPECT_EQ(static_cast<uint8_t>(t[5]), 0x20);
  EXPECT_EQ(Hex(t.substr(7, 4)), "90 78 56 34");
}

TEST_F(LineTest, NewMediumThroughEnhancedIdentification) {
  // Medium change telegram for the water meter 23456789 at address 2 to "Cold water" (16).
  EXPECT_EQ(
      line().Transact(LongFrame(
          0x53, 2, 0x51, Bytes({0x07, 0x79, 0x89, 0x67, 0x45, 0x23, 0xFF, 0xFF, 0xFF, 0x16}))),
      kAck);
  const std::string t = line().Transact(ShortFrame(0x7B, 2));
  ASSERT_TRUE(ValidLongFrame(t));
  EXPECT_EQ(static_cast<uint8_t>(t[14]), 0x16);
  EXPECT_EQ(Hex(t.substr(7, 6)), "89 67 45 23 AE 4C") << "ID and manufacturer kept";
}

struct CounterRow {
  const char* name;
  int address;
  std::string record;  // DIF VIF value as sent
  const char* id;
  int64_t stored;  // integer of the meter's volume record afterwards
};

class CounterValue : public LineTest, public ::testing::WithParamInterface<CounterRow> {};

TEST_P(CounterValue, SetsTheVolumeRecord) {
  const CounterRow& row = GetParam();
  EXPECT_EQ(line().Transact(LongFrame(0x53, row.address, 0x51, row.record)), kAck);
  const Meter* m = ById(row.id);
  ASSERT_NE(m, nullptr);
  int64_t stored = -1;
  for (const DataRecord& r : m->records)
    if ((r.Vif() & 0x78) == 0x10 && (r.Dif() & 0xF0) == 0) {
      stored = r.IntegerValue();
      break;
    }
  EXPECT_EQ(stored, row.stored);
  // The next REQ_UD2 carries it.
  const std::string t = line().Transact(ShortFrame(0x7B, row.address));
  EXPECT_TRUE(ValidLongFrame(t));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CounterValue,
    ::testing::Values(CounterRow{"bcd_litres", 2, Bytes({0x0C, 0x13, 0x34, 0x12, 0x00, 0x00}),
                                 "23456789", 1234},
                      CounterRow{"binary_litres", 2, Bytes({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00}),
                                 "23456789", 1234},
                      CounterRow{"binary_max", 7, Bytes({0x04, 0x13, 0xFF, 0xE0, 0xF5, 0x05}),
                                 "78901234", 99999999},
                      CounterRow{"gas_meter_in_centi_m3", 4,
                                 Bytes({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00}), "45678901", 123}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LineTest, CounterValueForAMeterWithoutVolumeAddsTheRecord) {
  line().Transact(LongFrame(0x53, 3, 0x51, Bytes({0x04, 0x13, 0x10, 0x00, 0x00, 0x00})));
  const Meter* m = ById("34567890");
  ASSERT_NE(m, nullptr);
  ASSERT_FALSE(m->records.empty());
  EXPECT_EQ(Hex(m->records.back().header + m->records.back().data), "04 13 10 00 00 00");
}

// ---- real telegrams ----

std::string ReadHexFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string bytes;
  EXPECT_TRUE(ParseHex(text.str(), &bytes)) << path;
  return bytes;
}

TEST(RawTelegrams, EveryRealMeterTelegramIsReplayedVerbatim) {
  const std::filesystem::path dir =
      std::filesystem::path(ORVIO_TESTDATA) / "mbus-telegrams" / "meters";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".hex") continue;
    const std::string telegram = ReadHexFile(entry.path());
    Meter m;
    m.raw_telegram = telegram;
    const std::string error = AdoptRawTelegram(&m);
    if (static_cast<uint8_t>(telegram[6]) != 0x72) {
      EXPECT_FALSE(error.empty()) << entry.path() << " has no long header";
      continue;
    }
    ASSERT_EQ(error, "") << entry.path();
    MbusLine line;
    line.meters().push_back(m);
    // The test address reaches every meter, also one whose own address is above 250.
    EXPECT_EQ(Hex(line.Transact(ShortFrame(0x7B, 0xFE))), Hex(telegram)) << entry.path();
    ++replayed;
  }
  EXPECT_GE(replayed, 30);
}

TEST(RawTelegrams, IdentityComesFromTheTelegramAndAChangedAddressIsPatchedIn) {
  // ABB Delta telegram: ID 78563412 (sent 12 34 56 78), ABB, version 02, medium 02.
  const std::string telegram = ReadHexFile(std::filesystem::path(ORVIO_TESTDATA) /
                                           "mbus-telegrams" / "meters" / "abb_delta.hex");
  GatewaySim sim;
  sim.RemoveAllMeters();
  Meter m;
  m.raw_telegram = telegram;
  m.primary_address = 9;
  ASSERT_EQ(sim.AddMeter(m), "");
  const Meter added = sim.Meters().at(0);
  EXPECT_EQ(added.id, "78563412");
  EXPECT_EQ(added.manufacturer, "ABB");
  EXPECT_EQ(added.medium, 0x02);
  const std::string t = sim.LineTransact(ShortFrame(0x7B, 9));
  ASSERT_TRUE(ValidLongFrame(t));
  EXPECT_EQ(static_cast<uint8_t>(t[5]), 9);
  EXPECT_EQ(t.substr(6), telegram.substr(6, telegram.size() - 8) + t.substr(t.size() - 2))
      << "only the address and the checksum differ";
  // Selection by its secondary address works on a replayed meter too.
  EXPECT_EQ(sim.LineTransact(LongFrame(0x53, 0xFD, 0x52,
                                       Bytes({0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFF}))),
            kAck);
}

}  // namespace
}  // namespace orvio::sim
