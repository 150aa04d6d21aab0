// The status readout: the request of each of the fourteen steps and the lines of its answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/gateway/status_readout.h"
#include "core/modbus/crc.h"

namespace orvio {
namespace {

ByteString Bytes(std::initializer_list<int> values) {
  ByteString out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// A read answer of unit 1 with the given data bytes and a correct checksum.
ByteString ReadAnswer(uint8_t function, const ByteString& data) {
  ByteString body = Bytes({1, function, static_cast<int>(data.size())}) + data;
  return WithModbusCrc(body);
}

StatusLines RunStep(int step, const ByteString& answer) {
  const StatusStepSpec* spec = StatusStepAt(step);
  EXPECT_NE(spec, nullptr);
  if (!spec) return {};
  return spec->build(answer, ValidateAnswer(answer, spec->check));
}

TEST(GatewayStatus, StepRequests) {
  struct Row {
    int step;
    RequestKind kind;
    uint16_t reg;
    uint16_t count;
  };
  const std::vector<Row> rows = {
      {1, RequestKind::kReadInputRegisters, 32768, 1},
      {2, RequestKind::kReadInputRegisters, 32769, 1},
      {3, RequestKind::kReadInputRegisters, 32770, 1},
      {4, RequestKind::kReadInputRegisters, 59500, 16},
      {5, RequestKind::kReadInputRegisters, 60000, 1},
      {6, RequestKind::kReadDeviceIdentification, 0, 0},
      {7, RequestKind::kReadHoldingRegisters, 55400, 2},
      {8, RequestKind::kReadHoldingRegisters, 55402, 2},
      {9, RequestKind::kReadHoldingRegisters, 55404, 2},
      {10, RequestKind::kReadHoldingRegisters, 55406, 2},
      {11, RequestKind::kReadHoldingRegisters, 55408, 2},
      {12, RequestKind::kReadHoldingRegisters, 55410, 2},
      {13, RequestKind::kReadHoldingRegisters, 55412, 2},
      {14, RequestKind::kReadHoldingRegisters, 55420, 2},
  };
  ASSERT_EQ(rows.size(), static_cast<size_t>(kStatusStepCount));
  for (const auto& row : rows) {
    SCOPED_TRACE("step " + std::to_string(row.step));
    const StatusStepSpec* spec = StatusStepAt(row.step);
    ASSERT_NE(spec, nullptr);
    EXPECT_EQ(spec->step, row.step);
    EXPECT_EQ(spec->request.kind, row.kind);
    EXPECT_EQ(spec->request.reg, row.reg);
    EXPECT_EQ(spec->request.count, row.count);
    EXPECT_EQ(spec->check, row.step == 6 ? CheckForm::kDeviceIdentification : CheckForm::kFull);
  }
  EXPECT_EQ(StatusStepAt(6)->request.idCode, 2);
  EXPECT_EQ(StatusStepAt(0), nullptr);
  EXPECT_EQ(StatusStepAt(15), nullptr);
}

TEST(GatewayStatus, StepLines) {
  struct Row {
    const char* name;
    int step;
    ByteString answer;
    std::vector<std::string> lines;
  };
  const std::vector<Row> rows = {
      {"active devices lo/hi", 1, ReadAnswer(4, Bytes({0x0A, 0x05})), {"Active devices: 5/10"}},
      {"flags SND_NKE and 0x7B", 2, ReadAnswer(4, Bytes({0x00, 0x03})), {"SND_NKE,0x7B"}},
      {"flags none: 0x5B", 2, ReadAnswer(4, Bytes({0x00, 0x00})), {"0x5B"}},
      {"flags SND_NKE only", 2, ReadAnswer(4, Bytes({0x00, 0x01})), {"SND_NKE,0x5B"}},
      {"flags 0x7B only, hi ignored", 2, ReadAnswer(4, Bytes({0xFF, 0x02})), {"0x7B"}},
      {"working days lo", 3, ReadAnswer(4, Bytes({0x01, 0x2A})), {"Working days: 42"}},
      {"card version hi.lo", 5, ReadAnswer(4, Bytes({0x01, 0x03})), {"Modbus card version: 1.3"}},
      {"IP", 7, ReadAnswer(3, Bytes({0xC0, 0xA8, 0x01, 0x64})), {"IP: 192.168.1.100"}},
      {"GATE", 8, ReadAnswer(3, Bytes({192, 168, 1, 1})), {"GATE: 192.168.1.1"}},
      {"MASK", 9, ReadAnswer(3, Bytes({255, 255, 255, 0})), {"MASK: 255.255.255.0"}},
      {"CONTROL IP #1", 10, ReadAnswer(3, Bytes({10, 0, 0, 1})), {"CONTROL IP #1: 10.0.0.1"}},
      {"CONTROL IP #2", 11, ReadAnswer(3, Bytes({10, 0, 0, 2})), {"CONTROL IP #2: 10.0.0.2"}},
      {"DATA IP #1", 12, ReadAnswer(3, Bytes({10, 0, 0, 3})), {"DATA IP #1: 10.0.0.3"}},
      {"DATA IP #2", 13, ReadAnswer(3, Bytes({10, 0, 0, 4})), {"DATA IP #2: 10.0.0.4"}},
      {"network number",
       14,
       ReadAnswer(3, Bytes({0, 0, 0, 7})),
       {"NETWORK NUMBER (Identification): 0.0.0.7"}},
      {"filler byte after the checksum",
       1,
       ReadAnswer(4, Bytes({0x0A, 0x05})) + '\0',
       {"Active devices: 5/10"}},
      {"bad checksum: no line", 1, Bytes({1, 4, 2, 0x0A, 0x05, 0x00, 0x01}), {}},
      {"exception answer: no line", 5, WithModbusCrc(Bytes({1, 0x84, 2})), {}},
      {"leading zero byte: no line", 1, WithModbusCrc(Bytes({0, 4, 2, 0x0A, 0x05})), {}},
      {"no register in the answer: no line", 1, ReadAnswer(4, {}), {}},
      {"address with one register only: no line", 7, ReadAnswer(3, Bytes({1, 2})), {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const StatusLines out = RunStep(row.step, row.answer);
    EXPECT_EQ(out.lines, row.lines);
    EXPECT_FALSE(out.activeDeviceCount.has_value());
  }
}

TEST(GatewayStatus, BitmapLineAndCount) {
  struct Row {
    const char* name;
    ByteString data;
    std::string line;
    int count;
  };
  const std::vector<Row> rows = {
      {"07 then zeros: three devices", Bytes({0x07}) + ByteString(31, '\0'),
       "07" + std::string(62, '0'), 3},
      {"03 then zeros: two devices", Bytes({0x03}) + ByteString(31, '\0'),
       "03" + std::string(60, '0') + "00", 2},
      {"all zero", ByteString(32, '\0'), std::string(64, '0'), 0},
      {"all ones", ByteString(32, '\xFF'), std::string(64, 'F'), 256},
      {"more registers than asked for are not counted", ByteString(40, '\xFF'),
       std::string(64, 'F'), 256},
      {"one bit in the last byte", ByteString(31, '\0') + Bytes({0x80}),
       std::string(62, '0') + "80", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const StatusLines out = RunStep(4, ReadAnswer(4, row.data));
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_EQ(out.lines[0], row.line);
    EXPECT_EQ(out.activeDeviceCount, row.count);
  }
  // A failed bitmap answer sets no count.
  const StatusLines failed = RunStep(4, Bytes({1, 0x84, 2, 0xC2, 0xC1}));
  EXPECT_TRUE(failed.lines.empty());
  EXPECT_FALSE(failed.activeDeviceCount.has_value());
}

TEST(GatewayStatus, IdentificationText) {
  // unit, 2B, 0E, code 2, conformity, more, next id, 1 object: id 0, length 4, "ZELK"
  const ByteString zelk = WithModbusCrc(Bytes({1, 0x2B, 0x0E, 2, 0x01, 0, 0, 1, 0, 4}) + "ZELK");
  struct Row {
    const char* name;
    ByteString answer;
    std::string text;
  };
  const std::vector<Row> rows = {
      // bytes 8 .. length - 3: 01 00 04 'Z' 'E' 'L'; the controls become blanks
      {"one object", zelk, "   ZEL"},
      {"eleven bytes give one character", Bytes({1, 2, 3, 4, 5, 6, 7, 'A', 9, 10, 11}), "A"},
      {"ten bytes give nothing", Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), ""},
      {"empty", {}, ""},
      {"31 is kept, 30 becomes a blank", Bytes({0, 0, 0, 0, 0, 0, 0, 30, 31, 0, 0, 0}),
       std::string(" ") + '\x1F'},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IdentificationText(row.answer), row.text);
  }
  EXPECT_EQ(RunStep(6, zelk).lines, std::vector<std::string>{"   ZEL"});
  // The identification check passes over a leading zero byte silently: no line.
  EXPECT_TRUE(
      RunStep(6, WithModbusCrc(Bytes({0, 0x2B, 0x0E, 2, 1, 0, 0, 1, 0, 1, 'Z'}))).lines.empty());
}

// The status tick's raw-answer line puts one blank before each byte.
TEST(GatewayStatus, UnmdLine) {
  const struct {
    const char* name;
    ByteString answer;
    const char* line;
  } kRows[] = {
      {"empty", {}, "UNMD:"},
      {"one_byte", Bytes({0x00}), "UNMD: 00"},
      {"register_answer", Bytes({0x01, 0x04, 0x02, 0x0A, 0x05, 0xFB, 0x93}),
       "UNMD: 01 04 02 0A 05 FB 93"},
  };
  for (const auto& row : kRows) EXPECT_EQ(StatusUnmdLine(row.answer), row.line) << row.name;
}

TEST(GatewayStatus, ActiveDeviceSlots) {
  struct Row {
    const char* name;
    std::vector<RegisterValue> bitmap;
    std::vector<int> slots;
  };
  const std::vector<Row> rows = {
      {"first three", {{0x07, 0x00}}, {1, 2, 3}},
      {"low byte of the first register", {{0x00, 0x01}}, {9}},
      {"high bit of the second register's high byte", {{0, 0}, {0x80, 0}}, {24}},
      {"none", {{0, 0}, {0, 0}}, {}},
      {"fifteen empty registers", std::vector<RegisterValue>(15, {0, 0}), {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ActiveDeviceSlots(row.bitmap), row.slots);
  }
  std::vector<RegisterValue> full(16, {0, 0});
  full[15].lo = 0x80;
  EXPECT_EQ(ActiveDeviceSlots(full), std::vector<int>{256});
}

}  // namespace
}  // namespace orvio
