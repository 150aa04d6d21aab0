// The site file: its JSON both ways and its refusals, the comparison with a gateway as read, the
// requests of a restore and the commissioning report's CSV.
#include "core/site/site_file.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/gateway/configuration.h"
#include "core/gateway/device_map.h"
#include "core/gateway/register_map.h"
#include "core/gateway/status_readout.h"

namespace orvio::site {
namespace {

using Json = nlohmann::ordered_json;

DeviceRowCells Device(const std::string& id, const std::string& address,
                      const std::string& manufacturer = "ZRI",
                      const std::string& medium = "Water") {
  DeviceRowCells row;
  row[0] = id;
  row[1] = address;
  row[2] = manufacturer;
  row[3] = medium;
  row[4] = "m3";
  row[5] = "12345.000";
  row[6] = "0.000";
  row[7] = "0.000";
  row[8] = "0.000";
  row[9] = "0.000";
  row[10] = "Main=0000, Device=00, mbus=00";
  row[11] = "13";
  row[12] = "input1=00, input2=00";
  row[13] = "0/0/0/0-0/0/0/0";
  row[14] = "";
  return row;
}

Setting Read(const std::string& key, const std::string& value) {
  for (const ReadItem& item : ReadItems()) {
    if (key == item.key) return {key, item.name, value, Source::kRead};
  }
  ADD_FAILURE() << "no read item " << key;
  return {};
}

Setting Written(const std::string& key, const std::string& name, const std::string& value) {
  return {key, name, value, Source::kWritten};
}

// A gateway as a technician keeps it: every read item, written settings (the Modbus address
// first in the file), two devices and two meters.
Site Typical() {
  Site s;
  s.name = "Heizwerk Süd – Übergabestation";
  s.notes = "Zähler im Keller.\nSchlüssel beim Hausmeister, \"Tür 3\".";
  s.technician = "Jürgen Ødegård";
  s.saved = "2024-05-17 14:03:59";
  s.orvioVersion = "1.0.1.81";
  s.settings = {
      Read("active_devices", "2/2"),
      Read("mbus_flags", "SND_NKE,0x7B"),
      Read("working_days", "12"),
      Read("active_bitmap", "03000000000000000000000000000000"),
      Read("card_version", "1.3"),
      Read("identification", "ZELK MBus-Modbus"),
      Read("ip", "192.168.1.100"),
      Read("gateway", "192.168.1.1"),
      Read("mask", "255.255.255.0"),
      Read("control_ip_1", "10.0.0.1"),
      Read("control_ip_2", "10.0.0.2"),
      Read("data_ip_1", "10.0.0.3"),
      Read("data_ip_2", "10.0.0.4"),
      Read("network_number", "0.0.0.7"),
      Written("modbus_address", "New Modbus address", "7"),
      Written("readout_minutes", "Readout/update time (minutes)", "15"),
      Written("mbus_port", "M-Bus port", "2400 Even"),
      Written("modbus_port", "Modbus port", "19200 None"),
      Written("flag", "Flag", "Sort 1"),
      Written("flag", "Flag", "Reset 1"),
      Written("value_encoding", "Values", "real"),
      Written("listen_port", "Listen port", "502"),
      Written("mbus_between_readings", "Between 2 readings", "5"),
      Written("mbus_wait_respond", "Wait respond for", "20"),
  };
  s.devices = {Device("12345678", "1"), Device("87654321", "5", "KAM", "Heat")};
  s.meters = {
      {"12345678", "1", "ZRI", "12345.000", "m3", "Water", "00", "14:01:02", "6808086808"},
      {"87654321", "5", "KAM", "17.5", "MWh", "Heat", "00", "14:01:03", ""},
  };
  return s;
}

std::string Error(const std::string& text) {
  const Loaded l = ParseSite(text);
  EXPECT_FALSE(l.site.has_value()) << text;
  return l.error;
}

// The typical site as JSON with one change made to it.
template <typename Edit>
std::string Edited(Edit edit) {
  Json j = Json::parse(SiteJson(Typical()));
  edit(j);
  return j.dump();
}

// ---- the file ----

TEST(SiteFile, RoundTripKeepsEverything) {
  const Site site = Typical();
  const std::string text = SiteJson(site);
  const Loaded l = ParseSite(text);
  ASSERT_TRUE(l.site.has_value()) << l.error;
  EXPECT_EQ(l.error, "");
  EXPECT_EQ(*l.site, site);
  EXPECT_EQ(l.site->notes, site.notes);
  EXPECT_EQ(SiteJson(*l.site), text);
}

TEST(SiteFile, LayoutIsPrettyWithKeysInOrderAndUtf8) {
  const std::string text = SiteJson(Typical());
  EXPECT_EQ(text.substr(0, 17), "{\n  \"format\": 1,\n");
  EXPECT_EQ(text.back(), '\n');
  // UTF-8 as it is, not \u escapes; the line break of the notes escaped.
  EXPECT_NE(text.find("Heizwerk Süd – Übergabestation"), std::string::npos);
  EXPECT_NE(text.find("Zähler im Keller.\\nSchlüssel"), std::string::npos);
  const Json j = Json::parse(text);
  std::vector<std::string> top;
  for (const auto& [key, value] : j.items()) top.push_back(key);
  EXPECT_EQ(top, (std::vector<std::string>{"format", "site", "saved", "orvio_version", "settings",
                                           "devices", "meters"}));
  std::vector<std::string> siteKeys;
  for (const auto& [key, value] : j["site"].items()) siteKeys.push_back(key);
  EXPECT_EQ(siteKeys, (std::vector<std::string>{"name", "notes", "technician"}));
  std::vector<std::string> settingKeys;
  for (const auto& [key, value] : j["settings"][0].items()) settingKeys.push_back(key);
  EXPECT_EQ(settingKeys, (std::vector<std::string>{"key", "name", "value", "source"}));
  EXPECT_EQ(j["settings"][0]["source"], "read");
  EXPECT_EQ(j["settings"][14]["source"], "written");
  std::vector<std::string> deviceKeys;
  for (const auto& [key, value] : j["devices"][0].items()) deviceKeys.push_back(key);
  ASSERT_EQ(deviceKeys.size(), static_cast<size_t>(kDeviceColumns));
  for (size_t c = 0; c < deviceKeys.size(); ++c) EXPECT_EQ(deviceKeys[c], DeviceKeys()[c]);
  EXPECT_EQ(j["devices"][1]["address"], "5");
  std::vector<std::string> meterKeys;
  for (const auto& [key, value] : j["meters"][0].items()) meterKeys.push_back(key);
  EXPECT_EQ(meterKeys, (std::vector<std::string>{"id", "address", "manufacturer", "value", "unit",
                                                 "medium", "status", "time", "telegram"}));
}

TEST(SiteFile, UnknownFieldsAreIgnoredAndMissingOnesReadEmpty) {
  const Loaded l = ParseSite(
      R"({"format": 1, "future": [1, 2], "site": {"name": "A", "colour": "red"},
          "settings": [{"key": "ip", "value": "1.2.3.4", "extra": 5}],
          "meters": [{"id": "1", "telegram": "68ab"}]})");
  ASSERT_TRUE(l.site.has_value()) << l.error;
  EXPECT_EQ(l.site->name, "A");
  EXPECT_EQ(l.site->notes, "");
  ASSERT_EQ(l.site->settings.size(), 1u);
  EXPECT_EQ(l.site->settings[0].source, Source::kRead);
  EXPECT_TRUE(l.site->devices.empty());
  ASSERT_EQ(l.site->meters.size(), 1u);
  EXPECT_EQ(l.site->meters[0].telegram, "68AB");  // taken in upper case
}

TEST(SiteFile, RefusesWhatIsNotJson) {
  const std::string e = Error("{\"format\": 1,");
  EXPECT_EQ(e.rfind("not a site file: ", 0), 0u) << e;
  EXPECT_NE(e.find("line 1, column 14"), std::string::npos) << e;
  EXPECT_EQ(e.find("json.exception"), std::string::npos) << e;
  EXPECT_EQ(Error("").rfind("not a site file: ", 0), 0u);
  // Text that is not UTF-8 is no JSON either.
  EXPECT_EQ(Error("{\"format\": 1, \"saved\": \"\xff\"}").rfind("not a site file: ", 0), 0u);
}

TEST(SiteFile, RefusesWhatIsNoSiteFile) {
  EXPECT_EQ(Error("[1, 2]"), "not a site file: it is JSON but not an object");
  EXPECT_EQ(Error("\"format\""), "not a site file: it is JSON but not an object");
  EXPECT_EQ(Error(R"({"site": {}})"), "not a site file: it has no \"format\" field");
  EXPECT_EQ(Error(R"({"format": "1"})"), "field \"format\" is not a whole number");
  EXPECT_EQ(Error(R"({"format": 1.5})"), "field \"format\" is not a whole number");
}

TEST(SiteFile, RefusesANewerFormatAndOneBelowOne) {
  EXPECT_EQ(Error(R"({"format": 2, "whatever": "comes later"})"),
            "written by a newer Orvio (site file format 2); this version reads format 1");
  EXPECT_EQ(Error(R"({"format": 18446744073709551615})"),
            "written by a newer Orvio (site file format 18446744073709551615); this version "
            "reads format 1");
  EXPECT_EQ(Error(R"({"format": -3})"),
            "not a site file: format -3 is no site file format (they start at 1)");
}

TEST(SiteFile, RefusesFieldsOfTheWrongType) {
  EXPECT_EQ(Error(Edited([](Json& j) { j["site"] = "x"; })), "field \"site\" is not an object");
  EXPECT_EQ(Error(Edited([](Json& j) { j["site"]["notes"] = 5; })),
            "field \"site.notes\" is not a string");
  EXPECT_EQ(Error(Edited([](Json& j) { j["saved"] = nullptr; })),
            "field \"saved\" is not a string");
  EXPECT_EQ(Error(Edited([](Json& j) { j["settings"] = Json::object(); })),
            "field \"settings\" is not an array");
  EXPECT_EQ(Error(Edited([](Json& j) { j["settings"][3] = 1; })),
            "field \"settings[3]\" is not an object");
  EXPECT_EQ(Error(Edited([](Json& j) { j["settings"][2]["value"] = 12; })),
            "field \"settings[2].value\" is not a string");
  EXPECT_EQ(Error(Edited([](Json& j) { j["settings"][2]["source"] = "guessed"; })),
            "field \"settings[2].source\" is neither \"read\" nor \"written\"");
  EXPECT_EQ(Error(Edited([](Json& j) { j["devices"][1]["address"] = 5; })),
            "field \"devices[1].address\" is not a string");
  EXPECT_EQ(Error(Edited([](Json& j) { j["meters"] = "none"; })),
            "field \"meters\" is not an array");
  EXPECT_EQ(Error(Edited([](Json& j) { j["meters"][1]["time"] = true; })),
            "field \"meters[1].time\" is not a string");
}

TEST(SiteFile, RefusesADeviceRowWithoutAKey) {
  EXPECT_EQ(Error(Edited([](Json& j) { j["devices"][1].erase("flow"); })),
            "device row devices[1] has no field \"flow\"");
}

TEST(SiteFile, RefusesATelegramThatIsNotHexOfWholeBytes) {
  EXPECT_EQ(Error(Edited([](Json& j) { j["meters"][0]["telegram"] = "68080"; })),
            "field \"meters[0].telegram\" is not hex of whole bytes (an even number of hex "
            "digits)");
  EXPECT_EQ(Error(Edited([](Json& j) { j["meters"][0]["telegram"] = "68 08"; })),
            "field \"meters[0].telegram\" is not hex of whole bytes (an even number of hex "
            "digits)");
  EXPECT_EQ(Error(Edited([](Json& j) { j["meters"][0]["telegram"] = "6G"; })),
            "field \"meters[0].telegram\" is not hex of whole bytes (an even number of hex "
            "digits)");
}

TEST(SiteFile, InvalidUtf8IsWrittenReplacedNotThrown) {
  Site s;
  s.name = "caf\xe9";  // Latin-1, not UTF-8
  std::string text;
  ASSERT_NO_THROW(text = SiteJson(s));
  const Loaded l = ParseSite(text);
  ASSERT_TRUE(l.site.has_value()) << l.error;
  EXPECT_EQ(l.site->name, "caf\xef\xbf\xbd");
}

// ---- comparing ----

Site Gateway() {
  Site g;
  for (const Setting& s : Typical().settings) {
    if (s.source == Source::kRead) g.settings.push_back(s);
  }
  g.devices = Typical().devices;
  return g;
}

TEST(SiteCompare, EqualSitesGiveNothing) {
  EXPECT_TRUE(Compare(Typical(), Gateway()).empty());
  EXPECT_TRUE(Compare(Typical(), Typical()).empty());
}

TEST(SiteCompare, AChangedIpCountsAndBlanksAroundItDoNot) {
  Site g = Gateway();
  g.settings[6].value = "192.168.1.101";
  EXPECT_EQ(Compare(Typical(), g),
            (std::vector<Difference>{{"ip", "IP", "192.168.1.100", "192.168.1.101"}}));
  g.settings[6].value = "  192.168.1.100 ";
  EXPECT_TRUE(Compare(Typical(), g).empty());
}

TEST(SiteCompare, WorkingDaysAndWrittenSettingsAreNotCompared) {
  Site g = Gateway();
  g.settings[2].value = "13";
  g.settings.push_back(Written("readout_minutes", "Readout/update time (minutes)", "60"));
  EXPECT_TRUE(Compare(Typical(), g).empty());
  Site f = Typical();
  f.settings.erase(f.settings.begin() + 2);  // no working days in the file at all
  EXPECT_TRUE(Compare(f, Gateway()).empty());
}

TEST(SiteCompare, SettingsInFileOrderThenTheGatewaysOwn) {
  Site f = Typical();
  f.settings.erase(f.settings.begin() + 13);  // no network number in the file
  f.settings[8].value = "255.255.0.0";        // mask
  Site g = Gateway();
  g.settings[1].value = "0x5B";
  g.settings.push_back(Read("ip", "9.9.9.9"));  // a second ip: the first counts
  EXPECT_EQ(Compare(f, g),
            (std::vector<Difference>{
                {"mbus_flags", "M-Bus flags", "SND_NKE,0x7B", "0x5B"},
                {"mask", "MASK", "255.255.0.0", "255.255.255.0"},
                {"network_number", "NETWORK NUMBER (Identification)", "", "0.0.0.7"}}));
}

TEST(SiteCompare, DevicesAddedRemovedAndChangedInAddressOrder) {
  Site g = Gateway();
  g.devices.push_back(Device("11112222", "3", "", "Gas"));  // added on the gateway
  g.devices.erase(g.devices.begin());                       // address 1 gone
  g.devices[0][0] = "99999999";                             // address 5 another meter
  Site f = Typical();
  f.devices.push_back(Device("x", "not an address"));  // ignored
  EXPECT_EQ(Compare(f, g),
            (std::vector<Difference>{
                {"device:1", "Device at address 1", "12345678 ZRI Water", ""},
                {"device:3", "Device at address 3", "", "11112222 Gas"},  // no empty Mfr
                {"device:5", "Device at address 5", "87654321 KAM Heat", "99999999 KAM Heat"}}));
  f = Site{};
  f.devices = {Device("1", "200"), Device("2", "10"), Device("3", "07")};
  std::vector<std::string> keys;
  for (const Difference& d : Compare(f, Site{})) keys.push_back(d.key);
  EXPECT_EQ(keys, (std::vector<std::string>{"device:7", "device:10", "device:200"}));
}

// ---- restoring ----

void ExpectSingle(const RestoreStep& s, uint16_t reg, uint16_t value) {
  EXPECT_EQ(s.request.kind, RequestKind::kWriteSingleRegister) << s.name;
  EXPECT_EQ(s.request.reg, reg) << s.name;
  EXPECT_EQ(s.request.value, value) << s.name;
}

ByteString Bytes(std::initializer_list<int> values) {
  ByteString out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

TEST(SiteRestore, TypicalFile) {
  const RestorePlan plan = PlanRestore(Typical());
  std::vector<std::string> names;
  for (const auto& s : plan.steps) names.push_back(s.name);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "IP 192.168.1.100",
                       "GATE 192.168.1.1",
                       "MASK 255.255.255.0",
                       "CONTROL IP #1 10.0.0.1",
                       "CONTROL IP #2 10.0.0.2",
                       "DATA IP #1 10.0.0.3",
                       "DATA IP #2 10.0.0.4",
                       "NETWORK NUMBER (Identification) 0.0.0.7",
                       "SND_NKE on",
                       "0x7B on",
                       "Readout/update time (minutes) 15",
                       "M-Bus port 2400 Even",
                       "Modbus port 19200 None",
                       "Flag Sort 1",
                       "Values real",
                       "Listen port 502",
                       "Between 2 readings 5",
                       "Wait respond for 20",
                       "Activating device 1",
                       "Activating device 5",
                       "New Modbus address 7",
                   }));
  ASSERT_EQ(plan.steps.size(), 21u);
  const auto& st = plan.steps;
  EXPECT_EQ(st[0].request.kind, RequestKind::kWriteMultipleRegisters);
  EXPECT_EQ(st[0].request.reg, reg::kNetIpAddress);
  EXPECT_EQ(st[0].request.data, Bytes({192, 168, 1, 100}));
  EXPECT_EQ(st[5].request.reg, 55410);  // operator IP #1
  EXPECT_EQ(st[6].request.reg, 55412);  // operator IP #2
  EXPECT_EQ(st[7].request.reg, 55420);  // net number
  EXPECT_EQ(st[7].request.data, Bytes({0, 0, 0, 7}));
  ExpectSingle(st[8], 6, 0x81);
  ExpectSingle(st[9], 6, 0x82);
  ExpectSingle(st[10], 3, 900);
  ExpectSingle(st[11], 32787, 0x20);
  ExpectSingle(st[12], 32786, 0x52);
  ExpectSingle(st[13], 6, 0x8A);
  ExpectSingle(st[14], 6, 6);
  ExpectSingle(st[15], 56002, 502);
  ExpectSingle(st[16], 4, 5);
  ExpectSingle(st[17], 5, 20);
  ExpectSingle(st[18], 0, 1);
  ExpectSingle(st[19], 0, 5);
  EXPECT_EQ(st[19].request, ActivateRequest(5));
  ExpectSingle(st[20], reg::kModbusAddress, 7);
  EXPECT_EQ(plan.newModbusAddress, 7);
  // A gateway that answers to 7 already is not given it again.
  const RestorePlan at7 = PlanRestore(Typical(), 7);
  EXPECT_EQ(at7.steps.size(), 20u);
  EXPECT_FALSE(at7.newModbusAddress);
  EXPECT_EQ(plan.skipped, (std::vector<std::string>{"Flag: Reset 1 (it restarts the gateway)"}));
}

TEST(SiteRestore, MbusFlagsOffAndTheirWrittenFlagsCovered) {
  Site f;
  f.settings = {Read("mbus_flags", "0x5B"), Written("flag", "Flag", "SND_NKE 1"),
                Written("flag", "Flag", "DHCP 0")};
  const RestorePlan plan = PlanRestore(f);
  ASSERT_EQ(plan.steps.size(), 3u);
  EXPECT_EQ(plan.steps[0].name, "SND_NKE off");
  ExpectSingle(plan.steps[0], 6, 0x01);
  ExpectSingle(plan.steps[1], 6, 0x02);
  ExpectSingle(plan.steps[2], 7, 0x01);  // DHCP off
  ASSERT_EQ(plan.skipped.size(), 1u);
  EXPECT_EQ(plan.skipped[0],
            "Flag: SND_NKE 1 (written from the M-Bus flags read from the gateway)");
}

TEST(SiteRestore, WrittenSndNkeWithoutReadFlags) {
  Site f;
  f.settings = {Written("flag", "Flag", "0x7B 1"), Written("flag", "Flag", "Start Mbus 1")};
  const RestorePlan plan = PlanRestore(f);
  ASSERT_EQ(plan.steps.size(), 2u);
  ExpectSingle(plan.steps[0], 6, 0x82);
  ExpectSingle(plan.steps[1], 6, 0x89);
  EXPECT_TRUE(plan.skipped.empty());
}

TEST(SiteRestore, UnparsableValuesAreSkippedAndThePlanGoesOn) {
  Site f;
  f.settings = {
      Read("ip", "192.168.1"),
      Read("mask", "255.255.255.0"),
      Read("mbus_flags", "SND_NKE,0x7B,0x5B"),
      Written("modbus_address", "New Modbus address", "255"),
      Written("readout_minutes", "Readout/update time (minutes)", "0"),
      Written("mbus_port", "M-Bus port", "19200 Even"),
      Written("modbus_port", "Modbus port", "2400 Mark"),
      Written("value_encoding", "Values", "both"),
      Written("flag", "Flag", "Sort"),
      Written("listen_port", "Listen port", "49"),
      Written("mbus_between_readings", "Between 2 readings", "100"),
      Written("mbus_wait_respond", "Wait respond for", "-1"),
      Written("colour", "Colour", "red"),
  };
  f.devices = {Device("1", "abc"), Device("2", "300"), Device("3", "4"), Device("3", "4")};
  const RestorePlan plan = PlanRestore(f);
  ASSERT_EQ(plan.steps.size(), 2u);
  EXPECT_EQ(plan.steps[0].name, "MASK 255.255.255.0");
  EXPECT_EQ(plan.steps[1].request, ActivateRequest(4));  // once
  EXPECT_EQ(plan.skipped,
            (std::vector<std::string>{
                "IP: 192.168.1 (not an address a.b.c.d)",
                "M-Bus flags: SND_NKE,0x7B,0x5B (not M-Bus flags such as \"SND_NKE,0x7B\")",
                "Readout/update time (minutes): 0 (not a number of minutes 1..720)",
                "M-Bus port: 19200 Even (the M-Bus port is never set above 9600)",
                "Modbus port: 2400 Mark (not a speed and parity such as \"2400 Even\")",
                "Values: both (neither \"real\" nor \"general\")",
                "Flag: Sort (not a flag and its state such as \"Sort 1\")",
                "Listen port: 49 (Invalid modbus TCP port entered...)",
                "Between 2 readings: 100 (not a number 0..99)",
                "Wait respond for: -1 (not a number 0..99)",
                "Colour: red (not a setting a restore writes)",
                "Device row 1: abc (not a primary address)",
                "Device row 2: 300 (not a primary address)",
                "New Modbus address: 255 (Invalid new modbus address entered...)",
            }));
}

// ---- the report ----

TEST(SiteReport, SectionsAndQuoting) {
  Site s;
  s.name = "Hall 1, north";
  s.notes = "Line one\nsays \"hi\"";
  s.technician = "Ann";
  s.saved = "2024-05-17 14:03:59";
  s.orvioVersion = "1.0.1.81";
  s.settings = {Read("ip", "192.168.1.100"), Written("flag", "Flag", "Sort 1")};
  s.devices = {Device("12345678", "1")};
  s.meters = {{"12345678", "1", "ZRI", "1,5", "m3", "Water", "00", "14:01:02", "68"}};
  const std::string csv = ReportCsv(s);
  const std::string expected =
      "Site\r\n"
      "Name,\"Hall 1, north\"\r\n"
      "Notes,\"Line one\nsays \"\"hi\"\"\"\r\n"
      "Technician,Ann\r\n"
      "Saved,2024-05-17 14:03:59\r\n"
      "Orvio version,1.0.1.81\r\n"
      "\r\n"
      "Gateway\r\n"
      "Name,Value,Source\r\n"
      "IP,192.168.1.100,read\r\n"
      "Flag,Sort 1,written\r\n"
      "\r\n"
      "Device map\r\n"
      "ID,Addr,Mfr,Medium,Unit,MValue,T1 Value,T2 Value,T3 Value,T4 Value,Status,Main VIF,"
      "Aux VIFs,Tarriff Start1/2/3/4-End1/2/3/4,Flow (25th reg.)\r\n"
      "12345678,1,ZRI,Water,m3,12345.000,0.000,0.000,0.000,0.000,"
      "\"Main=0000, Device=00, mbus=00\",13,\"input1=00, input2=00\",0/0/0/0-0/0/0/0,\r\n"
      "\r\n"
      "Meters\r\n"
      "ID,Address,Manufacturer,Medium,Value,Unit,Time\r\n"
      "12345678,1,ZRI,Water,\"1,5\",m3,14:01:02\r\n";
  EXPECT_EQ(csv, expected);
}

TEST(SiteReport, EmptySiteHasEverySection) {
  const std::string csv = ReportCsv(Site{});
  EXPECT_NE(csv.find("\r\nGateway\r\nName,Value,Source\r\n\r\nDevice map\r\nID,Addr,"),
            std::string::npos);
  EXPECT_NE(csv.find("\r\n\r\nMeters\r\nID,Address,Manufacturer,Medium,Value,Unit,Time\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace orvio::site
