#include "sim/scenario.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <stdexcept>

#include "sim/demo_scenario.h"

namespace orvio::sim {
namespace {

using nlohmann::json;

struct ScenarioError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void AllowOnly(const json& object, const std::set<std::string>& keys, const std::string& where) {
  if (!object.is_object()) throw ScenarioError(where + " must be an object");
  for (const auto& item : object.items())
    if (keys.count(item.key()) == 0)
      throw ScenarioError(where + ": unknown key \"" + item.key() + "\"");
}

int64_t Integer(const json& v, const std::string& what, int64_t min, int64_t max) {
  int64_t n;
  if (v.is_number_integer()) {
    n = v.get<int64_t>();
  } else if (v.is_string()) {
    // Hex text: "0x1F" or "1F".
    std::string bytes;
    std::string text = v.get<std::string>();
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
    if (text.empty() || text.size() > 8 || text.size() % 2 != 0 || !ParseHex(text, &bytes))
      throw ScenarioError(what + ": \"" + v.get<std::string>() + "\" is not a hex number");
    n = 0;
    for (unsigned char c : bytes) n = n << 8 | c;
  } else {
    throw ScenarioError(what + " must be a number");
  }
  if (n < min || n > max)
    throw ScenarioError(what + " must be " + std::to_string(min) + ".." + std::to_string(max));
  return n;
}

std::string Hex(const json& v, const std::string& what) {
  std::string bytes;
  if (!v.is_string() || !ParseHex(v.get<std::string>(), &bytes))
    throw ScenarioError(what + " must be hex text");
  return bytes;
}

void Dotted(const json& v, const std::string& what, uint16_t* regs) {
  if (!v.is_string()) throw ScenarioError(what + " must be a dotted address");
  std::istringstream in(v.get<std::string>());
  int part[4];
  char dot[3] = {'.', '.', '.'};
  in >> part[0] >> dot[0] >> part[1] >> dot[1] >> part[2] >> dot[2] >> part[3];
  if (!in || !in.eof() || dot[0] != '.' || dot[1] != '.' || dot[2] != '.')
    throw ScenarioError(what + ": \"" + v.get<std::string>() + "\" is not a.b.c.d");
  for (int p : part)
    if (p < 0 || p > 255) throw ScenarioError(what + ": parts must be 0..255");
  regs[0] = static_cast<uint16_t>(part[0] << 8 | part[1]);
  regs[1] = static_cast<uint16_t>(part[2] << 8 | part[3]);
}

uint8_t Medium(const json& v, const std::string& what) {
  if (v.is_string()) {
    static const std::pair<const char*, uint8_t> kNames[] = {{"other", 0x00},
                                                             {"oil", 0x01},
                                                             {"electricity", 0x02},
                                                             {"gas", 0x03},
                                                             {"heat", 0x04},
                                                             {"steam", 0x05},
                                                             {"hot_water", 0x06},
                                                             {"water", 0x07},
                                                             {"hca", 0x08},
                                                             {"heat_cost_allocator", 0x08},
                                                             {"compressed_air", 0x09},
                                                             {"cooling_outlet", 0x0A},
                                                             {"cooling_inlet", 0x0B},
                                                             {"heat_inlet", 0x0C},
                                                             {"heat_cooling", 0x0D},
                                                             {"bus", 0x0E},
                                                             {"unknown", 0x0F},
                                                             {"cold_water", 0x16},
                                                             {"dual_water", 0x17},
                                                             {"pressure", 0x18},
                                                             {"adc", 0x19}};
    for (const auto& [name, code] : kNames)
      if (v.get<std::string>() == name) return code;
    if (v.get<std::string>().rfind("0x", 0) != 0)
      throw ScenarioError(what + ": unknown medium \"" + v.get<std::string>() + "\"");
  }
  return static_cast<uint8_t>(Integer(v, what, 0, 255));
}

DataRecord Record(const json& v, const std::string& where) {
  AllowOnly(v, {"hex", "dif", "dife", "vif", "vife", "value", "data"}, where);
  if (v.contains("hex")) {
    if (v.size() != 1) throw ScenarioError(where + ": \"hex\" stands alone");
    std::vector<DataRecord> records;
    const std::string bytes = Hex(v["hex"], where + ".hex");
    if (!SplitRecords(bytes, &records) || records.size() != 1)
      throw ScenarioError(where + ".hex must hold exactly one data record");
    return records[0];
  }
  if (!v.contains("dif") || !v.contains("vif")) throw ScenarioError(where + " needs dif and vif");
  const auto dif = static_cast<uint8_t>(Integer(v["dif"], where + ".dif", 0, 255));
  const auto vif = static_cast<uint8_t>(Integer(v["vif"], where + ".vif", 0, 255));
  const std::string dife = v.contains("dife") ? Hex(v["dife"], where + ".dife") : "";
  const std::string vife = v.contains("vife") ? Hex(v["vife"], where + ".vife") : "";
  if ((dif & 0x80) != (dife.empty() ? 0 : 0x80))
    throw ScenarioError(where + ": DIF extension bit and dife disagree");
  if ((vif & 0x80) != (vife.empty() ? 0 : 0x80))
    throw ScenarioError(where + ": VIF extension bit and vife disagree");
  DataRecord r;
  if (v.contains("data")) {
    r = DataRecord::Number(dif, vif, 0, dife, vife);
    r.data = Hex(v["data"], where + ".data");
  } else {
    r = DataRecord::Number(dif, vif,
                           v.contains("value")
                               ? Integer(v["value"], where + ".value", INT64_MIN / 2, INT64_MAX / 2)
                               : 0,
                           dife, vife);
  }
  std::vector<DataRecord> check;
  if (!SplitRecords(r.header + r.data, &check) || check.size() != 1 ||
      check[0].data.size() != r.data.size())
    throw ScenarioError(where + ": data does not fit the DIF");
  return r;
}

template <size_t N, typename T>
void Array(const json& v, const std::string& what, T (&out)[N], int64_t min, int64_t max) {
  if (!v.is_array() || v.size() != N)
    throw ScenarioError(what + " must be an array of " + std::to_string(N));
  for (size_t i = 0; i < N; ++i) out[i] = static_cast<T>(Integer(v[i], what, min, max));
}

Meter MeterFrom(const json& v, const std::string& where, const std::string& base_dir) {
  AllowOnly(v,
            {"primary", "id", "manufacturer", "version", "medium", "status", "access_number",
             "records", "telegram", "telegram_file", "inputs", "tariff_values", "tariff_start",
             "tariff_end", "comment"},
            where);
  Meter m;
  if (v.contains("telegram") || v.contains("telegram_file")) {
    if (v.contains("telegram")) {
      m.raw_telegram = Hex(v["telegram"], where + ".telegram");
    } else {
      std::string path = v["telegram_file"].get<std::string>();
      if (!path.empty() && path[0] != '/' && !base_dir.empty()) path = base_dir + "/" + path;
      // A telegram file is small text; anything else (a device, a huge file) is refused.
      std::error_code ec;
      if (!std::filesystem::is_regular_file(path, ec) ||
          std::filesystem::file_size(path, ec) > 65536 || ec)
        throw ScenarioError(where + ".telegram_file: " + path + " is not a telegram file");
      std::ifstream in(path);
      if (!in) throw ScenarioError(where + ".telegram_file: cannot read " + path);
      std::stringstream text;
      text << in.rdbuf();
      if (!ParseHex(text.str(), &m.raw_telegram))
        throw ScenarioError(where + ".telegram_file: " + path + " is not hex text");
    }
    const std::string error = AdoptRawTelegram(&m);
    if (!error.empty()) throw ScenarioError(where + ": " + error);
  }
  if (v.contains("primary"))
    m.primary_address = static_cast<int>(Integer(v["primary"], where + ".primary", 0, 250));
  if (v.contains("id")) {
    if (!v["id"].is_string()) throw ScenarioError(where + ".id must be text");
    m.id = v["id"].get<std::string>();
  }
  if (v.contains("manufacturer")) {
    if (!v["manufacturer"].is_string()) throw ScenarioError(where + ".manufacturer must be text");
    m.manufacturer = v["manufacturer"].get<std::string>();
  }
  if (v.contains("version"))
    m.version = static_cast<uint8_t>(Integer(v["version"], where + ".version", 0, 255));
  if (v.contains("medium")) m.medium = Medium(v["medium"], where + ".medium");
  if (v.contains("status"))
    m.status = static_cast<uint8_t>(Integer(v["status"], where + ".status", 0, 255));
  if (v.contains("access_number"))
    m.access_number =
        static_cast<uint8_t>(Integer(v["access_number"], where + ".access_number", 0, 255));
  if (v.contains("records")) {
    if (!m.raw_telegram.empty())
      throw ScenarioError(where + ": records and a raw telegram exclude each other");
    if (!v["records"].is_array()) throw ScenarioError(where + ".records must be an array");
    for (size_t i = 0; i < v["records"].size(); ++i)
      m.records.push_back(Record(v["records"][i], where + ".records[" + std::to_string(i) + "]"));
  }
  if (v.contains("inputs")) {
    uint8_t inputs[2];
    Array(v["inputs"], where + ".inputs", inputs, 0, 255);
    m.input1 = inputs[0];
    m.input2 = inputs[1];
  }
  if (v.contains("tariff_values"))
    Array(v["tariff_values"], where + ".tariff_values", m.tariff_values, INT32_MIN, INT32_MAX);
  if (v.contains("tariff_start"))
    Array(v["tariff_start"], where + ".tariff_start", m.tariff_start, 0, 255);
  if (v.contains("tariff_end")) Array(v["tariff_end"], where + ".tariff_end", m.tariff_end, 0, 255);
  const std::string error = CheckMeter(m);
  if (!error.empty()) throw ScenarioError(where + ": " + error);
  return m;
}

void Gateway(const json& g, GatewayModel* model) {
  const std::string w = "gateway";
  AllowOnly(
      g,
      {"unit", "card_version", "working_days", "flags", "transformed_values", "readout_period_s",
       "time_between", "time_respond", "modbus_baud_parity", "mbus_baud_parity", "listen_port",
       "serial_number", "network", "identification", "line_time_ms", "device_time", "comment"},
      w);
  if (g.contains("unit"))
    model->unit = static_cast<uint8_t>(Integer(g["unit"], w + ".unit", 0, 254));
  if (g.contains("card_version")) {
    const json& v = g["card_version"];
    if (!v.is_array() || v.size() != 2)
      throw ScenarioError(w + ".card_version must be [major, minor]");
    model->card_major = static_cast<uint8_t>(Integer(v[0], w + ".card_version", 0, 255));
    model->card_minor = static_cast<uint8_t>(Integer(v[1], w + ".card_version", 0, 255));
  }
  if (g.contains("working_days"))
    model->working_days =
        static_cast<uint8_t>(Integer(g["working_days"], w + ".working_days", 0, 255));
  if (g.contains("flags"))
    model->flags = static_cast<uint8_t>(Integer(g["flags"], w + ".flags", 0, 255));
  if (g.contains("transformed_values")) {
    if (!g["transformed_values"].is_boolean())
      throw ScenarioError(w + ".transformed_values must be true or false");
    model->transformed = g["transformed_values"].get<bool>();
  }
  // The settings registers take the same checks as a client's write.
  const auto set = [&](const char* key, uint16_t address, int64_t max) {
    if (!g.contains(key)) return;
    const auto value = static_cast<uint16_t>(Integer(g[key], w + "." + key, 0, max));
    if (model->WriteHolding(address, {value}) != 0)
      throw ScenarioError(w + "." + key + ": the gateway refuses " + std::to_string(value));
  };
  set("readout_period_s", reg::kReadoutPeriod, 65535);
  set("time_between", reg::kTimeBetween, 99);
  set("time_respond", reg::kTimeRespond, 99);
  set("modbus_baud_parity", reg::kModbusBaud, 255);
  set("mbus_baud_parity", reg::kMbusBaud, 255);
  set("listen_port", reg::kListenPort, 65535);
  if (g.contains("serial_number")) {
    const json& v = g["serial_number"];
    std::string bytes;
    if (!v.is_string() || v.get<std::string>().size() != 8 ||
        !ParseHex(v.get<std::string>(), &bytes) ||
        model->WriteHolding(reg::kSerialNumber,
                            {static_cast<uint16_t>(static_cast<uint8_t>(bytes[0]) << 8 |
                                                   static_cast<uint8_t>(bytes[1])),
                             static_cast<uint16_t>(static_cast<uint8_t>(bytes[2]) << 8 |
                                                   static_cast<uint8_t>(bytes[3]))}) != 0)
      throw ScenarioError(w + ".serial_number must be 8 decimal digits");
  }
  if (g.contains("network")) {
    static const std::pair<const char*, uint16_t> kKeys[] = {{"ip", 55400},
                                                             {"gateway", 55402},
                                                             {"mask", 55404},
                                                             {"control_ip_1", 55406},
                                                             {"control_ip_2", 55408},
                                                             {"operator_ip_1", 55410},
                                                             {"operator_ip_2", 55412},
                                                             {"operator_ip_3", 55414},
                                                             {"operator_ip_4", 55416},
                                                             {"net_number", 55420}};
    std::set<std::string> allowed;
    for (const auto& [key, address] : kKeys) allowed.insert(key);
    AllowOnly(g["network"], allowed, w + ".network");
    for (const auto& [key, address] : kKeys)
      if (g["network"].contains(key))
        Dotted(g["network"][key], w + ".network." + key, &model->network[address - reg::kNetwork]);
  }
  if (g.contains("identification")) {
    const json& v = g["identification"];
    if (!v.is_array() || v.empty() || v.size() > 0x80)
      throw ScenarioError(w + ".identification must be an array of texts");
    model->identification.clear();
    for (const json& text : v) {
      if (!text.is_string() || text.get<std::string>().size() > 200)
        throw ScenarioError(w + ".identification must be an array of texts");
      model->identification.push_back(text.get<std::string>());
    }
  }
  if (g.contains("line_time_ms"))
    model->line_time =
        std::chrono::milliseconds(Integer(g["line_time_ms"], w + ".line_time_ms", 0, 60000));
  if (g.contains("device_time")) {
    const json& v = g["device_time"];
    int y, mo, d, h, mi, s;
    char t;
    if (!v.is_string() ||
        std::sscanf(v.get<std::string>().c_str(), "%d-%d-%d%c%d:%d:%d", &y, &mo, &d, &t, &h, &mi,
                    &s) != 7 ||
        y < 2001 || y > 2099 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
      throw ScenarioError(w + ".device_time must be YYYY-MM-DDThh:mm:ss (2001..2099)");
    model->SetDeviceTime(y, mo, d, h, mi, s);
  }
}

void Registers(const json& v, const std::string& what, std::map<uint16_t, uint16_t>* out) {
  if (!v.is_object()) throw ScenarioError(what + " must map register numbers to values");
  for (const auto& item : v.items()) {
    size_t used = 0;
    long address = -1;
    try {
      address = std::stol(item.key(), &used);
    } catch (const std::exception&) {
    }
    if (used != item.key().size() || address < 0 || address > 65535)
      throw ScenarioError(what + ": \"" + item.key() + "\" is not a register number");
    (*out)[static_cast<uint16_t>(address)] =
        static_cast<uint16_t>(Integer(item.value(), what + "." + item.key(), 0, 65535));
  }
}

}  // namespace

const char* DemoScenarioText() { return kDemoScenarioJson; }

std::string ApplyScenario(const std::string& json_text, const std::string& base_dir,
                          GatewayModel* model) {
  try {
    const json doc = json::parse(json_text);
    AllowOnly(doc,
              {"gateway", "meters", "activated", "input_registers", "holding_registers", "comment"},
              "scenario");
    GatewayModel next = *model;
    if (doc.contains("gateway")) Gateway(doc["gateway"], &next);
    if (doc.contains("meters")) {
      if (!doc["meters"].is_array()) throw ScenarioError("meters must be an array");
      next.line.meters().clear();
      for (size_t i = 0; i < doc["meters"].size(); ++i)
        next.line.meters().push_back(
            MeterFrom(doc["meters"][i], "meters[" + std::to_string(i) + "]", base_dir));
    }
    if (doc.contains("activated")) {
      const json& v = doc["activated"];
      if (!v.is_array() || v.size() > kMaxDevices)
        throw ScenarioError("activated must be an array of at most 64 primary addresses");
      next.slots.clear();
      for (const json& a : v) {
        const int address = static_cast<int>(Integer(a, "activated", 0, 250));
        for (const auto& slot : next.slots)
          if (slot.primary_address == address)
            throw ScenarioError("activated lists an address twice");
        next.slots.push_back(GatewayModel::Slot{address, false});
      }
    }
    if (doc.contains("input_registers"))
      Registers(doc["input_registers"], "input_registers", &next.extra_input);
    if (doc.contains("holding_registers"))
      Registers(doc["holding_registers"], "holding_registers", &next.extra_holding);
    *model = std::move(next);
    return {};
  } catch (const json::exception& e) {
    return std::string("scenario is not valid JSON: ") + e.what();
  } catch (const ScenarioError& e) {
    return e.what();
  }
}

GatewayModel DemoModel() {
  GatewayModel model;
  const std::string error = ApplyScenario(kDemoScenarioJson, "", &model);
  if (!error.empty()) throw std::logic_error("built-in demo scenario: " + error);
  return model;
}

}  // namespace orvio::sim
