// The device map: unit, medium and manufacturer tables, record decoding register by register,
// the fifteen cells of a GridDevices row, and the activation requests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/gateway/device_map.h"
#include "core/modbus/crc.h"

namespace orvio {
namespace {

TEST(GatewayDeviceMap, UnitTable) {
  struct Row {
    const char* name;
    uint8_t vif;
    std::string unit;
    double multiplier;
  };
  const std::vector<Row> rows = {
      {"kWh 10^-6", 0x00, "kWh", 0.000001},
      {"kWh 1", 0x06, "kWh", 1},
      {"kWh 10", 0x07, "kWh", 10},
      {"kJ 10^-3", 0x08, "kJ", 0.001},
      {"kJ 100", 0x0D, "kJ", 100},
      {"MJ 1", 0x0E, "MJ", 1},
      {"MJ 10", 0x0F, "MJ", 10},
      {"m3 10^-6", 0x10, "m3", 0.000001},
      {"m3 litres", 0x13, "m3", 0.001},
      {"m3 10", 0x17, "m3", 10},
      {"gap after volume", 0x18, "Not supported", 1},
      {"on time", 0x22, "On Time", 1},
      {"operating time", 0x27, "Operating Time", 1},
      {"W 10^-3", 0x28, "W", 0.001},
      {"W 100", 0x2D, "W", 100},
      {"kW 1", 0x2E, "kW", 1},
      {"kW 10", 0x2F, "kW", 10},
      {"J/h 1", 0x30, "J/h", 1},
      {"J/h 10^6", 0x36, "J/h", 1000000},
      {"0x37 not in table", 0x37, "Not supported", 1},
      {"l/h 10^-3", 0x38, "l/h", 0.001},
      {"l/h 10^4", 0x3F, "l/h", 10000},
      {"mass flow not in table", 0x50, "Not supported", 1},
      {"flow temperature 0.1", 0x5A, "deg. C", 0.1},
      {"return temperature 1", 0x5F, "deg. C", 1},
      {"temperature difference", 0x61, "deg. K", 0.01},
      {"external temperature 0.001", 0x64, "deg. C", 0.001},
      {"mbar 1", 0x68, "mbar", 1},
      {"mbar 100", 0x6A, "mbar", 100},
      {"0x6B not in table", 0x6B, "Not supported", 1},
      {"date", 0x6C, "Time point", 1},
      {"date and time", 0x6D, "Time point", 1},
      {"H.C.A.", 0x6E, "Dimensionless", 1},
      {"averaging duration", 0x70, "Average duration", 1},
      {"0x71 not in table", 0x71, "Not supported", 1},
      {"actuality duration", 0x74, "Actuality Duration", 1},
      {"fabrication number", 0x78, "Fabr. No.", 1},
      {"extension bit set", 0x93, "Not supported", 1},
      {"0xFF", 0xFF, "Not supported", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const UnitEntry u = UnitTable(row.vif);
    EXPECT_EQ(u.name, row.unit);
    EXPECT_DOUBLE_EQ(u.multiplier, row.multiplier);
  }
}

TEST(GatewayDeviceMap, TransformedUnitsAndMedia) {
  const std::vector<std::string> units = {"No unit", "kWh", "m3", "kJ",
                                          "MJ",      "MWh", "m6", "Not supported"};
  for (size_t code = 0; code < units.size(); ++code) {
    EXPECT_EQ(TransformedUnit(static_cast<uint8_t>(code)), units[code]) << "code " << code;
  }
  EXPECT_EQ(TransformedUnit(255), "Not supported");

  struct Row {
    uint8_t code;
    std::string text;
  };
  const std::vector<Row> media = {
      {0, "Other"},     {1, "Oil"},        {2, "Electricity"},     {3, "Gas"},
      {4, "Heat"},      {5, "Steam"},      {6, "Hot water"},       {7, "Water"},
      {8, "H.C.A."},    {9, "Compr. air"}, {10, "Cold"},           {11, "Cold"},
      {12, "Heat"},     {13, "Heat/Cold"}, {14, "System"},         {15, "Unknown"},
      {16, "Reserved"}, {21, "Reserved"},  {22, "Cold water"},     {23, "Dual water"},
      {24, "Pressure"}, {25, "ADC"},       {26, "Reserved/Error"}, {255, "Reserved/Error"},
  };
  for (const auto& row : media) {
    EXPECT_EQ(MediumTable(row.code), row.text) << "medium " << int(row.code);
  }
}

TEST(GatewayDeviceMap, ManufacturerLetters) {
  // Register 4 carries the code low byte first: hi 0x24, lo 0x40 is v = 0x4024.
  EXPECT_EQ(ManufacturerLetters(0x24, 0x40), "PAD");
  // E=5, L=12, S=19: v = 0x1593.
  EXPECT_EQ(ManufacturerLetters(0x93, 0x15), "ELS");
  EXPECT_EQ(ManufacturerLetters(0x00, 0x00), "@@@");
}

TEST(GatewayDeviceMap, RecordSizeAndRequest) {
  struct Row {
    const char* name;
    uint8_t hi;
    uint8_t lo;
    int size;
  };
  const std::vector<Row> rows = {
      {"0.3", 0, 3, 28}, {"0.2", 0, 2, 24}, {"0.0", 0, 0, 24}, {"1.0", 1, 0, 28}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DeviceRecordSize(row.hi, row.lo), row.size);
  }
  struct Req {
    int index;
    int size;
    uint16_t reg;
  };
  for (const Req& r : std::vector<Req>{{1, 24, 1}, {2, 24, 25}, {5, 24, 97}, {3, 28, 57}}) {
    const GatewayRequest q = DeviceRecordRequest(r.index, r.size);
    EXPECT_EQ(q.kind, RequestKind::kReadInputRegisters);
    EXPECT_EQ(q.reg, r.reg) << "record " << r.index;
    EXPECT_EQ(q.count, r.size);
  }
}

// A full record in register order (k = 1 .. n).
std::vector<RegisterValue> Record(int registers) {
  std::vector<RegisterValue> r = {
      {0x05, 0x07},                // 1: address 5, Water
      {0x12, 0x34}, {0x56, 0x78},  // 2, 3: ID 12345678
      {0x24, 0x40},                // 4: PAD
      {0x13, 0x00},                // 5: VIF 0x13, m3, 0.001
      {0xAB, 0xCD},                // 6: main code
      {0x00, 0x05},                // 7: general unit MWh
      {0x0A, 0x0B},                // 8: inputs
      {0x00, 0x1F},                // 9: device flags, bit 5 clear
      {0x00, 0x0F},                // 10: M-Bus status
      {0x00, 0x01}, {0xE2, 0x40},  // 11, 12: main value 123456
      {0xFF, 0xFF}, {0xFF, 0xFE},  // 13, 14: tariff 1 = -2
      {0x00, 0x00}, {0x03, 0xE8},  // 15, 16: tariff 2 = 1000
      {0x7F, 0xFF}, {0xFF, 0xFF},  // 17, 18: tariff 3 = 2147483647
      {0x80, 0x00}, {0x00, 0x00},  // 19, 20: tariff 4 = -2147483648
      {0x01, 0x02}, {0x03, 0x04},  // 21, 22: tariff starts
      {0x05, 0x06}, {0x07, 0x08},  // 23, 24: tariff ends
      {0x00, 0x00}, {0x30, 0x39},  // 25, 26: flow 12345
      {0x11, 0x11}, {0x22, 0x22},  // 27, 28: unused
  };
  r.resize(static_cast<size_t>(registers));
  return r;
}

TEST(GatewayDeviceMap, DecodeRecordRegisterByRegister) {
  const TModbusDevice d = DecodeDeviceRecord(Record(28));
  EXPECT_EQ(d.PrimaryAddress, 5);
  EXPECT_EQ(d.MediumText, "Water");
  EXPECT_EQ(d.Identification, "12345678");
  EXPECT_EQ(d.Manufacturer, "PAD");
  EXPECT_EQ(d.MainVif, 0x13);
  EXPECT_EQ(d.UnitName, "m3");
  EXPECT_DOUBLE_EQ(d.Multiplier, 0.001);
  EXPECT_EQ(d.MainCode, "ABCD");
  EXPECT_EQ(d.GeneralUnitCode, 5);
  EXPECT_EQ(d.Input1, 0x0A);
  EXPECT_EQ(d.Input2, 0x0B);
  EXPECT_EQ(d.DeviceFlags, 0x1F);
  EXPECT_EQ(d.MbusStatus, 0x0F);
  EXPECT_EQ(d.MainValue, 123456);
  EXPECT_EQ(d.TariffValue1, -2);
  EXPECT_EQ(d.TariffValue2, 1000);
  EXPECT_EQ(d.TariffValue3, 2147483647);
  EXPECT_EQ(d.TariffValue4, INT32_MIN);
  EXPECT_EQ(d.TariffStart1, 1);
  EXPECT_EQ(d.TariffStart4, 4);
  EXPECT_EQ(d.TariffEnd1, 5);
  EXPECT_EQ(d.TariffEnd4, 8);
  EXPECT_EQ(d.FlowValue, 12345);
}

TEST(GatewayDeviceMap, RowCells28) {
  const DeviceRowCells c = DeviceRow(DecodeDeviceRecord(Record(28)), 28);
  const DeviceRowCells expected = {"12345678",
                                   "5",
                                   "PAD",
                                   "Water",
                                   "m3",
                                   "123.456",
                                   "-0.002",
                                   "1.000",
                                   "2147483.600",
                                   "-2147483.600",
                                   "Main=ABCD, Device=1F, mbus=0F",
                                   "13",
                                   "input1=0A, input2=0B",
                                   "1/2/3/4-5/6/7/8",
                                   "12345"};
  for (int col = 0; col < kDeviceColumns; ++col) {
    EXPECT_EQ(c[static_cast<size_t>(col)], expected[static_cast<size_t>(col)]) << "column " << col;
  }
}

TEST(GatewayDeviceMap, RowCellCases) {
  auto with = [](int size, std::initializer_list<std::pair<int, RegisterValue>> changes) {
    auto r = Record(size);
    for (const auto& [k, v] : changes) r[static_cast<size_t>(k - 1)] = v;
    return r;
  };
  struct Row {
    const char* name;
    std::vector<RegisterValue> registers;
    int recordSize;
    int column;
    std::string text;
  };
  const std::vector<Row> rows = {
      {"main value 123456 with VIF 13 shows 123.456", Record(24), 24, 5, "123.456"},
      {"column 14 stays empty with 24 registers", Record(24), 24, 14, ""},
      {"column 14 empty when 28 registers arrive but records are 24", Record(28), 24, 14, ""},
      {"column 14 with 28 registers", Record(28), 28, 14, "12345"},
      {"flag bit 5 shows the transformed unit", with(24, {{9, {0, 0x20}}}), 24, 4, "MWh"},
      {"flag bit 5 sets the multiplier to 1", with(24, {{9, {0, 0x20}}}), 24, 5, "123456.000"},
      {"flag bit 5 with an unknown general unit", with(24, {{7, {0, 9}}, {9, {0, 0x20}}}), 24, 4,
       "Not supported"},
      {"flags without bit 5 keep the VIF unit", with(24, {{9, {0, 0xDF}}}), 24, 4, "m3"},
      {"flags hex", with(24, {{9, {0, 0x20}}}), 24, 10, "Main=ABCD, Device=20, mbus=0F"},
      {"-2 with multiplier 1", with(24, {{5, {0x06, 0}}, {11, {0xFF, 0xFF}}, {12, {0xFF, 0xFE}}}),
       24, 5, "-2.000"},
      {"unknown VIF: multiplier 1", with(24, {{5, {0x7F, 0}}}), 24, 4, "Not supported"},
      {"medium 0x17", with(24, {{1, {5, 0x17}}}), 24, 3, "Dual water"},
      {"medium 0x19", with(24, {{1, {5, 0x19}}}), 24, 3, "ADC"},
      {"medium 0x1A", with(24, {{1, {5, 0x1A}}}), 24, 3, "Reserved/Error"},
      {"integer part beyond 8 digits", with(24, {{5, {0x36, 0}}}), 24, 5, "1.23456E+11"},
      {"address 255", with(24, {{1, {0xFF, 7}}}), 24, 1, "255"},
      {"one register: no ID", Record(1), 24, 0, ""},
      {"two registers: half an ID", Record(2), 24, 0, "1234"},
      {"short record keeps later values zero", Record(10), 24, 5, "0.000"},
      {"high word without low word is no value", Record(11), 24, 5, "0.000"},
      {"no registers at all", {}, 24, 13, "0/0/0/0-0/0/0/0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const DeviceRowCells c = DeviceRow(DecodeDeviceRecord(row.registers), row.recordSize);
    EXPECT_EQ(c[static_cast<size_t>(row.column)], row.text);
  }
  // The user's decimal separator.
  EXPECT_EQ(DeviceRow(DecodeDeviceRecord(Record(24)), 24, ',')[5], "123,456");
}

TEST(GatewayDeviceMap, ActivationRequests) {
  struct Row {
    const char* name;
    GatewayRequest request;
    uint16_t reg;
    uint16_t value;
  };
  const std::vector<Row> rows = {
      {"activate 12", ActivateRequest(12), 0, 0x000C},
      {"delete 12", DeleteRequest(12), 1, 0x000C},
      {"exclude inputs of 12", ExcludeInputsRequest(12), 2, 0x000C},
      {"delete all", DeleteAllRequest(), 1, 0x00FF},
      {"search and activate", SearchAndActivateRequest(), 25704, 250},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.request.kind, RequestKind::kWriteSingleRegister);
    EXPECT_EQ(row.request.reg, row.reg);
    EXPECT_EQ(row.request.value, row.value);
  }
  const auto all = WriteModbusRequests(true, true, true, 7);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].reg, 0);
  EXPECT_EQ(all[1].reg, 1);
  EXPECT_EQ(all[2].reg, 2);
  EXPECT_TRUE(WriteModbusRequests(false, false, false, 7).empty());
  const auto inputs = WriteModbusRequests(false, false, true, 7);
  ASSERT_EQ(inputs.size(), 1u);
  EXPECT_EQ(inputs[0], ExcludeInputsRequest(7));
}

TEST(GatewayDeviceMap, AddressTexts) {
  struct Row {
    const char* name;
    const char* text;
    std::optional<int> address;
    bool searchOk;
  };
  const std::vector<Row> rows = {
      {"12", "12", 12, true},
      {"0", "0", 0, true},
      {"254", "254", 254, true},
      {"255", "255", 255, false},
      {"256 is no primary address", "256", std::nullopt, false},
      {"empty", "", std::nullopt, false},
      {"sign", "-1", std::nullopt, false},
      {"blank", " 5", std::nullopt, false},
      {"letters", "abc", std::nullopt, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ParseDeviceAddress(row.text), row.address);
    EXPECT_EQ(SearchAndActivateAddressOk(row.text), row.searchOk);
  }
}

TEST(GatewayDeviceMap, ActivateAllReceivedLine) {
  EXPECT_EQ(ActivateReceivedLine(""), "RCVD:");
  EXPECT_EQ(ActivateReceivedLine(std::string("\x01\x06\x00\x00\x00\x0C\x89\xCF", 8)),
            "RCVD: 01 06 00 00 00 0C 89 CF");
  EXPECT_EQ(ActivateReceivedLine(std::string("\x01\x86\x04\xC3\xA2", 5)), "RCVD: 01 86 04 C3 A2");
}

TEST(GatewayDeviceMap, ActivateAllAnswer) {
  auto bytes = [](std::initializer_list<int> v) {
    ByteString out;
    for (int b : v) out.push_back(static_cast<char>(b));
    return out;
  };
  struct Row {
    const char* name;
    ByteString answer;
    bool failed;
  };
  const std::vector<Row> rows = {
      {"echo of the write", WithModbusCrc(bytes({1, 6, 0, 0, 0, 12})), false},
      {"CRC not checked", bytes({1, 6, 0, 0, 0, 12, 0, 0}), false},
      {"empty", {}, true},
      {"one byte", bytes({1}), true},
      {"another unit address", WithModbusCrc(bytes({2, 6, 0, 0, 0, 12})), true},
      {"another function", WithModbusCrc(bytes({1, 3, 2, 0, 12})), true},
      {"exception answer of 5 bytes", WithModbusCrc(bytes({1, 0x86, 2})), true},
      {"5 bytes even with function 6", bytes({1, 6, 0, 0, 0}), true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ActivateAnswerFailed(row.answer, 1), row.failed);
  }
}

}  // namespace
}  // namespace orvio
