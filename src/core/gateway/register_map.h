// The ZELK gateway's register map: every function code, register, count and fixed payload value
// that the program sends. Register numbers are the 16-bit addresses that travel in the request;
// no offset of one is added or removed anywhere.
#pragma once

#include <cstdint>

namespace orvio::reg {

// ---- Function codes -------------------------------------------------------------------------
inline constexpr uint8_t kFnReadHolding = 0x03;    // read holding registers
inline constexpr uint8_t kFnReadInput = 0x04;      // read input registers
inline constexpr uint8_t kFnWriteSingle = 0x06;    // write single register
inline constexpr uint8_t kFnWriteMultiple = 0x10;  // write multiple registers (also date/time)
inline constexpr uint8_t kFnDeviceIdentification = 0x2B;  // encapsulated interface transport
inline constexpr uint8_t kMeiReadDeviceId = 0x0E;         // MEI type: read device identification
inline constexpr uint8_t kDeviceIdCodeRegular = 2;        // read-device-id code used by the status
inline constexpr uint8_t kDeviceIdObject = 0;             // object id, always 0

// ---- Input registers (function 0x04) --------------------------------------------------------
// Device-map record n starts at 1 + (n - 1) * R, R registers long (R = 24 or 28).
inline constexpr uint16_t kDeviceRecordBase = 1;
inline constexpr uint16_t kDeviceRecordShort = 24;  // records of Modbus card version <= 0.2
inline constexpr uint16_t kDeviceRecordLong = 28;   // records of later versions (flow value)
// lo = first number of "Active devices: ", hi = number shown after "/".
inline constexpr uint16_t kActiveDevices = 32768;  // 0x8000, count 1
// lo bit 0 = SND_NKE used, lo bit 1 = 0x7B used (clear: 0x5B).
inline constexpr uint16_t kMbusFlagState = 32769;  // 0x8001, count 1
inline constexpr uint16_t kWorkingDays = 32770;    // 0x8002, count 1, lo = working days
inline constexpr uint16_t kStatusRegisterCount = 1;
// Tunnel answer status: lo = length of the held M-Bus answer, hi = state (fetch when lo != 0
// and hi > 3).
inline constexpr uint16_t kTunnelStatus = 33799;  // 0x8407, count 1
inline constexpr uint8_t kTunnelReadyState = 3;   // answer ready when state is above this
// Tunnel block: M-Bus answer bytes read back (0x04), request telegram written (0x10); two bytes
// per register, first byte high, an odd length padded with one 0x00.
inline constexpr uint16_t kTunnelBlock = 33800;  // 0x8408
// Modbus device slot N (1..64) -> M-Bus primary address; slot 2k-1 = hi, 2k = lo of register k.
inline constexpr uint16_t kRealAddresses = 59400;  // 0xE808
inline constexpr uint16_t kRealAddressCount = 32;
// Active-device bitmap: 256 bits, one per device slot; its 1 bits count the device records.
inline constexpr uint16_t kActiveBitmap = 59500;  // 0xE86C
inline constexpr uint16_t kActiveBitmapCount = 16;
inline constexpr int kActiveBitmapBytes = 32;
// Modbus card version: hi = major, lo = minor; above 0.2 the records have 28 registers.
inline constexpr uint16_t kCardVersion = 60000;  // 0xEA60, count 1

// ---- Holding registers: network settings (0x03 read, 0x10 write, 2 registers = a.b.c.d) -----
inline constexpr uint16_t kNetIpAddress = 55400;    // 0xD868 own IP address
inline constexpr uint16_t kNetGateway = 55402;      // 0xD86A default gateway
inline constexpr uint16_t kNetMask = 55404;         // 0xD86C subnet mask
inline constexpr uint16_t kNetControlIp1 = 55406;   // 0xD86E control IP #1
inline constexpr uint16_t kNetControlIp2 = 55408;   // 0xD870 control IP #2
inline constexpr uint16_t kNetOperatorIp1 = 55410;  // 0xD872 operator IP #1 ("DATA IP #1")
inline constexpr uint16_t kNetOperatorIp2 = 55412;  // 0xD874 operator IP #2 ("DATA IP #2")
inline constexpr uint16_t kNetOperatorIp3 = 55414;  // 0xD876 operator IP #3 (never read back)
inline constexpr uint16_t kNetOperatorIp4 = 55416;  // 0xD878 operator IP #4 (never read back)
inline constexpr uint16_t kNetNumber = 55420;       // 0xD87C network number (identification)
inline constexpr uint16_t kNetAddressCount = 2;     // registers per address
inline constexpr int kNetAddressBytes = 4;
// Serial number: 8 BCD digits in 4 bytes, first digit in the high nibble of the first byte.
inline constexpr uint16_t kSerialNumber = 55330;  // 0xD822, write multiple, 2 registers
inline constexpr uint16_t kSerialNumberCount = 2;

// ---- Single registers written with 0x06 (value hi:lo) ---------------------------------------
inline constexpr uint16_t kActivateDevice = 0;  // lo = M-Bus primary address to activate
inline constexpr uint16_t kDeleteDevice = 1;    // lo = primary address, 255 = all
inline constexpr uint8_t kDeleteAllAddress = 255;
inline constexpr uint16_t kExcludeInputs = 2;          // lo = primary address: drop its 2 inputs
inline constexpr uint16_t kReadoutPeriod = 3;          // hi:lo = readout period in seconds
inline constexpr uint16_t kTimeBetweenReadings = 4;    // lo = 0..99, unit 0.1 s
inline constexpr uint16_t kTimeWaitRespond = 5;        // lo = 0..99, unit 0.1 s
inline constexpr uint16_t kMbusFlags = 6;              // lo = flag function code | 0x80 state
inline constexpr uint16_t kNetworkFlags = 7;           // lo = network function code | 0x80 state
inline constexpr uint8_t kFlagStateBit = 0x80;         // bit 7 of registers 6 and 7: "0/1"
inline constexpr uint8_t kFlagSndNke = 1;              // register 6: SND_NKE
inline constexpr uint8_t kFlag7B = 2;                  // register 6: 0x7B instead of 0x5B
inline constexpr uint8_t kFlagStartMbus = 9;           // register 6: start M-Bus
inline constexpr uint8_t kFlagSort = 10;               // register 6: sort
inline constexpr uint8_t kFlagValueEncoding = 6;       // register 6: 6 real, 6|0x80 transformed
inline constexpr uint8_t kFlagDhcp = 1;                // register 7: DHCP
inline constexpr uint8_t kFlagReset = 17;              // register 7: reset
inline constexpr uint16_t kSearchAndActivate = 25704;  // 0x6468, lo = 250
inline constexpr uint8_t kSearchAndActivateValue = 250;
inline constexpr uint16_t kModbusAddress = 32785;    // 0x8011, lo = new slave address 0..254
inline constexpr uint16_t kModbusPortSpeed = 32786;  // 0x8012, lo = BaudParityCode
inline constexpr uint16_t kMbusPortSpeed = 32787;    // 0x8013, lo = BaudParityCode
inline constexpr uint16_t kListenPort = 56002;       // 0xDAC2, hi:lo = Modbus TCP port

// ---- Date and time (0x10) -------------------------------------------------------------------
// 8 bytes: second, minute, hour, day of week (1 = Monday), day, month, year, 0 (WriteDateTimePdu).
inline constexpr uint16_t kDateTime = 16;      // 0x0010
inline constexpr uint16_t kDateTimeCount = 4;  // the only count the sender allows
inline constexpr int kDateTimeBytes = 8;

// ---- Device-map record contents -------------------------------------------------------------
inline constexpr uint8_t kDeviceFlagTransformed = 0x20;  // register 9 lo bit 5: general units

}  // namespace orvio::reg
