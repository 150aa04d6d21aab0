#include "core/gateway/status_readout.h"

#include "core/modbus/registers.h"

namespace orvio {

namespace {

std::string Dec(unsigned v) { return std::to_string(v); }

// The first `n` data bytes of a checked read answer (from its fourth byte on), as long as they
// lie before the checksum; nothing otherwise.
std::optional<std::string_view> DataBytes(std::string_view answer, const AnswerCheck& check,
                                          size_t n) {
  constexpr size_t kDataStart = 3;  // unit, function, byte count
  if (!check.ok() || check.bodyLength > answer.size() || check.bodyLength < kDataStart + n) {
    return std::nullopt;
  }
  return answer.substr(kDataStart, n);
}

// First register of the answer as (hi, lo).
std::optional<RegisterValue> FirstOf(std::string_view answer, const AnswerCheck& check) {
  const auto data = DataBytes(answer, check, 2);
  if (!data) return std::nullopt;
  return RegisterValue{ByteAt(*data, 0), ByteAt(*data, 1)};
}

StatusLines One(std::string line) { return {{std::move(line)}, std::nullopt}; }

// Step 1: lo = number of active devices, hi = number shown after "/".
StatusLines ActiveDevicesLine(std::string_view answer, const AnswerCheck& check) {
  const auto r = FirstOf(answer, check);
  if (!r) return {};
  return One("Active devices: " + Dec(r->lo) + "/" + Dec(r->hi));
}

// Step 2: lo bit 0 = SND_NKE used, lo bit 1 = 0x7B used (else 0x5B).
StatusLines MbusFlagLine(std::string_view answer, const AnswerCheck& check) {
  const auto r = FirstOf(answer, check);
  if (!r) return {};
  std::string line = (r->lo & 0x01) ? "SND_NKE," : "";
  line += (r->lo & 0x02) ? "0x7B" : "0x5B";
  return One(line);
}

// Step 3: lo = working days.
StatusLines WorkingDaysLine(std::string_view answer, const AnswerCheck& check) {
  const auto r = FirstOf(answer, check);
  if (!r) return {};
  return One("Working days: " + Dec(r->lo));
}

// Step 4: the bitmap as hex digits, and its count of 1 bits.
StatusLines BitmapLine(std::string_view answer, const AnswerCheck& check) {
  if (!check.ok()) return {};
  // The 16 registers asked for; an answer announcing more does not make more device slots.
  auto registers = ReadAnswerRegisters(answer, check);
  if (registers.size() > reg::kActiveBitmapCount) registers.resize(reg::kActiveBitmapCount);
  const RegisterBitmap bitmap = BitmapOfRegisters(registers);
  return {{bitmap.hexText}, bitmap.ones};
}

// Step 5: hi = major, lo = minor.
StatusLines CardVersionLine(std::string_view answer, const AnswerCheck& check) {
  const auto r = FirstOf(answer, check);
  if (!r) return {};
  return One("Modbus card version: " + Dec(r->hi) + "." + Dec(r->lo));
}

// Step 6: the identification text.
StatusLines IdentificationLine(std::string_view answer, const AnswerCheck& check) {
  if (!check.ok()) return {};
  return One(IdentificationText(answer));
}

// Steps 7..14: label followed by the four data bytes a.b.c.d.
template <const char* kLabel>
StatusLines AddressLine(std::string_view answer, const AnswerCheck& check) {
  const auto d = DataBytes(answer, check, 4);
  if (!d) return {};
  return One(std::string(kLabel) + Dec(ByteAt(*d, 0)) + "." + Dec(ByteAt(*d, 1)) + "." +
             Dec(ByteAt(*d, 2)) + "." + Dec(ByteAt(*d, 3)));
}

constexpr char kIpLabel[] = "IP: ";
constexpr char kGateLabel[] = "GATE: ";
constexpr char kMaskLabel[] = "MASK: ";
constexpr char kControl1Label[] = "CONTROL IP #1: ";
constexpr char kControl2Label[] = "CONTROL IP #2: ";
constexpr char kData1Label[] = "DATA IP #1: ";
constexpr char kData2Label[] = "DATA IP #2: ";
constexpr char kNetNumberLabel[] = "NETWORK NUMBER (Identification): ";

}  // namespace

const std::array<StatusStepSpec, kStatusStepCount>& StatusSteps() {
  static const std::array<StatusStepSpec, kStatusStepCount> kSteps = {{
      {1, ReadInput(reg::kActiveDevices, reg::kStatusRegisterCount), CheckForm::kFull,
       ActiveDevicesLine},
      {2, ReadInput(reg::kMbusFlagState, reg::kStatusRegisterCount), CheckForm::kFull,
       MbusFlagLine},
      {3, ReadInput(reg::kWorkingDays, reg::kStatusRegisterCount), CheckForm::kFull,
       WorkingDaysLine},
      {4, ReadInput(reg::kActiveBitmap, reg::kActiveBitmapCount), CheckForm::kFull, BitmapLine},
      {5, ReadInput(reg::kCardVersion, reg::kStatusRegisterCount), CheckForm::kFull,
       CardVersionLine},
      {6, ReadDeviceId(reg::kDeviceIdCodeRegular), CheckForm::kDeviceIdentification,
       IdentificationLine},
      {7, ReadHolding(reg::kNetIpAddress, reg::kNetAddressCount), CheckForm::kFull,
       AddressLine<kIpLabel>},
      {8, ReadHolding(reg::kNetGateway, reg::kNetAddressCount), CheckForm::kFull,
       AddressLine<kGateLabel>},
      {9, ReadHolding(reg::kNetMask, reg::kNetAddressCount), CheckForm::kFull,
       AddressLine<kMaskLabel>},
      {10, ReadHolding(reg::kNetControlIp1, reg::kNetAddressCount), CheckForm::kFull,
       AddressLine<kControl1Label>},
      {11, ReadHolding(reg::kNetControlIp2, reg::kNetAddressCount), CheckForm::kFull,
       AddressLine<kControl2Label>},
      {12, ReadHolding(reg::kNetOperatorIp1, reg::kNetAddressCount), CheckForm::kFull,
       AddressLine<kData1Label>},
      {13, ReadHolding(reg::kNetOperatorIp2, reg::kNetAddressCount), CheckForm::kFull,
       AddressLine<kData2Label>},
      {14, ReadHolding(reg::kNetNumber, reg::kNetAddressCount), CheckForm::kFull,
       AddressLine<kNetNumberLabel>},
  }};
  return kSteps;
}

const StatusStepSpec* StatusStepAt(int step) {
  if (step < 1 || step > kStatusStepCount) return nullptr;
  return &StatusSteps()[static_cast<size_t>(step - 1)];
}

const char* StatusItemName(int step) {
  static constexpr const char* kNames[kStatusStepCount] = {"Active devices",
                                                           "M-Bus flags",
                                                           "Working days",
                                                           "Active-device bitmap",
                                                           "Modbus card version",
                                                           "Identification",
                                                           "IP",
                                                           "GATE",
                                                           "MASK",
                                                           "CONTROL IP #1",
                                                           "CONTROL IP #2",
                                                           "DATA IP #1",
                                                           "DATA IP #2",
                                                           "NETWORK NUMBER (Identification)"};
  if (step < 1 || step > kStatusStepCount) return "";
  return kNames[step - 1];
}

std::string StatusItemValue(int step, std::string_view line) {
  const std::string label = std::string(StatusItemName(step)) + ": ";
  if (!label.empty() && line.substr(0, label.size()) == label) line.remove_prefix(label.size());
  const auto blank = [](char c) { return c == ' ' || c == '\r' || c == '\n'; };
  while (!line.empty() && blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && blank(line.back())) line.remove_suffix(1);
  return std::string(line);
}

std::string BlankHex(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char b : bytes) {
    out += ' ';
    out += HexByte(b);
  }
  return out;
}

std::string StatusUnmdLine(std::string_view answer) { return "UNMD:" + BlankHex(answer); }

std::string IdentificationText(std::string_view answer) {
  // unit, 2B, 0E, code, conformity, more follows, next object id, then the object list (count,
  // id, length, value) shown from its count on, without the last three bytes of the answer.
  constexpr size_t kFirst = 7;
  constexpr size_t kOverhead = 10;
  if (answer.size() <= kOverhead) return {};
  std::string text;
  for (size_t i = kFirst; i < kFirst + (answer.size() - kOverhead); ++i) {
    const uint8_t b = ByteAt(answer, i);
    text.push_back(b < 31 ? ' ' : static_cast<char>(b));
  }
  return text;
}

std::vector<int> ActiveDeviceSlots(const std::vector<RegisterValue>& bitmap) {
  std::vector<int> slots;
  int slot = 1;
  for (const auto& r : bitmap) {
    for (const uint8_t byte : {r.hi, r.lo}) {
      for (int bit = 0; bit < 8; ++bit, ++slot) {
        if (byte & (1u << bit)) slots.push_back(slot);
      }
    }
  }
  return slots;
}

}  // namespace orvio
