// Column headers of the window's three tables (row 0 of each grid). The command line prints its
// tables under the same headers.
#pragma once

#include <array>

namespace orvio {

// gridInputRegisters: register address, high byte, notes, low byte, notes, time of the read.
inline constexpr std::array<const char*, 6> kRegisterTableHeaders = {
    "Addr. modbus", "High ", "Notes/Decode ", "Low ", "Notes/Decode ", "Time "};

// gridLoops, the M-Bus device table (MeterSummary's columns).
inline constexpr std::array<const char*, 8> kMeterTableHeaders = {
    "ID ", "Addr ", "Mfr ", "Value ", "Unit ", "Medium ", "Status ", "Time "};

// GridDevices, the gateway's device map (DeviceRowCells' columns).
inline constexpr std::array<const char*, 15> kDeviceTableHeaders = {
    "ID ",
    "Addr ",
    "Mfr ",
    "Medium ",
    "Unit ",
    "MValue ",
    "T1 Value ",
    "T2 Value ",
    "T3 Value ",
    "T4 Value ",
    "Status ",
    "Main VIF ",
    "Aux VIFs ",
    "Tarriff Start1/2/3/4-End1/2/3/4 ",
    "Flow (25th reg.) "};

}  // namespace orvio
