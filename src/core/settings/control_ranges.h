// The ranges of the window's up-down controls: the window builds each control with its range,
// the settings reader clamps a read setting into it, and the commands that take a control's
// position keep to it.
#pragma once

namespace orvio {

struct ControlRange {
  int min;
  int max;
  constexpr int Clamp(long long value) const {
    return static_cast<int>(value < min ? min : (value > max ? max : value));
  }
};

namespace control_range {
// Kept in the settings file.
inline constexpr ControlRange kMbusTimeout{300, 9900};    // UD_timeout, scan time in ms
inline constexpr ControlRange kSearchFrom{0, 250};        // UDaddressFrom
inline constexpr ControlRange kSearchTo{0, 255};          // UDaddressTo
inline constexpr ControlRange kRetry{0, 9};               // UD_retry
inline constexpr ControlRange kModbusTimeout{50, 20000};  // UD_modbusTimeout, ms
inline constexpr ControlRange kModbusAddress{1, 255};     // UDmodbusAddress
inline constexpr ControlRange kEthTimeout{30, 9999};      // UD_eth_timeout, units of 10 ms
// Not kept.
inline constexpr ControlRange kAutoRead{1, 60};         // UD_auto
inline constexpr ControlRange kTimingPosition{0, 99};   // UD_variousTimes
inline constexpr ControlRange kReadoutMinutes{1, 720};  // UDminutes
inline constexpr ControlRange kNewAddress{1, 250};      // UD_address
}  // namespace control_range

}  // namespace orvio
