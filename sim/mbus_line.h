// The simulated M-Bus line behind the gateway's tunnel: meters that answer requests the way
// EN 13757-2/-3 slaves do. It encodes its telegrams itself on purpose, so that the program's
// decoder and this encoder check each other.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/gateway_sim.h"

namespace orvio::sim {

// Hex text ("68 0B 0B 68", "680B0B68", "0x68,0x0B") to bytes; false on a non-hex character or an
// odd digit count.
bool ParseHex(std::string_view text, std::string* bytes);
std::string ToHex(std::string_view bytes);  // "68 0B 0B 68"

uint16_t PackManufacturer(std::string_view letters);  // "ABB" -> 0x0442
std::string UnpackManufacturer(uint16_t code);

// Splits the data records of a telegram's data area. Stops at a 0x0F/0x1F manufacturer-specific
// DIF (the rest becomes one record with an empty data field) and at 0x2F filler bytes. Returns
// false when a record runs past the end.
bool SplitRecords(std::string_view area, std::vector<DataRecord>* records);

// Length of the M-Bus frame at the start of `bytes` (single character E5, short frame 10 .. 16,
// long frame 68 L L 68 .. 16) when it is complete and its checksum holds; 0 otherwise.
size_t MbusFrameLength(std::string_view bytes);

// Fills id, manufacturer, version, medium, status, primary address and records of `meter` from
// its raw_telegram (an RSP_UD long frame with CI 72). Returns an empty string or the error.
std::string AdoptRawTelegram(Meter* meter);

// Checks a meter description; returns an empty string or the reason it cannot be on the line.
std::string CheckMeter(const Meter& meter);

class MbusLine {
 public:
  std::vector<Meter>& meters() { return meters_; }
  const std::vector<Meter>& meters() const { return meters_; }

  // Sends one telegram on the line and returns what the line carried back: nothing, one
  // answer, or several answers superimposed (a collision, which never passes the M-Bus checks).
  std::string Transact(std::string_view request);

 private:
  std::string Superimpose(const std::vector<std::string>& answers) const;
  void ApplyWrite(Meter& meter, std::string_view records);

  std::vector<Meter> meters_;
};

}  // namespace orvio::sim
