#include "core/site/site_file.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

#include "core/gateway/configuration.h"
#include "core/gateway/status_readout.h"
#include "core/settings/control_ranges.h"
#include "core/tables/device_table.h"
#include "core/tables/table_headers.h"
#include "core/text/number.h"

namespace orvio::site {

using Json = nlohmann::ordered_json;

namespace {

constexpr std::array<const char*, kStatusStepCount> kReadKeys = {
    "active_devices", "mbus_flags", "working_days", "active_bitmap", "card_version",
    "identification", "ip",         "gateway",      "mask",          "control_ip_1",
    "control_ip_2",   "data_ip_1",  "data_ip_2",    "network_number"};

// A meter's fields in the file, in their order there.
constexpr std::array<std::pair<const char*, std::string Meter::*>, 9> kMeterFields = {{
    {"id", &Meter::id},
    {"address", &Meter::address},
    {"manufacturer", &Meter::manufacturer},
    {"value", &Meter::value},
    {"unit", &Meter::unit},
    {"medium", &Meter::medium},
    {"status", &Meter::status},
    {"time", &Meter::time},
    {"telegram", &Meter::telegram},
}};

const char* SourceText(Source s) { return s == Source::kRead ? "read" : "written"; }

std::string Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

// ---- reading ----

// A field that cannot be used: the message of ParseSite's refusal.
struct Refusal {
  std::string text;
};

std::string Quoted(std::string_view field) { return "field \"" + std::string(field) + "\""; }

// "site.name", or "saved" at the top level.
std::string Path(const std::string& where, const char* key) {
  return where.empty() ? std::string(key) : where + "." + key;
}

std::string Indexed(std::string_view array, size_t index) {
  return std::string(array) + "[" + std::to_string(index) + "]";
}

// The object at `j`, or a refusal naming `where`.
const Json& Object(const Json& j, const std::string& where) {
  if (!j.is_object()) throw Refusal{Quoted(where) + " is not an object"};
  return j;
}

// The string `key` of `object`: "" when it is missing; a refusal when it is not a string.
std::string String(const Json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end()) return {};
  if (!it->is_string()) throw Refusal{Quoted(Path(where, key)) + " is not a string"};
  return it->get<std::string>();
}

// The array `key` of `object`: nullptr when it is missing; a refusal when it is not an array.
const Json* Array(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return nullptr;
  if (!it->is_array()) throw Refusal{Quoted(key) + " is not an array"};
  return &*it;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string Telegram(std::string text, const std::string& where) {
  const bool hex = std::all_of(text.begin(), text.end(), IsHexDigit);
  if (!hex || text.size() % 2 != 0) {
    throw Refusal{Quoted(where) + " is not hex of whole bytes (an even number of hex digits)"};
  }
  for (char& c : text) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The format number: a refusal unless it is an integer from 1 to kFormat.
int Format(const Json& root) {
  const auto it = root.find("format");
  if (it == root.end()) throw Refusal{"not a site file: it has no \"format\" field"};
  if (!it->is_number_integer()) throw Refusal{Quoted("format") + " is not a whole number"};
  // Unsigned when it is not negative: the whole 64-bit range compares without wrapping.
  const bool negative = !it->is_number_unsigned() && it->get<std::int64_t>() < 0;
  if (!negative && it->get<std::uint64_t>() > static_cast<std::uint64_t>(kFormat)) {
    throw Refusal{"written by a newer Orvio (site file format " + it->dump() +
                  "); this version reads format " + std::to_string(kFormat)};
  }
  if (negative || it->get<std::uint64_t>() < 1) {
    throw Refusal{"not a site file: format " + it->dump() +
                  " is no site file format (they start at 1)"};
  }
  return static_cast<int>(it->get<std::uint64_t>());
}

Site SiteOf(const Json& root) {
  Site site;
  site.format = Format(root);
  if (const auto it = root.find("site"); it != root.end()) {
    const Json& s = Object(*it, "site");
    site.name = String(s, "name", "site");
    site.notes = String(s, "notes", "site");
    site.technician = String(s, "technician", "site");
  }
  site.saved = String(root, "saved", "");
  site.orvioVersion = String(root, "orvio_version", "");
  if (const Json* settings = Array(root, "settings")) {
    for (size_t i = 0; i < settings->size(); ++i) {
      const std::string where = Indexed("settings", i);
      const Json& s = Object((*settings)[i], where);
      Setting setting;
      setting.key = String(s, "key", where);
      setting.name = String(s, "name", where);
      setting.value = String(s, "value", where);
      if (s.contains("source")) {
        const std::string source = String(s, "source", where);
        if (source == "read") {
          setting.source = Source::kRead;
        } else if (source == "written") {
          setting.source = Source::kWritten;
        } else {
          throw Refusal{Quoted(where + ".source") + " is neither \"read\" nor \"written\""};
        }
      }
      site.settings.push_back(std::move(setting));
    }
  }
  if (const Json* devices = Array(root, "devices")) {
    for (size_t i = 0; i < devices->size(); ++i) {
      const std::string where = Indexed("devices", i);
      const Json& d = Object((*devices)[i], where);
      DeviceRowCells cells;
      for (size_t c = 0; c < cells.size(); ++c) {
        const char* key = DeviceKeys()[c];
        if (!d.contains(key)) throw Refusal{"device row " + where + " has no " + Quoted(key)};
        cells[c] = String(d, key, where);
      }
      site.devices.push_back(std::move(cells));
    }
  }
  if (const Json* meters = Array(root, "meters")) {
    for (size_t i = 0; i < meters->size(); ++i) {
      const std::string where = Indexed("meters", i);
      const Json& m = Object((*meters)[i], where);
      Meter meter;
      for (const auto& [key, field] : kMeterFields) meter.*field = String(m, key, where);
      meter.telegram = Telegram(meter.telegram, where + ".telegram");
      site.meters.push_back(std::move(meter));
    }
  }
  return site;
}

// The parser's message without its "[json.exception.parse_error.101] " tag.
std::string ParserMessage(const std::exception& e) {
  std::string text = e.what();
  if (!text.empty() && text[0] == '[') {
    const size_t end = text.find("] ");
    if (end != std::string::npos) text.erase(0, end + 2);
  }
  return text;
}

// ---- comparing ----

// The first read setting of each key, but the working-day counter.
std::map<std::string, const Setting*> ReadSettings(const Site& site) {
  std::map<std::string, const Setting*> out;
  for (const Setting& s : site.settings) {
    if (s.source == Source::kRead && s.key != "working_days") out.emplace(s.key, &s);
  }
  return out;
}

std::optional<int> RowAddress(const DeviceRowCells& row) {
  return ParseDeviceAddress(Trim(row[static_cast<size_t>(kDeviceAddressColumn)]));
}

// "<ID> <Mfr> <Medium>", the empty parts left out.
std::string DeviceText(const DeviceRowCells& row) {
  std::string out;
  for (size_t c : {size_t{0}, size_t{2}, size_t{3}}) {
    const std::string part = Trim(row[c]);
    if (part.empty()) continue;
    if (!out.empty()) out += ' ';
    out += part;
  }
  return out;
}

// The devices by primary address; the first row of an address counts.
std::map<int, std::string> DevicesByAddress(const Site& site) {
  std::map<int, std::string> out;
  for (const DeviceRowCells& row : site.devices) {
    if (const auto a = RowAddress(row)) out.emplace(*a, DeviceText(row));
  }
  return out;
}

// ---- restoring ----

struct Planner {
  RestorePlan plan;

  void Skip(const Setting& s, const std::string& why) {
    plan.skipped.push_back(DisplayName(s) + ": " + s.value + " (" + why + ")");
  }
  void Add(std::string name, GatewayRequest request) {
    plan.steps.push_back({std::move(name), std::move(request)});
  }
  void Add(const Setting& s, GatewayRequest request) {
    Add(DisplayName(s) + " " + Trim(s.value), std::move(request));
  }
  static std::string DisplayName(const Setting& s) {
    if (s.source == Source::kRead) {
      for (const ReadItem& item : ReadItems()) {
        if (s.key == item.key) return item.name;
      }
    }
    return s.name.empty() ? s.key : s.name;
  }
};

// The first read setting of `key`, or nullptr.
const Setting* ReadSetting(const Site& site, std::string_view key) {
  for (const Setting& s : site.settings) {
    if (s.source == Source::kRead && s.key == key) return &s;
  }
  return nullptr;
}

struct MbusFlags {
  bool sndNke = false;
  bool use7B = false;
};
// "SND_NKE,0x7B", "0x5B", ...: SND_NKE at most once, exactly one of 0x7B and 0x5B.
std::optional<MbusFlags> ParseMbusFlags(std::string_view text) {
  MbusFlags flags;
  int sndNke = 0, telegramType = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string part = Trim(text.substr(start, end - start));
    if (part == "SND_NKE") {
      ++sndNke;
      flags.sndNke = true;
    } else if (part == "0x7B") {
      ++telegramType;
      flags.use7B = true;
    } else if (part == "0x5B") {
      ++telegramType;
    } else {
      return std::nullopt;
    }
    start = end + 1;
  }
  if (sndNke > 1 || telegramType != 1) return std::nullopt;
  return flags;
}

struct FlagCaption {
  std::string_view caption;
  FlagFunction function;
};
constexpr std::array<FlagCaption, 6> kFlagCaptions = {{{"SND_NKE", FlagFunction::SndNke},
                                                       {"0x7B", FlagFunction::Use7B},
                                                       {"Start Mbus", FlagFunction::StartMbus},
                                                       {"Sort", FlagFunction::Sort},
                                                       {"DHCP", FlagFunction::Dhcp},
                                                       {"Reset", FlagFunction::Reset}}};

// Written settings but the Modbus address; `mbusFlagsPlanned`: SND_NKE and 0x7B are written
// from the read M-Bus flags already.
void PlanWritten(Planner& p, const Setting& s, bool mbusFlagsPlanned) {
  const std::string value = Trim(s.value);
  if (s.key == "mbus_between_readings" || s.key == "mbus_wait_respond") {
    const auto n = ParseDecimal(value);
    if (!n || *n > control_range::kTimingPosition.max) return p.Skip(s, "not a number 0..99");
    const auto r = TimeoutRequest(s.key == "mbus_between_readings", true, *n);
    if (!r.ok()) return p.Skip(s, r.error);
    return p.Add(s, *r.value);
  }
  if (s.key == "readout_minutes") {
    const auto n = ParseDecimal(value);
    if (!n || *n < control_range::kReadoutMinutes.min || *n > control_range::kReadoutMinutes.max) {
      return p.Skip(s, "not a number of minutes 1..720");
    }
    return p.Add(s, ReadoutPeriodRequest(*n));
  }
  if (s.key == "mbus_port" || s.key == "modbus_port") {
    const bool mbus = s.key == "mbus_port";
    const size_t blank = value.find(' ');
    const std::string baud = value.substr(0, blank);
    const std::string parity = blank == std::string::npos ? "" : Trim(value.substr(blank + 1));
    const auto code = BaudParityCode(baud, parity);
    if (!code) return p.Skip(s, "not a speed and parity such as \"2400 Even\"");
    if (mbus) {
      const auto allowed = MbusPortBaudText(baud);
      if (!allowed.ok() || *allowed.value != baud) {
        return p.Skip(s, "the M-Bus port is never set above 9600");
      }
    }
    const auto r = BaudParityRequest(mbus, !mbus, *code);
    if (!r.ok()) return p.Skip(s, r.error);
    return p.Add(s, *r.value);
  }
  if (s.key == "value_encoding") {
    if (value != "real" && value != "general") return p.Skip(s, "neither \"real\" nor \"general\"");
    const auto r = ValueEncodingRequest(value == "real", value == "general");
    if (!r.ok()) return p.Skip(s, r.error);
    return p.Add(s, *r.value);
  }
  if (s.key == "flag") {
    const size_t blank = value.rfind(' ');
    const std::string caption = blank == std::string::npos ? "" : Trim(value.substr(0, blank));
    const std::string state = blank == std::string::npos ? "" : value.substr(blank + 1);
    const FlagCaption* flag = nullptr;
    for (const FlagCaption& f : kFlagCaptions) {
      if (f.caption == caption) flag = &f;
    }
    if (!flag || (state != "0" && state != "1")) {
      return p.Skip(s, "not a flag and its state such as \"Sort 1\"");
    }
    if (flag->function == FlagFunction::Reset) return p.Skip(s, "it restarts the gateway");
    if (mbusFlagsPlanned &&
        (flag->function == FlagFunction::SndNke || flag->function == FlagFunction::Use7B)) {
      return p.Skip(s, "written from the M-Bus flags read from the gateway");
    }
    const auto r = FlagRequest(flag->function, state == "1");
    if (!r.ok()) return p.Skip(s, r.error);
    return p.Add(s, *r.value);
  }
  if (s.key == "listen_port") {
    const auto port = ListenPort(value);
    if (!port.ok()) return p.Skip(s, port.error);
    return p.Add(s, ListenPortRequest(*port.value));
  }
  p.Skip(s, "not a setting a restore writes");
}

// ---- the report ----

std::string CsvField(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

template <typename Cells>
void CsvCells(std::string& out, const Cells& cells) {
  bool first = true;
  for (const auto& c : cells) {
    if (!first) out += ',';
    first = false;
    out += CsvField(c);
  }
  out += "\r\n";
}

void CsvRow(std::string& out, std::initializer_list<std::string_view> fields) {
  CsvCells(out, fields);
}

}  // namespace

const std::array<ReadItem, 14>& ReadItems() {
  static_assert(kStatusStepCount == 14);
  static const std::array<ReadItem, 14> kItems = [] {
    std::array<ReadItem, 14> items{};
    for (int step = 1; step <= kStatusStepCount; ++step) {
      items[static_cast<size_t>(step - 1)] = {kReadKeys[static_cast<size_t>(step - 1)],
                                              StatusItemName(step)};
    }
    return items;
  }();
  return kItems;
}

const std::array<const char*, kDeviceColumns>& DeviceKeys() {
  static constexpr std::array<const char*, kDeviceColumns> kKeys = {
      "id",     "address",  "manufacturer", "medium",       "unit",
      "value",  "t1_value", "t2_value",     "t3_value",     "t4_value",
      "status", "main_vif", "aux_vifs",     "tariff_times", "flow"};
  return kKeys;
}

std::string SiteJson(const Site& site) {
  Json j;
  j["format"] = site.format;
  j["site"] = Json::object();
  j["site"]["name"] = site.name;
  j["site"]["notes"] = site.notes;
  j["site"]["technician"] = site.technician;
  j["saved"] = site.saved;
  j["orvio_version"] = site.orvioVersion;
  j["settings"] = Json::array();
  for (const Setting& s : site.settings) {
    Json o = Json::object();
    o["key"] = s.key;
    o["name"] = s.name;
    o["value"] = s.value;
    o["source"] = SourceText(s.source);
    j["settings"].push_back(std::move(o));
  }
  j["devices"] = Json::array();
  for (const DeviceRowCells& row : site.devices) {
    Json d = Json::object();
    for (size_t c = 0; c < row.size(); ++c) d[DeviceKeys()[c]] = row[c];
    j["devices"].push_back(std::move(d));
  }
  j["meters"] = Json::array();
  for (const Meter& m : site.meters) {
    Json o = Json::object();
    for (const auto& [key, field] : kMeterFields) o[key] = m.*field;
    j["meters"].push_back(std::move(o));
  }
  return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

Loaded ParseSite(std::string_view bytes) {
  Loaded out;
  try {
    Json root;
    try {
      root = Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::parse_error& e) {
      out.error = "not a site file: " + ParserMessage(e);
      return out;
    }
    if (!root.is_object()) {
      out.error = "not a site file: it is JSON but not an object";
      return out;
    }
    out.site = SiteOf(root);
  } catch (const Refusal& r) {
    out.site.reset();
    out.error = r.text;
  } catch (const std::exception& e) {
    out.site.reset();
    out.error = std::string("the site file cannot be read: ") + e.what();
  }
  return out;
}

std::vector<Difference> Compare(const Site& file, const Site& gateway) {
  std::vector<Difference> out;
  const auto fileSettings = ReadSettings(file);
  const auto gatewaySettings = ReadSettings(gateway);
  std::set<std::string> done;
  auto compareKey = [&](const std::string& key) {
    if (!done.insert(key).second) return;
    const auto f = fileSettings.find(key);
    const auto g = gatewaySettings.find(key);
    const std::string fv = f == fileSettings.end() ? "" : Trim(f->second->value);
    const std::string gv = g == gatewaySettings.end() ? "" : Trim(g->second->value);
    const bool both = f != fileSettings.end() && g != gatewaySettings.end();
    if (both && fv == gv) return;
    const Setting& named = f != fileSettings.end() ? *f->second : *g->second;
    out.push_back({key, named.name.empty() ? key : named.name, fv, gv});
  };
  for (const Setting& s : file.settings) {
    if (fileSettings.count(s.key)) compareKey(s.key);
  }
  for (const Setting& s : gateway.settings) {
    if (gatewaySettings.count(s.key)) compareKey(s.key);
  }

  const auto fileDevices = DevicesByAddress(file);
  const auto gatewayDevices = DevicesByAddress(gateway);
  std::set<int> addresses;
  for (const auto& [a, text] : fileDevices) addresses.insert(a);
  for (const auto& [a, text] : gatewayDevices) addresses.insert(a);
  for (int a : addresses) {
    const auto f = fileDevices.find(a);
    const auto g = gatewayDevices.find(a);
    const bool both = f != fileDevices.end() && g != gatewayDevices.end();
    if (both && f->second == g->second) continue;
    out.push_back({"device:" + std::to_string(a), "Device at address " + std::to_string(a),
                   f == fileDevices.end() ? "" : f->second,
                   g == gatewayDevices.end() ? "" : g->second});
  }
  return out;
}

RestorePlan PlanRestore(const Site& file, std::optional<int> currentUnit) {
  Planner p;
  // Network addresses: the read setting's key and the item of the setting-type box.
  const std::array<std::pair<const char*, size_t>, 8> kNetwork = {{{"ip", 0},
                                                                   {"gateway", 1},
                                                                   {"mask", 2},
                                                                   {"control_ip_1", 3},
                                                                   {"control_ip_2", 4},
                                                                   {"data_ip_1", 5},
                                                                   {"data_ip_2", 6},
                                                                   {"network_number", 9}}};
  for (const auto& [key, item] : kNetwork) {
    const Setting* s = ReadSetting(file, key);
    if (!s) continue;
    const auto r = ProgramIpRequest(NetworkSettings()[item].itemText, Trim(s->value));
    if (!r) {
      p.Skip(*s, "not an address a.b.c.d");
      continue;
    }
    p.Add(*s, *r);
  }

  bool mbusFlagsPlanned = false;
  if (const Setting* s = ReadSetting(file, "mbus_flags")) {
    if (const auto flags = ParseMbusFlags(s->value)) {
      const auto snd = FlagRequest(FlagFunction::SndNke, flags->sndNke);
      const auto use7B = FlagRequest(FlagFunction::Use7B, flags->use7B);
      if (snd.ok() && use7B.ok()) {
        p.Add(std::string("SND_NKE ") + (flags->sndNke ? "on" : "off"), *snd.value);
        p.Add(std::string("0x7B ") + (flags->use7B ? "on" : "off"), *use7B.value);
        mbusFlagsPlanned = true;
      }
    } else {
      p.Skip(*s, "not M-Bus flags such as \"SND_NKE,0x7B\"");
    }
  }

  for (const Setting& s : file.settings) {
    if (s.source == Source::kWritten && s.key != "modbus_address") {
      PlanWritten(p, s, mbusFlagsPlanned);
    }
  }
  std::set<int> activated;
  for (size_t i = 0; i < file.devices.size(); ++i) {
    const DeviceRowCells& row = file.devices[i];
    const auto a = RowAddress(row);
    if (!a) {
      p.plan.skipped.push_back("Device row " + std::to_string(i + 1) + ": " +
                               row[static_cast<size_t>(kDeviceAddressColumn)] +
                               " (not a primary address)");
      continue;
    }
    if (!activated.insert(*a).second) continue;
    p.Add(device_text::kActivating + std::to_string(*a), ActivateRequest(static_cast<uint8_t>(*a)));
  }
  // The Modbus address last of all: after it the gateway answers to another address.
  for (const Setting& s : file.settings) {
    if (s.source != Source::kWritten || s.key != "modbus_address") continue;
    const auto address = NewModbusAddress(Trim(s.value));
    if (!address.ok()) {
      p.Skip(s, address.error);
      continue;
    }
    if (currentUnit && *currentUnit == *address.value) continue;  // it answers there already
    p.Add(s, ModbusAddressRequest(*address.value));
    p.plan.newModbusAddress = *address.value;
  }

  return std::move(p.plan);
}

std::string ReportCsv(const Site& site) {
  std::string out;
  out += "Site\r\n";
  CsvRow(out, {"Name", site.name});
  CsvRow(out, {"Notes", site.notes});
  CsvRow(out, {"Technician", site.technician});
  CsvRow(out, {"Saved", site.saved});
  CsvRow(out, {"Orvio version", site.orvioVersion});

  out += "\r\nGateway\r\n";
  CsvRow(out, {"Name", "Value", "Source"});
  for (const Setting& s : site.settings) CsvRow(out, {s.name, s.value, SourceText(s.source)});

  out += "\r\nDevice map\r\n";
  std::array<std::string, kDeviceColumns> headers;
  for (size_t c = 0; c < headers.size(); ++c) headers[c] = Trim(kDeviceTableHeaders[c]);
  CsvCells(out, headers);
  for (const DeviceRowCells& row : site.devices) CsvCells(out, row);

  out += "\r\nMeters\r\n";
  CsvRow(out, {"ID", "Address", "Manufacturer", "Medium", "Value", "Unit", "Time"});
  for (const Meter& m : site.meters) {
    CsvRow(out, {m.id, m.address, m.manufacturer, m.medium, m.value, m.unit, m.time});
  }
  return out;
}

}  // namespace orvio::site
