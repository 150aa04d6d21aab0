// The eighteen settings kept between runs in the INI file beside the executable.
#pragma once

#include <string>
#include <string_view>

namespace orvio {

// Defaults are those of a first start. Integers are positions of up-down controls and always lie
// in their control's range after reading (see core/settings/control_ranges.h).
struct Settings {
  // [Modbus port]
  std::string portName = "COM1";    // Combo_com2_name
  std::string portSpeed = "19200";  // Combo_com2_speed
  std::string portParity = "Even";  // Combo_com2_parity
  std::string portStopBits = "1";   // Combo_com2_stop
  // [Modbus]
  bool autoOpen = false;  // CB_open_port2
  // [Mbus]
  int mbusTimeout = 1000;  // UD_timeout, ms, 300..9900
  int searchFrom = 1;      // UDaddressFrom, 0..250
  int searchTo = 5;        // UDaddressTo, 0..255
  int retry = 2;           // UD_retry, 0..9
  // [Modbus]
  int modbusTimeout = 600;            // UD_modbusTimeout, ms, 50..20000
  int modbusAddress = 1;              // UDmodbusAddress, 1..255
  std::string startRegister = "1";    // EditInputAddress
  std::string registerCount = "125";  // EditInputCount
  bool finishEarly = true;  // CheckFinishEarly: a Modbus wait ends once its answer is complete
  // [Misc]
  std::string dataDir;  // folder of the CSV dialogs; default the executable's folder
  // [TCP]
  std::string tcpIp = "192.168.1.3";  // Edit_lanxp_ip
  std::string tcpPort = "502";        // Edit_lanxp_port
  int ethTimeout = 50;                // UD_eth_timeout, units of 10 ms, 30..9999

  std::string technician;  // who signs site files and commissioning reports

  bool operator==(const Settings&) const = default;
};

// The settings file of an executable: its path with the extension replaced by ".ini".
std::string SettingsPathFor(const std::string& executablePath);

// Defaults, with "Dir" set to `executableFolder` (given a trailing "/" when it lacks one).
Settings DefaultSettings(const std::string& executableFolder);

// Reads INI text over `defaults`. What cannot be read keeps its default, silently: a missing
// key or section, an integer or boolean that is not a decimal number, a line longer than the
// INI reader's line limit or holding a NUL byte. Integers out of range are clamped into their
// control's range; numbers beyond the integer range count as out of range. A boolean is true
// when its number is not 0. Section and key names match regardless of case. When a key occurs
// more than once, the first occurrence counts (as the INI functions of the platform this file
// format comes from read it); an unreadable first occurrence still hides later ones.
Settings ParseSettings(std::string_view iniText, const Settings& defaults);

// Reads the file at `path`; defaults (with "Dir" the folder of `path`) when it is missing or
// unreadable. The file lies beside the executable, so that folder is the executable's.
Settings ReadSettings(const std::string& path);
// The same over the caller's defaults (an installed copy keeps its settings elsewhere).
Settings ReadSettings(const std::string& path, const Settings& defaults);

// The INI text: every section once, in the order its first key appears in the settings table,
// keys in table order, "key=value" lines. Line breaks and NUL bytes in texts are dropped so a
// value cannot spill into another line.
std::string RenderSettings(const Settings& settings);

// Replaces the file whole or not at all; false on any failure (the old file stays intact).
bool WriteSettingsFile(const std::string& path, std::string_view text);

inline constexpr char kSavingSettingsCaption[] = "Saving settings";
inline constexpr char kSavingSettingsText[] = "Settings will not be saved, no write permission";

}  // namespace orvio
