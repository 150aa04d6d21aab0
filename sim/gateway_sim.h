// The ZELK gateway simulator: a Modbus slave (TCP on loopback, RTU on a pseudo-terminal or a
// serial device) in front of a simulated M-Bus line. Tests start it in-process and steer it
// through this class; people use the orvio-gateway-sim executable built on it.
//
// Every member function is thread-safe: the simulator serves from threads of its own while the
// caller (for instance a test running a Qt event loop) reads and changes the model.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvio::sim {

// One M-Bus data record: header = DIF, DIFEs, VIF, VIFEs; data = the data field bytes as they
// travel (least significant byte first for binary and BCD fields).
struct DataRecord {
  std::string header;
  std::string data;

  // A record whose data field is encoded from `value` according to the DIF's low nibble
  // (0x1..0x4, 0x6, 0x7 binary; 0x5 32-bit real; 0x9..0xC, 0xE BCD). Extra DIFE / VIFE bytes
  // go between DIF and VIF and after the VIF.
  static DataRecord Number(uint8_t dif, uint8_t vif, int64_t value, const std::string& dife = {},
                           const std::string& vife = {});
  // The integer value of the data field (binary little-endian signed, or BCD; a 32-bit real's
  // integer part, saturated at int64's ends, NaN 0); 0 when the field holds none of them.
  int64_t IntegerValue() const;
  uint8_t Dif() const;
  // The first VIF byte (after the DIFEs); 0 when the header has none.
  uint8_t Vif() const;
};

// A meter on the simulated M-Bus line.
struct Meter {
  int primary_address = 0;           // 0..250
  std::string id = "00000000";       // secondary address: 8 decimal digits
  std::string manufacturer = "ZEL";  // three letters A..Z
  uint8_t version = 1;
  uint8_t medium = 0;  // EN 13757-3 medium code (4 heat, 7 water, 2 electricity, 3 gas, 8 HCA)
  uint8_t status = 0;  // status byte of its RSP_UD
  uint8_t access_number = 0;  // incremented with every RSP_UD it sends
  std::vector<DataRecord> records;
  // When not empty the meter answers REQ_UD2 with this telegram instead of encoding one (its
  // address field, medium byte and checksum are patched when the meter's address or medium
  // change). Its identification fields are taken from the telegram when it is added.
  std::string raw_telegram;
  bool selected = false;  // selected by its secondary address

  // Extra fields the gateway publishes in the meter's device-map record.
  uint8_t input1 = 0, input2 = 0;
  int32_t tariff_values[4] = {0, 0, 0, 0};
  uint8_t tariff_start[4] = {0, 0, 0, 0};
  uint8_t tariff_end[4] = {0, 0, 0, 0};

  // The RSP_UD long frame this meter sends now (without advancing its access number).
  std::string Telegram() const;
  uint16_t ManufacturerCode() const;  // the packed 15-bit code of the three letters
};

// A fault to apply to the answers of matching requests.
struct Fault {
  // Which requests it applies to: -1 matches any.
  int function = -1;  // Modbus function code of the request
  int address = -1;   // start register of the request
  // How many matching requests it applies to; 0 = every one (persistent) until ClearFaults.
  int count = 1;

  bool silent = false;           // no answer at all
  int delay_ms = 0;              // answer this much later
  bool bad_crc = false;          // RTU: the two CRC bytes are wrong (TCP frames carry none)
  bool leading_zero = false;     // one 0x00 byte before the unit address
  bool trailing_filler = false;  // one 0x00 byte after the frame
  int exception = -1;            // answer with this exception code (1..255) instead
  int other_unit = -1;           // answer with this unit address instead of the requested one
  int split_parts = 0;      // send the answer in this many pieces (>= frame length: byte by byte)
  int split_delay_ms = 20;  // pause between two pieces
  bool drop_connection = false;  // TCP: close the connection instead of answering (RTU: silent)
};

enum class Transport { kTcp, kRtu };

// A request the simulator received (after framing and, for RTU, the CRC check).
struct LoggedRequest {
  Transport transport = Transport::kTcp;
  uint8_t unit = 0;
  uint8_t function = 0;
  uint16_t address = 0;          // start register (0 for functions without one)
  uint16_t count = 0;            // register count (1 for write single register)
  std::vector<uint16_t> values;  // registers written (0x06, 0x10)
  std::string frame;             // the whole request as received (MBAP or RTU form)
  bool for_us = true;            // addressed to this gateway's unit (or broadcast)
  int exception = 0;             // exception code answered by the model, 0 = none
};

// An answer as it went on the wire: the pieces written, in order.
struct SentAnswer {
  Transport transport = Transport::kTcp;
  std::vector<std::string> pieces;
  bool dropped = false;  // the connection was closed instead
  std::string Bytes() const;
};

// One telegram sent on the M-Bus line through the tunnel, and what came back.
struct TunnelExchange {
  std::string request;  // as written to register 33800 (padding removed when it parses)
  std::string answer;   // what the line returned (empty: nobody answered)
};

class GatewaySim {
 public:
  // Starts with the demo scenario (sim/scenarios/demo.json, built in): ten meters on the line,
  // the five at primary addresses 1..5 activated, card version 1.3, flags SND_NKE and 0x7B,
  // IP 192.168.1.100. Nothing listens until StartTcp / StartRtu.
  GatewaySim();
  ~GatewaySim();  // stops serving and joins every thread
  GatewaySim(const GatewaySim&) = delete;
  GatewaySim& operator=(const GatewaySim&) = delete;

  // ---- serving ----
  // Listens on 127.0.0.1:port (0 picks a free port) and returns the port, -1 on failure.
  int StartTcp(int port = 0);
  int TcpPort() const;
  // Creates a pseudo-terminal and serves Modbus RTU on it; returns the path a client opens
  // (empty on failure).
  std::string StartRtu();
  // Serves Modbus RTU on a serial device (parity 'N', 'E' or 'O'); false on failure.
  bool StartRtuOnDevice(const std::string& path, int baud, char parity);
  std::string RtuPath() const;
  void Stop();  // stops every listener and connection (also done by ~)
  int TcpConnectionsAccepted() const;

  // ---- scenario ----
  // Replaces the model by the scenario (JSON text or file); whatever it leaves out keeps the
  // built-in default. Returns an empty string or the error.
  std::string LoadScenarioText(const std::string& json);
  std::string LoadScenarioFile(const std::string& path);
  void ResetToDefault();  // back to the demo scenario

  // ---- registers ----
  // The value the gateway answers for a register now, or -1 when it has no such register.
  int InputRegister(uint16_t address) const;
  int HoldingRegister(uint16_t address) const;
  // Pins an input register to a value (it then answers that, whatever the model computes);
  // a negative value removes the pin.
  void SetInputRegister(uint16_t address, int value);
  // Writes a holding register as a client's write single register would (same effects).
  // Returns the exception code the gateway would answer, 0 on success.
  int SetHoldingRegister(uint16_t address, uint16_t value);

  // ---- gateway state ----
  uint8_t UnitAddress() const;
  void SetUnitAddress(uint8_t unit);
  void SetCardVersion(uint8_t major, uint8_t minor);  // input register 60000
  void SetWorkingDays(uint8_t days);                  // input register 32770 lo
  void SetMbusFlags(uint8_t flags);                   // input register 32769 lo
  uint8_t MbusFlags() const;
  bool TransformedValues() const;                                   // register 6 code 0x86 in force
  void SetIdentification(const std::vector<std::string>& objects);  // device id objects 0..
  std::vector<std::string> Identification() const;
  std::vector<int> ActivatedDevices() const;   // primary addresses in slot order
  void ActivateDevice(int primary_address);    // as register 0 would, without checks
  void DeactivateDevice(int primary_address);  // 255 = all
  // Device clock: the gateway keeps time from the moment it was set.
  void SetNowSource(std::function<std::chrono::system_clock::time_point()> now);
  void SetDeviceTime(int year, int month, int day, int hour, int minute, int second);
  // second, minute, hour, day of week (1 = Monday), day, month, year - 2000
  std::vector<int> DeviceTime() const;

  // ---- M-Bus line ----
  void SetLineTime(std::chrono::milliseconds line_time);  // tunnel answer delay (default 200)
  std::vector<Meter> Meters() const;
  // Adds a meter (a raw telegram, when given, fills id/manufacturer/version/medium/status).
  // Returns an empty string or why the meter was refused.
  std::string AddMeter(const Meter& meter);
  bool RemoveMeter(const std::string& id);  // by secondary address
  void RemoveAllMeters();
  bool UpdateMeter(const std::string& id, const std::function<void(Meter&)>& change);
  std::vector<TunnelExchange> TunnelLog() const;
  void ClearTunnelLog();
  // Sends a telegram on the line directly (as a tunnel write would, without the line time).
  std::string LineTransact(const std::string& telegram);

  // ---- faults ----
  void InjectFault(const Fault& fault);  // faults are matched in the order they were injected
  void ClearFaults();
  size_t PendingFaults() const;

  // ---- what happened ----
  std::vector<LoggedRequest> Requests() const;
  std::vector<SentAnswer> SentAnswers() const;
  void ClearRequests();  // clears the request log and the answer log
  // Waits until at least n requests were logged since the last ClearRequests (true) or the
  // timeout passed (false). A request is logged once the model has acted on it.
  bool WaitForRequests(size_t n, std::chrono::milliseconds timeout) const;
  bool WaitForRequest(const std::function<bool(const LoggedRequest&)>& match,
                      std::chrono::milliseconds timeout) const;
  bool WaitForAnswers(size_t n, std::chrono::milliseconds timeout) const;
  size_t MalformedFrames() const;  // frames dropped by framing (bad CRC, bad MBAP, ...)

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvio::sim
