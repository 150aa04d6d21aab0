// Values and requests of the gateway's configuration commands: timing registers, clock, port
// speeds, Modbus address, readout period, flag codes, value encoding, network settings, listen
// port and serial number. Each function checks its inputs and returns either what to send or
// the memo text of the refusal; the window adds the link check and does the sending.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/gateway/gateway_request.h"
#include "core/text/number.h"  // ParseDecimal

namespace orvio {

// Memo texts of the configuration commands.
namespace gateway_text {
inline constexpr char kNoLink[] = "Serial or TCP port for modbus is not open...";
inline constexpr char kErrorInTimeouts[] = "Error in timeouts...";
inline constexpr char kWrongBaudOrParity[] = "Wrong baud or parity selected...";
inline constexpr char kSelectPort[] = "Select either FP or Modbus device...";
inline constexpr char kAddressNotEntered[] = "Modbus address not entered";
inline constexpr char kInvalidAddress[] = "Invalid new modbus address entered...";
inline constexpr char kNothingSelectedFlag[] = "Nothing selected as a flag function...";
inline constexpr char kSelectValueType[] =
    "Select what type of values you want - real or pre-defined to general units...";
inline constexpr char kPortNotEntered[] = "Modbus TCP port not entered";
inline constexpr char kInvalidPort[] = "Invalid modbus TCP port entered...";
inline constexpr char kWrongId[] = "Wrong ID - must be 8-digit...";
inline constexpr char kIdConversionPrefix[] = "Exception converting ID - ";
inline constexpr char kMbusPortMaxBaudText[] = "2400";
}  // namespace gateway_text

// Either a value or the reason it was refused (an empty reason: refused without a message).
template <typename T>
struct Checked {
  std::optional<T> value;
  std::string error;
  bool ok() const { return value.has_value(); }
};

// The toolkit's text for a failed integer conversion: 'abc' is not a valid integer value
std::string NotAnIntegerText(std::string_view text);

// ---- Write Timeout Registers ------------------------------------------------------------------
// Register 4 ("between 2 readings") or else 5 ("wait respond for"), value 0:position (0..99).
Checked<GatewayRequest> TimeoutRequest(bool between, bool respond, int position);

// ---- Write baud and parity ----------------------------------------------------------------------
// Speed index in bits 4..7 (300 -> 0 .. 115200 -> 8), parity in bits 0..1 (Even 0, Odd 1,
// None 2). Texts are compared exactly; nothing when either is not in its list.
std::optional<uint8_t> BaudParityCode(std::string_view baudText, std::string_view parityText);
// The gateway's M-Bus port is never set above 9600: a speed above it becomes "2400". A speed
// text that is not a number gives the conversion error and the command ends.
Checked<std::string> MbusPortBaudText(std::string_view baudText);
// Register 32787 for the M-Bus port, else 32786 for the Modbus port, value 0:code.
Checked<GatewayRequest> BaudParityRequest(bool mbusPort, bool modbusPort, uint8_t code);

// ---- Set new modbus address -----------------------------------------------------------------
// Empty text -> "Modbus address not entered"; a text that is not a number counts as 255;
// 255 and above -> "Invalid new modbus address entered...". 0 is accepted.
Checked<uint8_t> NewModbusAddress(std::string_view text);
GatewayRequest ModbusAddressRequest(uint8_t address);

// ---- Update (readout period) ------------------------------------------------------------------
struct ReadoutPeriod {
  int minutes;       // the up-down position after correction (1..720)
  uint16_t seconds;  // value written to register 3
};
// Minutes of 0 or less become 1; above 720 (the up-down's range, and 65535 s) become 720.
ReadoutPeriod ReadoutPeriodValue(int minutes);
GatewayRequest ReadoutPeriodRequest(int minutes);

// ---- Set Universal Mbus Flags -----------------------------------------------------------------
enum class FlagFunction { SndNke, Use7B, StartMbus, Sort, Dhcp, Reset };
struct FlagCode {
  uint16_t reg;  // 6 (M-Bus functions) or 7 (network functions)
  uint8_t code;  // function code, bit 7 set for "0/1"
};
FlagCode FlagCodeFor(FlagFunction f, bool state01);
Checked<GatewayRequest> FlagRequest(std::optional<FlagFunction> checked, bool state01);

// ---- Set values (register 6, code 6) ----------------------------------------------------------
// 6 = return real values, 6 | 0x80 = transform values to general units.
Checked<GatewayRequest> ValueEncodingRequest(bool realValues, bool transformValues);

// ---- Network settings -------------------------------------------------------------------------
struct NetworkSetting {
  const char* itemText;
  uint16_t reg;
};
// The items of the setting-type box, in list order.
const std::array<NetworkSetting, 10>& NetworkSettings();
std::optional<uint16_t> NetworkSettingRegister(std::string_view itemText);
// a.b.c.d: exactly three points, four non-empty decimal parts, each below 256.
std::optional<std::array<uint8_t, 4>> ParseDottedAddress(std::string_view text);
// Program IP: nothing (and no message) for an unknown type or an invalid address.
std::optional<GatewayRequest> ProgramIpRequest(std::string_view itemText, std::string_view ipText);

// Listen port: empty -> "Modbus TCP port not entered"; not a number counts as 49; below 50 or
// above 65535 -> "Invalid modbus TCP port entered...".
Checked<uint16_t> ListenPort(std::string_view text);
GatewayRequest ListenPortRequest(uint16_t port);

// Serial number: exactly 8 characters, each a decimal digit, packed as BCD (d1 d2)(d3 d4)...
Checked<ByteString> SerialNumberBytes(std::string_view text);
GatewayRequest SerialNumberRequest(const ByteString& bcd);

}  // namespace orvio
