// The gateway's map of activated devices: one record of 24 or 28 input registers per device,
// decoded register by register into a TModbusDevice and shown as one GridDevices row; and the
// requests that activate and delete devices.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/gateway/gateway_request.h"
#include "core/modbus/answer.h"

namespace orvio {

namespace device_text {
inline constexpr char kNoActiveDevices[] = "No active devices in ZELK memory...";
inline constexpr char kNumberOfDevices[] = "Number of devices: ";
inline constexpr char kActivating[] = "Activating device ";
inline constexpr char kAddressErrorAtRow[] = "Error in Primary address at row ";
inline constexpr char kActivationFinished[] = "Activation process finished!";
inline constexpr char kClearTableException[] = "Exception on clear table - ";
inline constexpr char kDeleteCaption[] = "Delete Confirmation";
inline constexpr char kDeleteQuestion[] = "Are you sure you want to DELETE Device?";
inline constexpr char kDeleteAllQuestion[] = "Are you sure you want to DELETE ALL?";
inline constexpr char kActivateAllIdle[] = "Activate All in table";
inline constexpr char kActivateAllRunning[] = "Stop activation";
inline constexpr char kSelectedPrefix[] = "Selected: ";
// The readback's line for a record the full device table has no row for.
inline constexpr char kTableFull[] = "Device table full (250 rows): not shown, record ";
}  // namespace device_text

// One decoded device-map record.
//  k   hi                        lo
//  1   primary address           medium code
//  2,3 identification digits 1-4, 5-8
//  4   manufacturer code low     manufacturer code high
//  5   main VIF                  -
//  6   main code digits 1-2      digits 3-4
//  7   -                         unit code of transformed values
//  8   input 1                   input 2
//  9   -                         device flags (bit 5: transformed values)
// 10   -                         M-Bus status
// 11,12 main value (high word, low word); 13..20 tariff values 1..4 likewise
// 21,22 tariff starts 1/2, 3/4;  23,24 tariff ends 1/2, 3/4
// 25,26 flow value (28-register records only); 27, 28 unused
struct TModbusDevice {
  uint8_t PrimaryAddress = 0;
  std::string MediumText;
  std::string Identification;
  std::string Manufacturer;
  uint8_t MainVif = 0;
  double Multiplier = 0.0;
  std::string UnitName;
  std::string MainCode;
  uint8_t GeneralUnitCode = 0;
  uint8_t Input1 = 0;
  uint8_t Input2 = 0;
  uint8_t DeviceFlags = 0;
  uint8_t MbusStatus = 0;
  int32_t MainValue = 0;
  int32_t TariffValue1 = 0;
  int32_t TariffValue2 = 0;
  int32_t TariffValue3 = 0;
  int32_t TariffValue4 = 0;
  int32_t FlowValue = 0;
  uint8_t TariffStart1 = 0, TariffStart2 = 0, TariffStart3 = 0, TariffStart4 = 0;
  uint8_t TariffEnd1 = 0, TariffEnd2 = 0, TariffEnd3 = 0, TariffEnd4 = 0;
};

struct UnitEntry {
  std::string_view name;
  double multiplier;
};
// Main VIF -> unit text and multiplier; "Not supported", 1 for VIFs outside the table.
UnitEntry UnitTable(uint8_t vif);
// Unit of transformed values by general unit code ("Not supported" beyond 6).
std::string_view TransformedUnit(uint8_t code);
// Medium code -> text ("Reserved/Error" beyond 25).
std::string_view MediumTable(uint8_t code);
// Manufacturer letters of register 4: v = lo * 256 + hi, three 5-bit letters (+64).
std::string ManufacturerLetters(uint8_t hi, uint8_t lo);

// Record size for the Modbus card version: 28 above 0.2 (hi != 0 or lo > 2), else 24.
int DeviceRecordSize(uint8_t versionHi, uint8_t versionLo);
// Read request of record n (1-based): input registers 1 + (n - 1) * R, count R.
GatewayRequest DeviceRecordRequest(int index, int recordSize);

// Decodes the registers of a record answer (ReadAnswerRegisters after the device-map form of
// ValidateAnswer), register 1 first; a short record leaves the later fields zero.
TModbusDevice DecodeDeviceRecord(const std::vector<RegisterValue>& registers);

inline constexpr int kDeviceColumns = 15;
using DeviceRowCells = std::array<std::string, kDeviceColumns>;
// The fifteen GridDevices cells of a record; column 14 (flow) only for 28-register records.
// Values are scaled by the multiplier and written with 8 significant digits and 3 decimals.
DeviceRowCells DeviceRow(const TModbusDevice& d, int recordSize, char decimalSeparator = '.');

// ---- Activation and deletion (write single register, value 0:lo) -----------------------------
GatewayRequest ActivateRequest(uint8_t address);       // register 0
GatewayRequest DeleteRequest(uint8_t address);         // register 1
GatewayRequest DeleteAllRequest();                     // register 1 = 255
GatewayRequest ExcludeInputsRequest(uint8_t address);  // register 2
GatewayRequest SearchAndActivateRequest();             // register 25704 = 250
// "Write modbus": one request per checked switch, in the order activate, delete, delete inputs.
std::vector<GatewayRequest> WriteModbusRequests(bool activate, bool del, bool deleteInputs,
                                                uint8_t address);
// Search and activate: the new-address box read as a decimal (a non-number counts as 255) must
// be below 255.
bool SearchAndActivateAddressOk(std::string_view addressText);

// An "Addr " cell as a primary address: decimal digits only, 0..255; nothing otherwise.
std::optional<int> ParseDeviceAddress(std::string_view cell);

// One Activate All answer (taken, RTU form, CRC not checked): failed when empty, from another
// unit address, not function 6, or 5 bytes long (an exception answer).
bool ActivateAnswerFailed(std::string_view answer, uint8_t slave);
// "RCVD:" and the answer with one blank before each byte (" 01 06"); "RCVD:" alone when empty.
std::string ActivateReceivedLine(std::string_view answer);

}  // namespace orvio
