// Configuration commands of the gateway: values and requests, and the refusals with their texts.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/gateway/configuration.h"

namespace orvio {
namespace {

ByteString Bytes(std::initializer_list<int> values) {
  ByteString out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

void ExpectWriteSingle(const GatewayRequest& r, uint16_t reg, uint16_t value) {
  EXPECT_EQ(r.kind, RequestKind::kWriteSingleRegister);
  EXPECT_EQ(FunctionCode(r.kind), 0x06);
  EXPECT_EQ(r.reg, reg);
  EXPECT_EQ(r.value, value);
}

TEST(GatewayConfiguration, BaudParityCodeTable) {
  struct Row {
    const char* name;
    const char* baud;
    const char* parity;
    std::optional<uint8_t> code;
  };
  const std::vector<Row> rows = {
      {"9600 Even", "9600", "Even", 0x40},
      {"19200 None", "19200", "None", 0x52},
      {"19200 Even", "19200", "Even", 0x50},
      {"115200 None", "115200", "None", 0x82},
      {"300 Odd", "300", "Odd", 0x01},
      {"2400 Even", "2400", "Even", 0x20},
      {"57600 Odd", "57600", "Odd", 0x71},
      {"speed 14400 not in list", "14400", "Even", std::nullopt},
      {"parity compared exactly", "9600", "even", std::nullopt},
      {"speed with a blank", " 9600", "None", std::nullopt},
      {"empty speed", "", "None", std::nullopt},
      {"empty parity", "9600", "", std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(BaudParityCode(row.baud, row.parity), row.code);
  }
}

TEST(GatewayConfiguration, MbusPortNeverAbove9600) {
  struct Row {
    const char* name;
    const char* baud;
    std::optional<std::string> shown;
    std::string error;
  };
  const std::vector<Row> rows = {
      {"19200 becomes 2400", "19200", "2400", ""},
      {"115200 becomes 2400", "115200", "2400", ""},
      {"9600 stays", "9600", "9600", ""},
      {"300 stays", "300", "300", ""},
      {"14400 becomes 2400", "14400", "2400", ""},
      {"not a number", "fast", std::nullopt, "'fast' is not a valid integer value"},
      {"empty", "", std::nullopt, "'' is not a valid integer value"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto r = MbusPortBaudText(row.baud);
    EXPECT_EQ(r.value, row.shown);
    EXPECT_EQ(r.error, row.error);
  }
}

TEST(GatewayConfiguration, BaudParityWrittenToThePortRegister) {
  // m-bus port, 19200 Even: the speed is cut to 2400 first, so 0x20 goes to 32787.
  const auto shown = MbusPortBaudText("19200");
  ASSERT_TRUE(shown.ok());
  const auto code = BaudParityCode(*shown.value, "Even");
  ASSERT_EQ(code, 0x20);
  const auto mbus = BaudParityRequest(true, false, *code);
  ASSERT_TRUE(mbus.ok());
  ExpectWriteSingle(*mbus.value, 32787, 0x0020);

  const auto modbus = BaudParityRequest(false, true, *BaudParityCode("115200", "None"));
  ASSERT_TRUE(modbus.ok());
  ExpectWriteSingle(*modbus.value, 32786, 0x0082);

  const auto neither = BaudParityRequest(false, false, 0x40);
  EXPECT_FALSE(neither.ok());
  EXPECT_EQ(neither.error, "Select either FP or Modbus device...");
}

TEST(GatewayConfiguration, TimeoutRegisters) {
  struct Row {
    const char* name;
    bool between;
    bool respond;
    int position;
    std::optional<uint16_t> reg;
    uint16_t value;
  };
  const std::vector<Row> rows = {
      {"between, position 0", true, false, 0, 4, 0x0000},
      {"respond, position 0", false, true, 0, 5, 0x0000},
      {"respond, position 37", false, true, 37, 5, 37},
      {"between wins over respond", true, true, 99, 4, 99},
      {"neither", false, false, 5, std::nullopt, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto r = TimeoutRequest(row.between, row.respond, row.position);
    if (!row.reg) {
      EXPECT_FALSE(r.ok());
      EXPECT_EQ(r.error, "Error in timeouts...");
      continue;
    }
    ASSERT_TRUE(r.ok());
    ExpectWriteSingle(*r.value, *row.reg, row.value);
  }
}

TEST(GatewayConfiguration, NewModbusAddress) {
  struct Row {
    const char* name;
    const char* text;
    std::optional<uint8_t> address;
    std::string error;
  };
  const std::vector<Row> rows = {
      {"254 accepted", "254", 254, ""},
      {"0 accepted", "0", 0, ""},
      {"leading zeros", "007", 7, ""},
      {"255 refused", "255", std::nullopt, "Invalid new modbus address entered..."},
      {"999 refused", "999", std::nullopt, "Invalid new modbus address entered..."},
      {"empty", "", std::nullopt, "Modbus address not entered"},
      {"not a number counts as 255", "1a", std::nullopt, "Invalid new modbus address entered..."},
      {"a sign is not a number (would travel as 255)", "-1", std::nullopt,
       "Invalid new modbus address entered..."},
      {"beyond int range", "99999999999", std::nullopt, "Invalid new modbus address entered..."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto r = NewModbusAddress(row.text);
    EXPECT_EQ(r.value, row.address);
    EXPECT_EQ(r.error, row.error);
  }
  ExpectWriteSingle(ModbusAddressRequest(254), 32785, 0x00FE);
}

TEST(GatewayConfiguration, ReadoutPeriod) {
  struct Row {
    const char* name;
    int minutes;
    int shownMinutes;
    uint16_t seconds;
  };
  const std::vector<Row> rows = {
      {"720 minutes -> 0xA8C0", 720, 720, 0xA8C0},
      {"1 minute", 1, 1, 60},
      {"0 becomes 1", 0, 1, 60},
      {"negative becomes 1", -5, 1, 60},
      {"beyond the range stays within 16 bits", 2000, 720, 43200},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto p = ReadoutPeriodValue(row.minutes);
    EXPECT_EQ(p.minutes, row.shownMinutes);
    EXPECT_EQ(p.seconds, row.seconds);
  }
  const auto r = ReadoutPeriodRequest(720);
  ExpectWriteSingle(r, 3, 0xA8C0);
  EXPECT_EQ(r.ValueHi(), 0xA8);
  EXPECT_EQ(r.ValueLo(), 0xC0);
}

TEST(GatewayConfiguration, FlagCodes) {
  struct Row {
    const char* name;
    FlagFunction f;
    bool state01;
    uint16_t reg;
    uint8_t code;
  };
  const std::vector<Row> rows = {
      {"SND_NKE", FlagFunction::SndNke, false, 6, 0x01},
      {"SND_NKE + 0/1", FlagFunction::SndNke, true, 6, 0x81},
      {"0x7B + 0/1", FlagFunction::Use7B, true, 6, 0x82},
      {"Start Mbus", FlagFunction::StartMbus, false, 6, 0x09},
      {"Sort + 0/1", FlagFunction::Sort, true, 6, 0x8A},
      {"Sort", FlagFunction::Sort, false, 6, 0x0A},
      {"DHCP", FlagFunction::Dhcp, false, 7, 0x01},
      {"DHCP + 0/1", FlagFunction::Dhcp, true, 7, 0x81},
      {"Reset", FlagFunction::Reset, false, 7, 0x11},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto r = FlagRequest(row.f, row.state01);
    ASSERT_TRUE(r.ok());
    ExpectWriteSingle(*r.value, row.reg, row.code);
  }
  const auto none = FlagRequest(std::nullopt, true);
  EXPECT_FALSE(none.ok());
  EXPECT_EQ(none.error, "Nothing selected as a flag function...");
}

TEST(GatewayConfiguration, ValueEncoding) {
  const auto real = ValueEncodingRequest(true, false);
  ASSERT_TRUE(real.ok());
  ExpectWriteSingle(*real.value, 6, 0x0006);
  const auto transform = ValueEncodingRequest(false, true);
  ASSERT_TRUE(transform.ok());
  ExpectWriteSingle(*transform.value, 6, 0x0086);
  const auto none = ValueEncodingRequest(false, false);
  EXPECT_FALSE(none.ok());
  EXPECT_EQ(none.error,
            "Select what type of values you want - real or pre-defined to general units...");
}

TEST(GatewayConfiguration, DottedAddress) {
  struct Row {
    const char* name;
    const char* text;
    std::optional<std::array<uint8_t, 4>> bytes;
  };
  const std::vector<Row> rows = {
      {"ordinary", "192.168.1.1", std::array<uint8_t, 4>{192, 168, 1, 1}},
      {"network number", "0.0.0.7", std::array<uint8_t, 4>{0, 0, 0, 7}},
      {"all 255", "255.255.255.255", std::array<uint8_t, 4>{255, 255, 255, 255}},
      {"leading zeros are decimal", "010.001.1.1", std::array<uint8_t, 4>{10, 1, 1, 1}},
      {"two points", "192.168.1", std::nullopt},
      {"empty part", "192.168..1", std::nullopt},
      {"256", "192.168.1.256", std::nullopt},
      {"four points", "1.2.3.4.5", std::nullopt},
      {"empty", "", std::nullopt},
      {"points only", "...", std::nullopt},
      {"trailing point", "1.2.3.", std::nullopt},
      {"leading point", ".1.2.3", std::nullopt},
      {"letters", "a.b.c.d", std::nullopt},
      {"sign", "1.2.3.-4", std::nullopt},
      {"trailing blank", "1.2.3.4 ", std::nullopt},
      {"huge part", "99999999999.1.1.1", std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ParseDottedAddress(row.text), row.bytes);
  }
}

TEST(GatewayConfiguration, ProgramIp) {
  struct Row {
    const char* name;
    const char* item;
    const char* ip;
    std::optional<uint16_t> reg;
    ByteString data;
  };
  const std::vector<Row> rows = {
      {"Gateway", "Gateway", "192.168.1.1", 55402, Bytes({0xC0, 0xA8, 0x01, 0x01})},
      {"IP address", "IP address", "10.0.0.2", 55400, Bytes({10, 0, 0, 2})},
      {"Mask", "Mask", "255.255.255.0", 55404, Bytes({255, 255, 255, 0})},
      {"Control IP #2", "Control IP #2", "1.2.3.4", 55408, Bytes({1, 2, 3, 4})},
      {"Operator IP #4", "Operator IP #4", "1.2.3.4", 55416, Bytes({1, 2, 3, 4})},
      {"Net number", "Net number (optional)", "0.0.0.7", 55420, Bytes({0, 0, 0, 7})},
      {"unknown type", "gateway", "192.168.1.1", std::nullopt, {}},
      {"invalid address", "Gateway", "192.168.1", std::nullopt, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto r = ProgramIpRequest(row.item, row.ip);
    if (!row.reg) {
      EXPECT_FALSE(r.has_value());
      continue;
    }
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->kind, RequestKind::kWriteMultipleRegisters);
    EXPECT_EQ(r->reg, *row.reg);
    EXPECT_EQ(HexText(r->data), HexText(row.data));
  }
  const std::vector<uint16_t> expected = {55400, 55402, 55404, 55406, 55408,
                                          55410, 55412, 55414, 55416, 55420};
  ASSERT_EQ(NetworkSettings().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(NetworkSettings()[i].reg, expected[i]);
}

TEST(GatewayConfiguration, ListenPort) {
  struct Row {
    const char* name;
    const char* text;
    std::optional<uint16_t> port;
    std::string error;
  };
  const std::vector<Row> rows = {
      {"502", "502", 502, ""},
      {"50 is the lowest", "50", 50, ""},
      {"65535 is the highest", "65535", 65535, ""},
      {"49", "49", std::nullopt, "Invalid modbus TCP port entered..."},
      {"65536 would travel as 0", "65536", std::nullopt, "Invalid modbus TCP port entered..."},
      {"70000 would travel as 4464", "70000", std::nullopt, "Invalid modbus TCP port entered..."},
      {"empty", "", std::nullopt, "Modbus TCP port not entered"},
      {"not a number counts as 49", "http", std::nullopt, "Invalid modbus TCP port entered..."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto r = ListenPort(row.text);
    EXPECT_EQ(r.value, row.port);
    EXPECT_EQ(r.error, row.error);
  }
  ExpectWriteSingle(ListenPortRequest(502), 56002, 0x01F6);
}

TEST(GatewayConfiguration, SerialNumber) {
  struct Row {
    const char* name;
    const char* text;
    std::optional<ByteString> bcd;
    std::string error;
  };
  const std::vector<Row> rows = {
      {"12345678", "12345678", Bytes({0x12, 0x34, 0x56, 0x78}), ""},
      {"zeros", "00000000", Bytes({0, 0, 0, 0}), ""},
      {"nines", "99999999", Bytes({0x99, 0x99, 0x99, 0x99}), ""},
      {"seven digits", "1234567", std::nullopt, "Wrong ID - must be 8-digit..."},
      {"nine digits", "123456789", std::nullopt, "Wrong ID - must be 8-digit..."},
      {"empty", "", std::nullopt, "Wrong ID - must be 8-digit..."},
      {"a letter", "1234a678", std::nullopt,
       "Exception converting ID - 'a' is not a valid integer value"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto r = SerialNumberBytes(row.text);
    EXPECT_EQ(r.value, row.bcd);
    EXPECT_EQ(r.error, row.error);
  }
  const auto r = SerialNumberRequest(Bytes({0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(r.kind, RequestKind::kWriteMultipleRegisters);
  EXPECT_EQ(r.reg, 55330);
}

}  // namespace
}  // namespace orvio
