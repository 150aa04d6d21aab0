#include "core/gateway/configuration.h"

#include <climits>

#include "core/settings/control_ranges.h"

namespace orvio {

std::string NotAnIntegerText(std::string_view text) {
  return "'" + std::string(text) + "' is not a valid integer value";
}

Checked<GatewayRequest> TimeoutRequest(bool between, bool respond, int position) {
  const auto value = static_cast<uint16_t>(control_range::kTimingPosition.Clamp(position));
  if (between) return {WriteSingle(reg::kTimeBetweenReadings, value), {}};
  if (respond) return {WriteSingle(reg::kTimeWaitRespond, value), {}};
  return {std::nullopt, gateway_text::kErrorInTimeouts};
}

namespace {

// Speed index of BaudParityCode, bits 4..7: the position in this list.
constexpr std::array<std::string_view, 9> kBaudTexts = {"300",   "1200",  "2400",  "4800",  "9600",
                                                        "19200", "38400", "57600", "115200"};
// Parity, bits 0..1.
struct ParityCode {
  std::string_view text;
  uint8_t code;
};
constexpr std::array<ParityCode, 3> kParityCodes = {{{"Even", 0}, {"Odd", 1}, {"None", 2}}};

constexpr int kMbusPortMaxBaud = 9600;

}  // namespace

std::optional<uint8_t> BaudParityCode(std::string_view baudText, std::string_view parityText) {
  std::optional<uint8_t> speed;
  for (size_t i = 0; i < kBaudTexts.size(); ++i) {
    if (kBaudTexts[i] == baudText) speed = static_cast<uint8_t>(i);
  }
  std::optional<uint8_t> parity;
  for (const auto& p : kParityCodes) {
    if (p.text == parityText) parity = p.code;
  }
  if (!speed || !parity) return std::nullopt;
  return static_cast<uint8_t>((*speed << 4) | *parity);
}

Checked<std::string> MbusPortBaudText(std::string_view baudText) {
  const auto n = ParseDecimal(baudText);
  if (!n) return {std::nullopt, NotAnIntegerText(baudText)};
  if (*n > kMbusPortMaxBaud) return {std::string(gateway_text::kMbusPortMaxBaudText), {}};
  return {std::string(baudText), {}};
}

Checked<GatewayRequest> BaudParityRequest(bool mbusPort, bool modbusPort, uint8_t code) {
  if (mbusPort) return {WriteSingle(reg::kMbusPortSpeed, code), {}};
  if (modbusPort) return {WriteSingle(reg::kModbusPortSpeed, code), {}};
  return {std::nullopt, gateway_text::kSelectPort};
}

namespace {
constexpr int kNotANumberAddress = 255;  // a non-number counts as this (refused)
constexpr int kNotANumberPort = 49;      // a non-number counts as this (refused)
constexpr int kMinListenPort = 50;
constexpr int kMaxListenPort = 65535;
}  // namespace

Checked<uint8_t> NewModbusAddress(std::string_view text) {
  if (text.empty()) return {std::nullopt, gateway_text::kAddressNotEntered};
  const int n = ParseDecimal(text).value_or(kNotANumberAddress);
  if (n >= 255) return {std::nullopt, gateway_text::kInvalidAddress};
  return {static_cast<uint8_t>(n), {}};
}

GatewayRequest ModbusAddressRequest(uint8_t address) {
  return WriteSingle(reg::kModbusAddress, address);
}

ReadoutPeriod ReadoutPeriodValue(int minutes) {
  minutes = control_range::kReadoutMinutes.Clamp(minutes);
  return {minutes, static_cast<uint16_t>(minutes * 60)};
}

GatewayRequest ReadoutPeriodRequest(int minutes) {
  return WriteSingle(reg::kReadoutPeriod, ReadoutPeriodValue(minutes).seconds);
}

FlagCode FlagCodeFor(FlagFunction f, bool state01) {
  FlagCode fc{reg::kMbusFlags, 0};
  switch (f) {
    case FlagFunction::SndNke: fc = {reg::kMbusFlags, reg::kFlagSndNke}; break;
    case FlagFunction::Use7B: fc = {reg::kMbusFlags, reg::kFlag7B}; break;
    case FlagFunction::StartMbus: fc = {reg::kMbusFlags, reg::kFlagStartMbus}; break;
    case FlagFunction::Sort: fc = {reg::kMbusFlags, reg::kFlagSort}; break;
    case FlagFunction::Dhcp: fc = {reg::kNetworkFlags, reg::kFlagDhcp}; break;
    case FlagFunction::Reset: fc = {reg::kNetworkFlags, reg::kFlagReset}; break;
  }
  if (state01) fc.code = static_cast<uint8_t>(fc.code | reg::kFlagStateBit);
  return fc;
}

Checked<GatewayRequest> FlagRequest(std::optional<FlagFunction> checked, bool state01) {
  if (!checked) return {std::nullopt, gateway_text::kNothingSelectedFlag};
  const FlagCode fc = FlagCodeFor(*checked, state01);
  return {WriteSingle(fc.reg, fc.code), {}};
}

Checked<GatewayRequest> ValueEncodingRequest(bool realValues, bool transformValues) {
  if (realValues) return {WriteSingle(reg::kMbusFlags, reg::kFlagValueEncoding), {}};
  if (transformValues) {
    return {WriteSingle(reg::kMbusFlags, reg::kFlagValueEncoding | reg::kFlagStateBit), {}};
  }
  return {std::nullopt, gateway_text::kSelectValueType};
}

const std::array<NetworkSetting, 10>& NetworkSettings() {
  static const std::array<NetworkSetting, 10> kSettings = {{
      {"IP address", reg::kNetIpAddress},
      {"Gateway", reg::kNetGateway},
      {"Mask", reg::kNetMask},
      {"Control IP #1", reg::kNetControlIp1},
      {"Control IP #2", reg::kNetControlIp2},
      {"Operator IP #1", reg::kNetOperatorIp1},
      {"Operator IP #2", reg::kNetOperatorIp2},
      {"Operator IP #3", reg::kNetOperatorIp3},
      {"Operator IP #4", reg::kNetOperatorIp4},
      {"Net number (optional)", reg::kNetNumber},
  }};
  return kSettings;
}

std::optional<uint16_t> NetworkSettingRegister(std::string_view itemText) {
  for (const auto& s : NetworkSettings()) {
    if (itemText == s.itemText) return s.reg;
  }
  return std::nullopt;
}

std::optional<std::array<uint8_t, 4>> ParseDottedAddress(std::string_view text) {
  std::array<uint8_t, 4> out{};
  size_t part = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '.') continue;
    if (part >= out.size()) return std::nullopt;  // a fourth point
    const auto n = ParseDecimal(text.substr(start, i - start));
    if (!n || *n > 255) return std::nullopt;
    out[part++] = static_cast<uint8_t>(*n);
    start = i + 1;
  }
  if (part != out.size()) return std::nullopt;
  return out;
}

std::optional<GatewayRequest> ProgramIpRequest(std::string_view itemText, std::string_view ipText) {
  const auto reg = NetworkSettingRegister(itemText);
  if (!reg) return std::nullopt;
  const auto ip = ParseDottedAddress(ipText);
  if (!ip) return std::nullopt;
  return WriteMultiple(*reg, ByteString(ip->begin(), ip->end()));
}

Checked<uint16_t> ListenPort(std::string_view text) {
  if (text.empty()) return {std::nullopt, gateway_text::kPortNotEntered};
  const int n = ParseDecimal(text).value_or(kNotANumberPort);
  // Above 65535 only the low 16 bits would travel: 70000 would program port 4464.
  if (n < kMinListenPort || n > kMaxListenPort) return {std::nullopt, gateway_text::kInvalidPort};
  return {static_cast<uint16_t>(n), {}};
}

GatewayRequest ListenPortRequest(uint16_t port) { return WriteSingle(reg::kListenPort, port); }

Checked<ByteString> SerialNumberBytes(std::string_view text) {
  constexpr size_t kDigits = 8;
  if (text.size() != kDigits) return {std::nullopt, gateway_text::kWrongId};
  for (char c : text) {
    if (c < '0' || c > '9') {
      return {std::nullopt,
              std::string(gateway_text::kIdConversionPrefix) + NotAnIntegerText(std::string(1, c))};
    }
  }
  return {DigitsToBcd(text), {}};
}

GatewayRequest SerialNumberRequest(const ByteString& bcd) {
  return WriteMultiple(reg::kSerialNumber, bcd);
}

}  // namespace orvio
