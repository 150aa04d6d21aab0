// The gateway's register model: the state a ZELK gateway keeps across requests and the answer
// it gives to one Modbus request PDU. Not thread-safe by itself: GatewaySim guards it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/mbus_line.h"

namespace orvio::sim {

// Register addresses as they travel in requests.
namespace reg {
constexpr uint16_t kActivate = 0;
constexpr uint16_t kDelete = 1;
constexpr uint16_t kExcludeInputs = 2;
constexpr uint16_t kReadoutPeriod = 3;
constexpr uint16_t kTimeBetween = 4;
constexpr uint16_t kTimeRespond = 5;
constexpr uint16_t kMbusFlags = 6;
constexpr uint16_t kNetworkFlags = 7;
constexpr uint16_t kClock = 16;  // 4 registers
constexpr uint16_t kSearchActivate = 25704;
constexpr uint16_t kActiveDevices = 32768;
constexpr uint16_t kFlagState = 32769;
constexpr uint16_t kWorkingDays = 32770;
constexpr uint16_t kModbusAddress = 32785;
constexpr uint16_t kModbusBaud = 32786;
constexpr uint16_t kMbusBaud = 32787;
constexpr uint16_t kTunnelStatus = 33799;
constexpr uint16_t kTunnel = 33800;
constexpr uint16_t kTunnelEnd = 33930;     // 131 registers: the longest M-Bus frame, 261 bytes
constexpr uint16_t kSerialNumber = 55330;  // 2 registers
constexpr uint16_t kNetwork = 55400;       // 55400 .. 55421
constexpr uint16_t kNetworkEnd = 55421;
constexpr uint16_t kListenPort = 56002;
constexpr uint16_t kRealAddresses = 59400;  // 32 registers
constexpr uint16_t kBitmap = 59500;         // 16 registers
constexpr uint16_t kCardVersion = 60000;
constexpr uint16_t kDeviceMapEnd = 1999;  // records from register 1 on
}  // namespace reg

constexpr int kMaxDevices = 64;

// Tunnel answer states (high byte of register 33799): 3 or less while busy.
enum TunnelState : uint8_t {
  kTunnelIdle = 0,
  kTunnelBusy = 2,
  kTunnelAnswered = 4,
  kTunnelNoAnswer = 5,
};

struct ModelAnswer {
  bool none = false;     // nothing to answer (unknown empty PDU)
  int exception = 0;     // exception code, 0 = ordinary answer
  bool read = false;     // 0x03 / 0x04 answer with `registers`
  bool input = false;    // ... from the input registers
  uint16_t address = 0;  // start register of a read or write
  std::vector<uint16_t> registers;
  std::string pdu;  // the reply PDU (function code first), filled for every answer
};

class GatewayModel {
 public:
  using Now = std::function<std::chrono::system_clock::time_point()>;

  GatewayModel();  // an empty gateway: no meters, default settings

  // Acts on one request PDU (function code first) addressed to this gateway.
  ModelAnswer Handle(std::string_view pdu);

  int InputRegister(uint16_t address) const;  // -1: no such register
  int HoldingRegister(uint16_t address) const;
  // Writes as function 0x10 would (0x06 is a block of one). Returns the exception code or 0.
  int WriteHolding(uint16_t address, const std::vector<uint16_t>& values);

  std::vector<uint16_t> DeviceRecord(size_t slot) const;  // R registers of record slot+1
  int RecordSize() const;                                 // 24 or 28
  std::string IdentificationPdu(uint8_t code, uint8_t object, int* exception) const;

  std::vector<int> DeviceTime() const;
  std::vector<int> ClockWithWrite(uint16_t a, const std::vector<uint16_t>& values) const;
  void SetDeviceTime(int year, int month, int day, int hour, int minute, int second);
  std::chrono::system_clock::time_point NowTime() const { return now_(); }

  int Activate(int primary_address);  // exception code or 0
  void Delete(int primary_address);   // 255 = all
  void SearchAndActivate();
  uint8_t MetersOnLine() const;

  MbusLine line;
  Now now_ = [] { return std::chrono::system_clock::now(); };
  uint8_t unit = 1;
  uint8_t card_major = 1, card_minor = 3;
  uint8_t working_days = 42;
  uint8_t flags = 0x03;  // bit 0 SND_NKE used, bit 1 0x7B used
  bool transformed = false;
  bool mbus_started = true, sort = false, dhcp = false;
  uint8_t last_flag_code = 0, last_network_code = 0;
  uint16_t readout_period = 900, time_between = 5, time_respond = 10;
  uint16_t modbus_baud = 0x40, mbus_baud = 0x20;
  uint16_t listen_port = 502;
  uint16_t serial_number[2] = {0x2401, 0x0017};
  uint16_t network[reg::kNetworkEnd - reg::kNetwork + 1] = {};
  std::vector<std::string> identification;
  int64_t clock_offset_s = 0;  // device clock minus the host's local wall clock

  struct Slot {
    int primary_address = 0;
    bool inputs_excluded = false;
  };
  std::vector<Slot> slots;

  std::chrono::milliseconds line_time{200};
  std::string tunnel_request;  // bytes as written (padded to whole registers)
  std::string tunnel_answer;
  std::chrono::system_clock::time_point tunnel_ready{};
  bool tunnel_used = false;
  std::vector<TunnelExchange> tunnel_log;

  std::map<uint16_t, uint16_t> pinned_input;                // SetInputRegister
  std::map<uint16_t, uint16_t> extra_input, extra_holding;  // scenario registers

 private:
  bool InputValid(uint16_t address) const;
  bool HoldingValid(uint16_t address) const;
  int ComputedInput(uint16_t address) const;
  int CheckWrite(uint16_t address, const std::vector<uint16_t>& values) const;
  void ApplyWrite(uint16_t address, uint16_t value);
  void TunnelWrite(const std::string& bytes);
  int64_t LocalWallSeconds() const;
};

}  // namespace orvio::sim
