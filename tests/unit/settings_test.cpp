// The settings file: defaults, reading with clamping and garbage, rendering, writing.
#include "core/settings/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "settings_test_support.h"

namespace orvio {
namespace {

namespace fs = std::filesystem;

const Settings kDefaults = DefaultSettings("/opt/orvio/");

using testing_support::EntryCount;
using testing_support::ReadFile;
using testing_support::TempFolder;

const char kDefaultText[] =
    "[Modbus port]\n"
    "Name=COM1\n"
    "Speed=19200\n"
    "Parity=Even\n"
    "SB=1\n"
    "\n"
    "[Modbus]\n"
    "AutoOpen=0\n"
    "Timeout=600\n"
    "Address=1\n"
    "STADDR=1\n"
    "Count=125\n"
    "FinishEarly=1\n"
    "\n"
    "[Mbus]\n"
    "Timeout=1000\n"
    "SearchFrom=1\n"
    "SearchTo=5\n"
    "Retry=2\n"
    "\n"
    "[Misc]\n"
    "Dir=/opt/orvio/\n"
    "\n"
    "[TCP]\n"
    "IP=192.168.1.3\n"
    "Port=502\n"
    "EthTimeout=50\n"
    "\n"
    "[Site]\n"
    "Technician=\n";

TEST(Settings, DefaultsOfAFirstStart) {
  const Settings s = kDefaults;
  EXPECT_EQ(s.portName, "COM1");
  EXPECT_EQ(s.portSpeed, "19200");
  EXPECT_EQ(s.portParity, "Even");
  EXPECT_EQ(s.portStopBits, "1");
  EXPECT_FALSE(s.autoOpen);
  EXPECT_EQ(s.mbusTimeout, 1000);
  EXPECT_EQ(s.searchFrom, 1);
  EXPECT_EQ(s.searchTo, 5);
  EXPECT_EQ(s.retry, 2);
  EXPECT_EQ(s.modbusTimeout, 600);
  EXPECT_EQ(s.modbusAddress, 1);
  EXPECT_EQ(s.startRegister, "1");
  EXPECT_EQ(s.registerCount, "125");
  EXPECT_EQ(s.dataDir, "/opt/orvio/");
  EXPECT_EQ(s.tcpIp, "192.168.1.3");
  EXPECT_EQ(s.tcpPort, "502");
  EXPECT_EQ(s.ethTimeout, 50);
  EXPECT_EQ(DefaultSettings("/opt/orvio").dataDir, "/opt/orvio/");
}

TEST(Settings, RenderedDefaultsHaveEverySectionOnceAndAllNineteenKeys) {
  EXPECT_EQ(RenderSettings(kDefaults), kDefaultText);
}

TEST(Settings, MissingFileGivesDefaultsWithDirBesideIt) {
  TempFolder folder;
  const Settings s = ReadSettings((folder.path() / "orvio.ini").string());
  EXPECT_EQ(s, DefaultSettings(folder.path().string() + "/"));
  EXPECT_FALSE(fs::exists(folder.path() / "orvio.ini")) << "reading never creates the file";
}

TEST(Settings, RoundTripThroughFile) {
  TempFolder folder;
  Settings s = DefaultSettings(folder.path().string());
  s.portName = "/dev/ttyUSB0";
  s.technician = "Zoë Tech";
  s.portSpeed = "600";  // not in the list: kept as text
  s.portParity = "None";
  s.portStopBits = "2";
  s.autoOpen = true;
  s.mbusTimeout = 9900;
  s.searchFrom = 0;
  s.searchTo = 255;
  s.retry = 9;
  s.modbusTimeout = 50;
  s.modbusAddress = 255;
  s.startRegister = "33799";
  s.registerCount = "";
  s.dataDir = "/home/tech/tables with blanks/";
  s.tcpIp = "127.0.0.1";
  s.tcpPort = "1502";
  s.ethTimeout = 9999;
  s.finishEarly = false;
  const std::string path = (folder.path() / "orvio.ini").string();
  ASSERT_TRUE(WriteSettingsFile(path, RenderSettings(s)));
  EXPECT_EQ(ReadSettings(path), s);
}

struct IntRow {
  const char* name;
  const char* text;  // INI text
  int Settings::*field;
  int expected;
};

const IntRow kIntRows[] = {
    {"mbus_timeout_low", "[Mbus]\nTimeout=10\n", &Settings::mbusTimeout, 300},
    {"mbus_timeout_high", "[Mbus]\nTimeout=99999\n", &Settings::mbusTimeout, 9900},
    {"mbus_timeout_in_range", "[Mbus]\nTimeout=2500\n", &Settings::mbusTimeout, 2500},
    {"search_from_negative", "[Mbus]\nSearchFrom=-4\n", &Settings::searchFrom, 0},
    {"search_from_high", "[Mbus]\nSearchFrom=251\n", &Settings::searchFrom, 250},
    {"search_to_high", "[Mbus]\nSearchTo=256\n", &Settings::searchTo, 255},
    {"retry_high", "[Mbus]\nRetry=10\n", &Settings::retry, 9},
    {"modbus_timeout_low", "[Modbus]\nTimeout=49\n", &Settings::modbusTimeout, 50},
    {"modbus_timeout_high", "[Modbus]\nTimeout=20001\n", &Settings::modbusTimeout, 20000},
    {"modbus_address_zero", "[Modbus]\nAddress=0\n", &Settings::modbusAddress, 1},
    {"modbus_address_high", "[Modbus]\nAddress=256\n", &Settings::modbusAddress, 255},
    {"eth_timeout_low", "[TCP]\nEthTimeout=29\n", &Settings::ethTimeout, 30},
    {"eth_timeout_high", "[TCP]\nEthTimeout=10000\n", &Settings::ethTimeout, 9999},
    {"beyond_64_bits_clamped", "[TCP]\nEthTimeout=99999999999999999999999\n", &Settings::ethTimeout,
     9999},
    {"beyond_64_bits_negative", "[Mbus]\nTimeout=-99999999999999999999999\n",
     &Settings::mbusTimeout, 300},
    {"plus_sign", "[Mbus]\nRetry=+3\n", &Settings::retry, 3},
    {"blanks_around", "[Mbus]\nRetry =  4  \n", &Settings::retry, 4},
    {"not_a_number", "[Mbus]\nRetry=abc\n", &Settings::retry, 2},
    {"empty_value", "[Mbus]\nRetry=\n", &Settings::retry, 2},
    {"trailing_letters", "[Mbus]\nRetry=3x\n", &Settings::retry, 2},
    {"hex_prefix", "[Mbus]\nRetry=0x3\n", &Settings::retry, 2},
    {"decimal_point", "[Mbus]\nRetry=3.0\n", &Settings::retry, 2},
    {"sign_only", "[Mbus]\nRetry=-\n", &Settings::retry, 2},
    {"same_key_other_section", "[Modbus]\nTimeout=700\n", &Settings::mbusTimeout, 1000},
    {"sections_ignore_case", "[MBUS]\ntimeout=700\n", &Settings::mbusTimeout, 700},
    {"first_duplicate_wins", "[Mbus]\nRetry=4\nRetry=7\n", &Settings::retry, 4},
    {"duplicate_section_first_wins", "[Mbus]\nRetry=4\n[TCP]\n[Mbus]\nRetry=7\n", &Settings::retry,
     4},
    {"unparsable_first_hides_later", "[Mbus]\nRetry=x\nRetry=7\n", &Settings::retry, 2},
    {"key_outside_section", "Retry=7\n", &Settings::retry, 2},
    {"crlf_lines", "[Mbus]\r\nRetry=6\r\n", &Settings::retry, 6},
    {"byte_order_mark", "\xEF\xBB\xBF[Mbus]\nRetry=6\n", &Settings::retry, 6},
    {"comment_line", "[Mbus]\n;Retry=6\n#Retry=5\n", &Settings::retry, 2},
};

class IntTable : public ::testing::TestWithParam<IntRow> {};

TEST_P(IntTable, Value) {
  const IntRow& row = GetParam();
  EXPECT_EQ(ParseSettings(row.text, kDefaults).*row.field, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, IntTable, ::testing::ValuesIn(kIntRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct BoolRow {
  const char* name;
  const char* text;
  bool expected;
};

const BoolRow kBoolRows[] = {
    {"one", "[Modbus]\nAutoOpen=1\n", true},
    {"zero", "[Modbus]\nAutoOpen=0\n", false},
    {"any_nonzero", "[Modbus]\nAutoOpen=2\n", true},
    {"negative", "[Modbus]\nAutoOpen=-1\n", true},
    {"word_true_is_not_a_number", "[Modbus]\nAutoOpen=true\n", false},
    {"wrong_section", "[Modbus port]\nAutoOpen=1\n", false},
};

class BoolTable : public ::testing::TestWithParam<BoolRow> {};

TEST_P(BoolTable, Value) {
  EXPECT_EQ(ParseSettings(GetParam().text, kDefaults).autoOpen, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, BoolTable, ::testing::ValuesIn(kBoolRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Settings, TextsAreNotValidated) {
  const Settings s = ParseSettings("[Modbus port]\nSpeed=600\nParity=Odd-ish\nName=\n", kDefaults);
  EXPECT_EQ(s.portSpeed, "600");
  EXPECT_EQ(s.portParity, "Odd-ish");
  EXPECT_EQ(s.portName, "");
}

TEST(Settings, IndentedLineIsNotAContinuation) {
  const Settings s = ParseSettings("[Modbus port]\nName=COM3\n   COM9\n\tSpeed=600\n", kDefaults);
  EXPECT_EQ(s.portName, "COM3");
  EXPECT_EQ(s.portSpeed, "600");
}

TEST(Settings, TailOfALongLineIsNeverReadAsALine) {
  // Whatever the reader's line limit, a line that does not fit is dropped whole: its tail must
  // not turn into "Name=EVIL", and the lines after it are still read.
  for (size_t pad = 1; pad < 1100; ++pad) {
    const std::string text =
        "[Modbus port]\nSpeed=" + std::string(pad, 'x') + "Name=EVIL\nParity=Odd\n";
    const Settings s = ParseSettings(text, kDefaults);
    ASSERT_NE(s.portName, "EVIL") << pad;
    ASSERT_EQ(s.portParity, "Odd") << pad;
  }
}

TEST(Settings, TooLongValueKeepsDefaultRatherThanACutOne) {
  const std::string text = "[Misc]\nDir=/" + std::string(5000, 'd') + "/\n[TCP]\nPort=1502\n";
  const Settings s = ParseSettings(text, kDefaults);
  EXPECT_EQ(s.dataDir, "/opt/orvio/");
  EXPECT_EQ(s.tcpPort, "1502");
}

TEST(Settings, NulByteMakesOnlyItsLineUnreadable) {
  const std::string text("[Modbus port]\nName=CO\0M7\nSpeed=600\n", 35);
  const Settings s = ParseSettings(text, kDefaults);
  EXPECT_EQ(s.portName, "COM1");
  EXPECT_EQ(s.portSpeed, "600");
}

TEST(Settings, BinaryGarbageFileGivesDefaults) {
  TempFolder folder;
  const fs::path path = folder.path() / "orvio.ini";
  std::mt19937 random(42);
  std::string garbage(4 << 20, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  std::ofstream(path, std::ios::binary) << garbage;
  const Settings s = ReadSettings(path.string());
  // Random bytes may by chance hold a line like "x=1"; none holds our section names.
  EXPECT_EQ(s, DefaultSettings(folder.path().string()));
}

TEST(Settings, GarbageAroundGoodLinesKeepsGoodLines) {
  std::string text = "\x01\x02\xFF garbage\n[TCP]\n\xFE\xFF=1\nIP=10.0.0.9\n[[[\n=\n===\n";
  text += std::string(3000, '[') + "\n";
  const Settings s = ParseSettings(text, kDefaults);
  EXPECT_EQ(s.tcpIp, "10.0.0.9");
}

TEST(Settings, RenderDropsLineBreaksInTexts) {
  Settings s = kDefaults;
  s.portName = "COM1\r\n[TCP]\nIP=6.6.6.6";
  s.tcpIp = std::string(
      "10.0.\0"
      "0.1",
      9);
  const std::string text = RenderSettings(s);
  EXPECT_NE(text.find("Name=COM1[TCP]IP=6.6.6.6\n"), std::string::npos);
  EXPECT_NE(text.find("IP=10.0.0.1\n"), std::string::npos);
  EXPECT_EQ(ParseSettings(text, kDefaults).tcpIp, "10.0.0.1");
}

TEST(Settings, WriteReplacesWholeFile) {
  TempFolder folder;
  const fs::path path = folder.path() / "orvio.ini";
  std::ofstream(path) << std::string(10000, '#');
  ASSERT_TRUE(WriteSettingsFile(path.string(), kDefaultText));
  EXPECT_EQ(ReadFile(path), kDefaultText);
}

TEST(Settings, FailedWriteLeavesOldAndNoTemporary) {
  TempFolder folder;
  // The settings path taken by a folder: the write fails even for root.
  const fs::path path = folder.path() / "orvio.ini";
  fs::create_directory(path);
  std::ofstream(path / "keep") << "x";
  EXPECT_FALSE(WriteSettingsFile(path.string(), kDefaultText));
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(ReadFile(path / "keep"), "x");
  EXPECT_EQ(EntryCount(folder.path()), 1);
  EXPECT_FALSE(WriteSettingsFile((folder.path() / "no" / "orvio.ini").string(), kDefaultText));
  // Reading the folder-taken path still gives defaults.
  EXPECT_EQ(ReadSettings(path.string()), DefaultSettings(folder.path().string()));
}

struct PathRow {
  const char* name;
  const char* executable;
  const char* ini;
};

const PathRow kPathRows[] = {
    {"no_extension", "/opt/orvio/bin/orvio", "/opt/orvio/bin/orvio.ini"},
    {"extension_replaced", "/opt/orvio/orvio.exe", "/opt/orvio/orvio.ini"},
    {"dot_in_folder_only", "/opt/orvio.d/orvio", "/opt/orvio.d/orvio.ini"},
    {"hidden_name", "/opt/.orvio", "/opt/.orvio.ini"},
    {"bare_name", "orvio", "orvio.ini"},
};

class PathTable : public ::testing::TestWithParam<PathRow> {};

TEST_P(PathTable, IniBesideExecutable) {
  EXPECT_EQ(SettingsPathFor(GetParam().executable), GetParam().ini);
}

INSTANTIATE_TEST_SUITE_P(Rows, PathTable, ::testing::ValuesIn(kPathRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvio
