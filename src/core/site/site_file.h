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
  bool operator==(const Setting&) const = default;
};

// A row of the M-Bus device table, with the last telegram the meter sent.
struct Meter {
  std::string id, address, manufacturer, value, unit, medium, status, time;
  std::string telegram;  // upper-case hex without blanks; "" when none was kept
  bool operator==(const Meter&) const = default;
};

// Every text of a site is UTF-8 (the window converts its Latin-1 cells before it fills one).
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
  bool operator==(const Site&) const = default;
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

// The JSON keys of the device table's columns, in DeviceRowCells' order: id, address,
// manufacturer, medium, unit, value, t1_value .. t4_value, status, main_vif, aux_vifs,
// tariff_times, flow. The site file's device rows and `orvio-cli devices --json` use them.
const std::array<const char*, kDeviceColumns>& DeviceKeys();

// ---- the file ----
// Pretty-printed (2 spaces), ends with a line break. Keys in this order: format, site {name,
// notes, technician}, saved, orvio_version, settings [{key, name, value, source: "read" or
// "written"}], devices [{DeviceKeys(): the cells as strings}], meters [{id, address,
// manufacturer, value, unit, medium, status, time, telegram}]. A text that is not valid UTF-8 is
// written with U+FFFD in place of its bad bytes (it never throws).
std::string SiteJson(const Site& site);

struct Loaded {
  std::optional<Site> site;
  std::string error;  // why the file cannot be used, for a message box or standard error
};
// Refuses, with a clear error: not JSON, not a site file, a newer format, a field of the wrong
// type, a device row without one of its keys, a telegram that is not hex of whole bytes.
// Fields the file does not have read as empty (a device row must have all its keys); fields this
// version does not know are ignored. A telegram in lower-case hex is taken in upper case. Never
// throws.
Loaded ParseSite(std::string_view bytes);

// ---- comparing ----
struct Difference {
  std::string key;           // setting key, or "device:<address>"
  std::string name;          // "IP", "Device at address 5"
  std::string fileValue;     // "" when the file does not have it
  std::string gatewayValue;  // "" when the gateway does not have it
  bool operator==(const Difference&) const = default;
};
// What differs between the file and the gateway as read now: the read settings (except the
// working-day counter, which counts on by itself) and the activated devices by primary address.
// Written settings are not compared: the gateway cannot show them.
//  - settings by key, values compared with their blanks trimmed: the file's keys in file order,
//    then the keys only the gateway has; a key's first occurrence counts.
//  - devices by the primary address of their `address` cell (rows without a valid one are left
//    out), in address order: key "device:<a>", name "Device at address <a>", values
//    "<ID> <Mfr> <Medium>" ("" when absent); a device whose text differs (another ID) differs.
std::vector<Difference> Compare(const Site& file, const Site& gateway);

// ---- restoring ----
struct RestoreStep {
  std::string name;  // what the step writes, for the preview and the trace ("IP 192.168.1.100")
  GatewayRequest request;
};
// The requests that write the file into a gateway, in this order: network addresses (read
// settings ip .. network_number), the M-Bus flags as read (SND_NKE and 0x7B, one write each),
// written settings in file order, one activation per device of the map (once per primary
// address), then the Modbus address (after it the gateway answers to another address). Settings
// whose value cannot be parsed are left out and listed in `skipped` as "<name>: <value> (why)"; so
// are the "Reset" flag (it restarts the gateway), an M-Bus port above 9600, and the SND_NKE / 0x7B
// flags when the read M-Bus flags already write them.
// With `currentUnit` (the address the gateway answers to now), a Modbus address equal to it is not
// written again.
struct RestorePlan {
  std::vector<RestoreStep> steps;
  std::vector<std::string> skipped;
  std::optional<int> newModbusAddress;  // the address the gateway answers to after the plan
};
RestorePlan PlanRestore(const Site& file, std::optional<int> currentUnit = std::nullopt);

// ---- the commissioning report's data as CSV (the PDF's tables, one section each) ----
// RFC 4180: comma-separated, lines ending in CR LF, a field holding a comma, quote, CR or LF
// quoted with its quotes doubled. Sections, each after a title line and separated by an empty
// line:
//   Site        rows "Name,<..>", "Notes,<..>", "Technician,<..>", "Saved,<..>",
//               "Orvio version,<..>"
//   Gateway     "Name,Value,Source", then one row per setting (source "read" or "written")
//   Device map  the device table's headers (trimmed), then one row per device
//   Meters      "ID,Address,Manufacturer,Medium,Value,Unit,Time", then one row per meter
std::string ReportCsv(const Site& site);

}  // namespace orvio::site
