// A gateway's site file: what a technician keeps of one gateway (its name and notes, the gateway
// as read, the settings written to it that it cannot show again, its map of activated devices and
// the meters on its line with their last telegrams), the differences between two of them, the
// requests that write one back into a gateway, and the commissioning report's table.
//
// The file is JSON with a `format` number; a file of a newer format than this program knows is
// refused, not half read.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/gateway/device_map.h"
#include "core/gateway/gateway_request.h"

namespace orvio::site {

inline constexpr int kFormat = 1;

// Where a setting's value comes from: read from the gateway, or taken from the controls it was
// written from (the gateway has no register to read it back).
enum class Source { kRead, kWritten };

struct Setting {
  std::string key;    // stable, e.g. "ip", "readout_minutes" (the keys below)
  std::string name;   // as shown to the technician, e.g. "IP", "Readout/update time (minutes)"
  std::string value;  // as shown, e.g. "192.168.1.100", "15"
  Source source = Source::kRead;
};

// A row of the M-Bus device table, with the last telegram the meter sent.
struct Meter {
  std::string id, address, manufacturer, value, unit, medium, status, time;
  std::string telegram;  // upper-case hex without blanks; "" when none was kept
};

struct Site {
  int format = kFormat;
  std::string name;        // the site, as typed
  std::string notes;       // free text, as typed (may hold line breaks)
  std::string technician;  // who saved it
  std::string saved;       // local date and time of saving, "YYYY-MM-DD HH:MM:SS"
  std::string orvioVersion;
  std::vector<Setting> settings;        // read ones first (readout order), then written ones
  std::vector<DeviceRowCells> devices;  // the gateway's device map, as the device table shows it
  std::vector<Meter> meters;
};

// ---- the settings' keys ----
// Read from the gateway (the status readout's items, in its order):
//   active_devices, mbus_flags, working_days, active_bitmap, card_version, identification, ip,
//   gateway, mask, control_ip_1, control_ip_2, data_ip_1, data_ip_2, network_number
// Written from the window's controls:
//   mbus_between_readings, mbus_wait_respond (tenths of a second, "0".."99"),
//   readout_minutes ("1".."720"), mbus_port, modbus_port ("<baud> <parity>", e.g. "2400 Even"),
//   modbus_address ("0".."254"), flag ("<caption> <0|1>", e.g. "Sort 1"),
//   value_encoding ("real" or "general"), listen_port ("50".."65535")

// The key and display name of status readout step 1..14; the value is the step's line without
// its label.
struct ReadItem {
  const char* key;
  const char* name;
};
const std::array<ReadItem, 14>& ReadItems();

// ---- the file ----
std::string SiteJson(const Site& site);  // pretty-printed, ends with a line break

struct Loaded {
  std::optional<Site> site;
  std::string error;  // why the file cannot be used, for a message box or standard error
};
// Refuses, with a clear error: not JSON, not a site file, a newer format, a field of the wrong
// type, a device row with the wrong number of cells, a telegram that is not hex.
Loaded ParseSite(std::string_view bytes);

// ---- comparing ----
struct Difference {
  std::string key;           // setting key, or "device:<address>"
  std::string name;          // "IP", "Device at address 5"
  std::string fileValue;     // "" when the file does not have it
  std::string gatewayValue;  // "" when the gateway does not have it
};
// What differs between the file and the gateway as read now: the read settings (except the
// working-day counter, which counts on by itself) and the activated devices by primary address.
// Written settings are not compared: the gateway cannot show them.
std::vector<Difference> Compare(const Site& file, const Site& gateway);

// ---- restoring ----
struct RestoreStep {
  std::string name;  // what the step writes, for the preview and the trace ("IP 192.168.1.100")
  GatewayRequest request;
};
// The requests that write the file into a gateway, in this order: network addresses, written
// settings (the Modbus address last of these), then one activation per device of the map.
// Settings whose value cannot be parsed are left out (listed in `skipped`).
struct RestorePlan {
  std::vector<RestoreStep> steps;
  std::vector<std::string> skipped;
};
RestorePlan PlanRestore(const Site& file);

// ---- the commissioning report's data as CSV (the PDF's tables, one section each) ----
std::string ReportCsv(const Site& site);

}  // namespace orvio::site
