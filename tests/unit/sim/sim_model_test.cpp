// The gateway's register model: the demo's status registers, device-map records, activation
// and deletion, configuration registers, clock, tunnel, exceptions, identification, scenarios.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim/gateway_model.h"
#include "sim/gateway_sim.h"
#include "sim/scenario.h"
#include "sim_test_util.h"

namespace orvio::sim {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::Hex;
using test::ShortFrame;
using test::TelegramRegisters;
using test::ValidLongFrame;

// A clock the test moves by hand.
struct ManualClock {
  std::shared_ptr<std::chrono::system_clock::time_point> now =
      std::make_shared<std::chrono::system_clock::time_point>(std::chrono::system_clock::now());
  GatewayModel::Now Source() const {
    auto p = now;
    return [p] { return *p; };
  }
  void Advance(std::chrono::milliseconds d) const { *now += d; }
};

class ModelTest : public ::testing::Test {
 protected:
  ModelTest() { model_.now_ = clock_.Source(); }
  std::vector<uint16_t> Input(uint16_t a, uint16_t n) {
    std::vector<uint16_t> v;
    for (uint16_t i = 0; i < n; ++i)
      v.push_back(static_cast<uint16_t>(model_.InputRegister(a + i)));
    return v;
  }
  std::vector<uint16_t> Holding(uint16_t a, uint16_t n) {
    std::vector<uint16_t> v;
    for (uint16_t i = 0; i < n; ++i)
      v.push_back(static_cast<uint16_t>(model_.HoldingRegister(a + i)));
    return v;
  }
  int Write(uint16_t a, std::vector<uint16_t> values) { return model_.WriteHolding(a, values); }
  // Register k (1-based) of device-map record n (1-based).
  uint16_t Record(int n, int k) {
    return static_cast<uint16_t>(
        model_.InputRegister(static_cast<uint16_t>(1 + (n - 1) * model_.RecordSize() + k - 1)));
  }
  ManualClock clock_;
  GatewayModel model_ = DemoModel();
};

// ---- the demo's status readout ----

struct RegisterRow {
  const char* name;
  bool input;
  uint16_t address;
  std::vector<uint16_t> values;
};

class DemoRegisters : public ModelTest, public ::testing::WithParamInterface<RegisterRow> {};

TEST_P(DemoRegisters, HoldTheDemoValues) {
  const RegisterRow& row = GetParam();
  const auto n = static_cast<uint16_t>(row.values.size());
  EXPECT_EQ(row.input ? Input(row.address, n) : Holding(row.address, n), row.values);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DemoRegisters,
    ::testing::Values(RegisterRow{"active_devices_5_of_10", true, 32768, {0x0A05}},
                      RegisterRow{"flags_snd_nke_and_7b", true, 32769, {0x0003}},
                      RegisterRow{"working_days", true, 32770, {42}},
                      RegisterRow{"card_version_1_3", true, 60000, {0x0103}},
                      RegisterRow{"bitmap_five_slots",
                                  true,
                                  59500,
                                  {0x1F00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                      RegisterRow{"real_addresses", true, 59400, {0x0102, 0x0304, 0x0500, 0x0000}},
                      RegisterRow{"tunnel_idle", true, 33799, {0x0000}},
                      RegisterRow{"ip", false, 55400, {0xC0A8, 0x0164}},
                      RegisterRow{"gateway", false, 55402, {0xC0A8, 0x0101}},
                      RegisterRow{"mask", false, 55404, {0xFFFF, 0xFF00}},
                      RegisterRow{"control_ip_1", false, 55406, {0xC0A8, 0x010A}},
                      RegisterRow{"operator_ip_2", false, 55412, {0xC0A8, 0x0115}},
                      RegisterRow{"net_number", false, 55420, {0x0000, 0x0001}},
                      RegisterRow{"serial_number", false, 55330, {0x2401, 0x0017}},
                      RegisterRow{"listen_port", false, 56002, {502}},
                      RegisterRow{"modbus_address", false, 32785, {1}},
                      RegisterRow{"baud_parity", false, 32786, {0x40, 0x20}},
                      RegisterRow{"timing", false, 3, {900, 5, 10}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- device-map records ----

TEST_F(ModelTest, HeatMeterRecordInTheDeviceMapLayout) {
  ASSERT_EQ(model_.RecordSize(), 28);
  EXPECT_EQ(Record(1, 1), 0x0104);   // primary address 1, medium heat
  EXPECT_EQ(Record(1, 2), 0x1234);   // ID digits 1-4
  EXPECT_EQ(Record(1, 3), 0x5678);   // ID digits 5-8
  EXPECT_EQ(Record(1, 4), 0x2D2C);   // KAM in telegram byte order
  EXPECT_EQ(Record(1, 5), 0x0600);   // main VIF 06: kWh
  EXPECT_EQ(Record(1, 6), 0x0406);   // main code: DIF 04, VIF 06
  EXPECT_EQ(Record(1, 7), 0x0001);   // transformed unit: kWh
  EXPECT_EQ(Record(1, 8), 0x0102);   // inputs
  EXPECT_EQ(Record(1, 9), 0x0001);   // device flags: answers, real values
  EXPECT_EQ(Record(1, 10), 0x0000);  // M-Bus status
  EXPECT_EQ(Record(1, 11), 0x0000);  // main value 12345, high word first
  EXPECT_EQ(Record(1, 12), 0x3039);
  EXPECT_EQ(Record(1, 25), 0x0000);  // flow 1200 l/h
  EXPECT_EQ(Record(1, 26), 0x04B0);
  EXPECT_EQ(Record(2, 1), 0x0207) << "record 2 starts at register 29";
  EXPECT_EQ(model_.InputRegister(29), 0x0207);
  EXPECT_EQ(Record(5, 1), 0x0508);
  EXPECT_EQ(Record(5, 12), 345) << "heat cost allocator units";
  EXPECT_EQ(Record(6, 1), 0x0000) << "no sixth record";
}

TEST_F(ModelTest, CardVersionUpTo0Point2Gives24RegisterRecords) {
  model_.card_major = 0;
  model_.card_minor = 2;
  EXPECT_EQ(model_.RecordSize(), 24);
  EXPECT_EQ(model_.InputRegister(25), 0x0207);
  model_.card_minor = 3;
  EXPECT_EQ(model_.RecordSize(), 28);
}

TEST_F(ModelTest, TransformedValuesSetFlagBit5AndGeneralUnits) {
  ASSERT_EQ(Write(6, {0x86}), 0);
  EXPECT_EQ(Record(1, 9), 0x0021);
  EXPECT_EQ(Record(1, 12), 12345) << "kWh stays kWh";
  EXPECT_EQ(Record(2, 7), 2) << "water in m3";
  EXPECT_EQ(Record(2, 12), 123) << "123456 l -> 123 m3";
  EXPECT_EQ(Record(3, 12), 8765) << "87654 x 0.1 kWh";
  ASSERT_EQ(Write(6, {0x06}), 0);
  EXPECT_EQ(Record(2, 12), 0xE240) << "real value 123456 again (low word)";
}

// ---- activation and deletion ----

TEST_F(ModelTest, ActivationAddsARecordABitAndASlot) {
  ASSERT_EQ(Write(0, {6}), 0);
  EXPECT_EQ(model_.InputRegister(32768), 0x0A06);
  EXPECT_EQ(model_.InputRegister(59500), 0x3F00);
  EXPECT_EQ(model_.InputRegister(59402), 0x0506);
  EXPECT_EQ(Record(6, 1), 0x0602);
  EXPECT_EQ(Record(6, 4), 0x016A) << "ZPA";
  EXPECT_EQ(Write(0, {6}), 0) << "activating twice is harmless";
  EXPECT_EQ(model_.InputRegister(32768), 0x0A06);
}

TEST_F(ModelTest, ActivationRefusals) {
  EXPECT_EQ(Write(0, {99}), 4) << "no meter answers at 99";
  EXPECT_EQ(Write(0, {251}), 3);
  EXPECT_EQ(model_.InputRegister(32768), 0x0A05);
}

TEST_F(ModelTest, DeletionRemovesRecordAndBitAndCloseTheGap) {
  ASSERT_EQ(Write(1, {3}), 0);
  EXPECT_EQ(model_.InputRegister(32768), 0x0A04);
  EXPECT_EQ(model_.InputRegister(59500), 0x0F00);
  EXPECT_EQ(Record(3, 1), 0x0403) << "the gas meter moved up";
  EXPECT_EQ(model_.InputRegister(59401), 0x0405);
  ASSERT_EQ(Write(1, {255}), 0);
  EXPECT_EQ(model_.InputRegister(32768), 0x0A00);
  EXPECT_EQ(Input(59500, 16), std::vector<uint16_t>(16, 0));
}

TEST_F(ModelTest, ExcludeInputsClearsTheRecordsInputs) {
  ASSERT_EQ(Write(2, {1}), 0);
  EXPECT_EQ(Record(1, 8), 0x0000);
}

TEST_F(ModelTest, SearchAndActivateTakesEveryMeterOnTheLine) {
  ASSERT_EQ(Write(1, {255}), 0);
  ASSERT_EQ(Write(25704, {250}), 0);
  EXPECT_EQ(model_.InputRegister(32768), 0x0A0A);
  EXPECT_EQ(model_.InputRegister(59500), 0xFF03);
  EXPECT_EQ(Write(25704, {1}), 3);
}

TEST_F(ModelTest, SearchAndActivateSkipsAddressesSharedByTwoMeters) {
  model_.line.meters()[1].primary_address = 1;  // two meters at 1
  ASSERT_EQ(Write(1, {255}), 0);
  ASSERT_EQ(Write(25704, {250}), 0);
  EXPECT_EQ(model_.InputRegister(32768) & 0xFF, 8);
  EXPECT_EQ(model_.InputRegister(59400) >> 8, 3) << "slot 1 is the meter at 3";
}

// ---- configuration registers ----

struct WriteRow {
  const char* name;
  uint16_t address;
  std::vector<uint16_t> values;
  int exception;
  bool input;  // where to read the effect
  uint16_t read_address;
  int read_value;
};

class ConfigurationWrites : public ModelTest, public ::testing::WithParamInterface<WriteRow> {};

TEST_P(ConfigurationWrites, TakeEffectOrAreRefused) {
  const WriteRow& row = GetParam();
  EXPECT_EQ(Write(row.address, row.values), row.exception);
  EXPECT_EQ(
      row.input ? model_.InputRegister(row.read_address) : model_.HoldingRegister(row.read_address),
      row.read_value);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ConfigurationWrites,
    ::testing::Values(
        WriteRow{"snd_nke_off", 6, {0x01}, 0, true, 32769, 0x02},
        WriteRow{"use_5b", 6, {0x02}, 0, true, 32769, 0x01},
        WriteRow{"sort_on_is_remembered", 6, {0x8A}, 0, false, 6, 0x8A},
        WriteRow{"unknown_flag_code", 6, {0x83}, 3, true, 32769, 0x03},
        WriteRow{"reset", 7, {0x11}, 0, false, 7, 0x11},
        WriteRow{"unknown_network_code", 7, {0x05}, 3, false, 7, 0},
        WriteRow{"readout_period_720_minutes", 3, {43200}, 0, false, 3, 43200},
        WriteRow{"readout_period_zero", 3, {0}, 3, false, 3, 900},
        WriteRow{"between_readings_99", 4, {99}, 0, false, 4, 99},
        WriteRow{"between_readings_100", 4, {100}, 3, false, 4, 5},
        WriteRow{"respond_0", 5, {0}, 0, false, 5, 0},
        WriteRow{"modbus_port_115200_none", 32786, {0x82}, 0, false, 32786, 0x82},
        WriteRow{"modbus_speed_index_9", 32786, {0x92}, 3, false, 32786, 0x40},
        WriteRow{"parity_3", 32786, {0x43}, 3, false, 32786, 0x40},
        WriteRow{"mbus_port_2400_even", 32787, {0x20}, 0, false, 32787, 0x20},
        WriteRow{"mbus_port_above_9600", 32787, {0x52}, 3, false, 32787, 0x20},
        WriteRow{"modbus_address_254", 32785, {254}, 0, false, 32785, 254},
        WriteRow{"modbus_address_255", 32785, {255}, 3, false, 32785, 1},
        WriteRow{"serial_number", 55330, {0x1234, 0x5678}, 0, false, 55331, 0x5678},
        WriteRow{"serial_number_not_bcd", 55330, {0x12A4, 0x5678}, 3, false, 55330, 0x2401},
        WriteRow{"listen_port_70000_low_bits", 56002, {0x1170}, 0, false, 56002, 0x1170},
        WriteRow{"gateway_address", 55402, {0xC0A8, 0x0101}, 0, false, 55403, 0x0101},
        WriteRow{"net_number", 55420, {0x0000, 0x0007}, 0, false, 55421, 7},
        WriteRow{"not_a_holding_register", 32768, {1}, 2, true, 32768, 0x0A05},
        WriteRow{"block_running_past_the_map", 56001, {1, 2}, 2, false, 56002, 502},
        WriteRow{"tunnel_not_from_its_start", 33801, {0x107B}, 2, true, 33799, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- clock ----

TEST_F(ModelTest, ClockIsKeptAndAdvances) {
  // Sunday 2026-12-06 21:30:05: 05 1E 15 07 06 0C 1A 00
  ASSERT_EQ(Write(16, {0x051E, 0x1507, 0x060C, 0x1A00}), 0);
  EXPECT_EQ(Holding(16, 4), (std::vector<uint16_t>{0x051E, 0x1507, 0x060C, 0x1A00}));
  clock_.Advance(std::chrono::hours(2) + std::chrono::minutes(30));  // 00:00:05 Monday
  EXPECT_EQ(Holding(16, 4), (std::vector<uint16_t>{0x0500, 0x0001, 0x070C, 0x1A00}));
}

struct ClockRow {
  const char* name;
  std::vector<uint16_t> values;
};

class BadClock : public ModelTest, public ::testing::WithParamInterface<ClockRow> {};

TEST_P(BadClock, IsRefusedWithIllegalValue) { EXPECT_EQ(Write(16, GetParam().values), 3); }

INSTANTIATE_TEST_SUITE_P(Rows, BadClock,
                         ::testing::Values(ClockRow{"second_60", {0x3C00, 0x0001, 0x0101, 0x1A00}},
                                           ClockRow{"hour_24", {0x0000, 0x1801, 0x0101, 0x1A00}},
                                           ClockRow{"month_13", {0x0000, 0x0001, 0x010D, 0x1A00}},
                                           ClockRow{"february_30",
                                                    {0x0000, 0x0001, 0x1E02, 0x1A00}},
                                           ClockRow{"day_0", {0x0000, 0x0001, 0x0001, 0x1A00}}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- tunnel ----

TEST_F(ModelTest, TunnelRoundTrip) {
  const std::string request = ShortFrame(0x7B, 1);
  ASSERT_EQ(Write(33800, TelegramRegisters(request)), 0);
  EXPECT_LE(model_.InputRegister(33799) >> 8, 3) << "busy while the line works";
  EXPECT_EQ(model_.InputRegister(33800), 0) << "no answer bytes while busy";
  clock_.Advance(199ms);
  EXPECT_LE(model_.InputRegister(33799) >> 8, 3);
  clock_.Advance(1ms);
  const int status = model_.InputRegister(33799);
  EXPECT_GT(status >> 8, 3);
  const size_t length = static_cast<size_t>(status & 0xFF);
  ASSERT_EQ(model_.tunnel_log.size(), 1u);
  const std::string expected = model_.tunnel_log[0].answer;
  ASSERT_TRUE(ValidLongFrame(expected));
  EXPECT_EQ(length, expected.size());
  const std::string read =
      test::RegisterBytes(Input(33800, static_cast<uint16_t>((length + 1) / 2)));
  EXPECT_EQ(Hex(read.substr(0, length)), Hex(expected));
  EXPECT_EQ(Hex(model_.tunnel_log[0].request), Hex(request)) << "padding byte removed";
}

TEST_F(ModelTest, TunnelWithoutAnswerAndWithCollision) {
  model_.line_time = 0ms;
  ASSERT_EQ(Write(33800, TelegramRegisters(ShortFrame(0x7B, 77))), 0);
  EXPECT_EQ(model_.InputRegister(33799), 0x0500) << "done, nothing answered";
  ASSERT_EQ(Write(33800, TelegramRegisters(ShortFrame(0x7B, 0xFE))), 0);
  const int status = model_.InputRegister(33799);
  EXPECT_GT(status >> 8, 3);
  EXPECT_GT(status & 0xFF, 0);
  EXPECT_FALSE(ValidLongFrame(model_.tunnel_answer));
}

TEST_F(ModelTest, TunnelAcknowledgementIsOneByte) {
  model_.line_time = 0ms;
  ASSERT_EQ(Write(33800, TelegramRegisters(ShortFrame(0x40, 1))), 0);
  EXPECT_EQ(model_.InputRegister(33799), 0x0401);
  EXPECT_EQ(model_.InputRegister(33800), 0xE500);
}

// ---- exceptions and identification ----

struct PduRow {
  const char* name;
  std::string request;
  std::string answer;
};

class Pdus : public ModelTest, public ::testing::WithParamInterface<PduRow> {};

TEST_P(Pdus, AnswerAsExpected) {
  EXPECT_EQ(Hex(model_.Handle(GetParam().request).pdu), Hex(GetParam().answer));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Pdus,
    ::testing::Values(
        PduRow{"read_version", Bytes({0x04, 0xEA, 0x60, 0x00, 0x01}),
               Bytes({0x04, 0x02, 0x01, 0x03})},
        PduRow{"read_coils_illegal_function", Bytes({0x01, 0x00, 0x00, 0x00, 0x01}),
               Bytes({0x81, 0x01})},
        PduRow{"unknown_function", Bytes({0x41}), Bytes({0xC1, 0x01})},
        PduRow{"canopen_mei", Bytes({0x2B, 0x0D, 0x00, 0x00}), Bytes({0xAB, 0x01})},
        PduRow{"count_zero", Bytes({0x04, 0x80, 0x00, 0x00, 0x00}), Bytes({0x84, 0x03})},
        PduRow{"count_126", Bytes({0x04, 0x00, 0x01, 0x00, 0x7E}), Bytes({0x84, 0x03})},
        PduRow{"input_register_missing", Bytes({0x04, 0x9C, 0x40, 0x00, 0x01}),
               Bytes({0x84, 0x02})},
        PduRow{"holding_is_not_input", Bytes({0x03, 0x80, 0x00, 0x00, 0x01}), Bytes({0x83, 0x02})},
        PduRow{"range_past_65535", Bytes({0x04, 0xFF, 0xFF, 0x00, 0x02}), Bytes({0x84, 0x02})},
        PduRow{"range_leaving_the_map", Bytes({0x04, 0xEA, 0x69, 0x00, 0x02}), Bytes({0x84, 0x02})},
        PduRow{"short_read", Bytes({0x04, 0xEA, 0x60, 0x00}), Bytes({0x84, 0x03})},
        PduRow{"write_single", Bytes({0x06, 0x00, 0x04, 0x00, 0x07}),
               Bytes({0x06, 0x00, 0x04, 0x00, 0x07})},
        PduRow{"write_multiple",
               Bytes({0x10, 0xD8, 0x68, 0x00, 0x02, 0x04, 0xC0, 0xA8, 0x01, 0x65}),
               Bytes({0x10, 0xD8, 0x68, 0x00, 0x02})},
        PduRow{"write_multiple_124_registers", Bytes({0x10, 0x84, 0x08, 0x00, 0x7C, 0xF8}),
               Bytes({0x90, 0x03})},
        PduRow{"write_multiple_byte_count_mismatch",
               Bytes({0x10, 0xD8, 0x68, 0x00, 0x02, 0x03, 1, 2, 3}), Bytes({0x90, 0x03})},
        PduRow{"device_id_individual", Bytes({0x2B, 0x0E, 0x04, 0x01}),
               Bytes({0x2B, 0x0E, 0x04, 0x82, 0x00, 0x00, 0x01, 0x01, 0x07}) + "ZELK-64"},
        PduRow{"device_id_basic", Bytes({0x2B, 0x0E, 0x01, 0x00}),
               Bytes({0x2B, 0x0E, 0x01, 0x82, 0x00, 0x00, 0x03, 0x00, 0x07}) + "VORTELA" +
                   Bytes({0x01, 0x07}) + "ZELK-64" + Bytes({0x02, 0x03}) + "1.3"},
        PduRow{"device_id_empty_object", Bytes({0x2B, 0x0E, 0x04, 0x03}), Bytes({0xAB, 0x02})},
        PduRow{"device_id_code_5", Bytes({0x2B, 0x0E, 0x05, 0x00}), Bytes({0xAB, 0x03})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelTest, RegularIdentificationListsEveryTextObject) {
  const std::string pdu = model_.Handle(Bytes({0x2B, 0x0E, 0x02, 0x00})).pdu;
  ASSERT_GE(pdu.size(), 7u);
  EXPECT_EQ(static_cast<uint8_t>(pdu[6]), 6) << "objects 0, 1, 2, 4, 5, 6";
  EXPECT_NE(pdu.find("ZELK-64 M-Bus gateway"), std::string::npos);
}

TEST_F(ModelTest, PinnedInputRegisterOverridesTheModel) {
  model_.pinned_input[60000] = 0x0002;
  EXPECT_EQ(model_.InputRegister(60000), 2);
  model_.pinned_input[40000] = 7;
  EXPECT_EQ(model_.InputRegister(40000), 7) << "a pinned register exists";
}

// ---- scenarios ----

TEST(Scenario, DemoFileIsTheBuiltInDefault) {
  std::ifstream in(std::string(ORVIO_SIM_SCENARIOS) + "/demo.json");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), DemoScenarioText());
}

TEST(Scenario, WhatItLeavesOutKeepsTheDefault) {
  GatewaySim sim;
  ASSERT_EQ(sim.LoadScenarioText(R"({"gateway": {"card_version": [0, 2], "unit": 7},
                                     "meters": [{"primary": 3, "id": "00000042", "medium": "gas",
                                                 "records": [{"dif": "04", "vif": "13", "value": 5}]}],
                                     "activated": [3]})"),
            "");
  EXPECT_EQ(sim.InputRegister(60000), 0x0002);
  EXPECT_EQ(sim.UnitAddress(), 7);
  EXPECT_EQ(sim.InputRegister(32768), 0x0101);
  EXPECT_EQ(sim.HoldingRegister(55400), 0xC0A8) << "network settings kept";
  EXPECT_EQ(sim.InputRegister(1), 0x0303);
  EXPECT_EQ(sim.InputRegister(3), 0x0042);
}

struct BadScenarioRow {
  const char* name;
  const char* json;
  const char* message;  // part of the error
};

class BadScenario : public ::testing::TestWithParam<BadScenarioRow> {};

TEST_P(BadScenario, IsRefusedAndLeavesTheModel) {
  GatewaySim sim;
  const std::string error = sim.LoadScenarioText(GetParam().json);
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
  EXPECT_EQ(sim.InputRegister(32768), 0x0A05);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadScenario,
    ::testing::Values(
        BadScenarioRow{"not_json", "{", "not valid JSON"},
        BadScenarioRow{"unknown_key", R"({"gatewy": {}})", "unknown key \"gatewy\""},
        BadScenarioRow{"id_with_letters", R"({"meters": [{"id": "1234567A"}]})",
                       "secondary address"},
        BadScenarioRow{"id_too_short", R"({"meters": [{"id": "1234"}]})", "8 digits"},
        BadScenarioRow{"primary_251", R"({"meters": [{"primary": 251}]})", "0..250"},
        BadScenarioRow{"unknown_medium", R"({"meters": [{"medium": "lava"}]})", "unknown medium"},
        BadScenarioRow{"record_data_too_short",
                       R"({"meters": [{"records": [{"dif": "04", "vif": "13", "data": "01"}]}]})",
                       "does not fit"},
        BadScenarioRow{"broken_raw_telegram",
                       R"({"meters": [{"telegram": "68 03 03 68 08 01 72 7B 16"}]})", "long frame"},
        BadScenarioRow{"bad_dotted_address", R"({"gateway": {"network": {"ip": "1.2.3"}}})",
                       "a.b.c.d"},
        BadScenarioRow{"refused_baud_code", R"({"gateway": {"mbus_baud_parity": "0x52"}})",
                       "refuses"},
        BadScenarioRow{"activated_twice", R"({"activated": [1, 1]})", "twice"}),
    [](const auto& info) { return std::string(info.param.name); });

// The example scenario the package ships loads and holds what its comments say: three meters on
// the line (two encoded from records, one replayed telegram), two of them activated.
TEST(Scenario, ShippedExampleLoads) {
  GatewaySim sim;
  ASSERT_EQ(sim.LoadScenarioFile(std::string(ORVIO_SIM_SCENARIOS) + "/example.json"), "");
  const std::vector<Meter> meters = sim.Meters();
  ASSERT_EQ(meters.size(), 3u);
  EXPECT_EQ(meters[0].id, "20260001");
  EXPECT_EQ(meters[1].id, "20260002");
  EXPECT_EQ(meters[2].id, "12345678") << "taken from the telegram";
  EXPECT_FALSE(meters[2].raw_telegram.empty());
  EXPECT_EQ(sim.InputRegister(32768), 0x0302) << "3 meters, 2 activated";
  EXPECT_EQ(sim.HoldingRegister(55400), 0xC0A8);
  EXPECT_EQ(sim.HoldingRegister(55401), 0x0A32) << "192.168.10.50";
}

TEST(Scenario, RawTelegramFileRelativeToTheScenario) {
  const std::string dir = ::testing::TempDir();
  const std::string path = dir + "/sim_raw_scenario.json";
  std::ofstream(path)
      << R"({"meters": [{"telegram_file": ")" << ORVIO_TESTDATA
      << R"(/mbus-telegrams/meters/els_falcon.hex", "primary": 12}], "activated": [12]})";
  GatewaySim sim;
  ASSERT_EQ(sim.LoadScenarioFile(path), "");
  ASSERT_EQ(sim.Meters().size(), 1u);
  EXPECT_EQ(sim.Meters()[0].manufacturer, "ELS");
  EXPECT_EQ(sim.InputRegister(1), 0x0C07) << "address 12, water";
  EXPECT_NE(sim.LoadScenarioFile(dir + "/no_such_scenario.json"), "");
}

}  // namespace
}  // namespace orvio::sim
