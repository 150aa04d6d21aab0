#include "core/settings/settings.h"

#include <ini.h>
#include <strings.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <variant>

#include "core/settings/atomic_file.h"
#include "core/settings/control_ranges.h"
#include "core/text/number.h"

namespace orvio {

namespace {

using Field = std::variant<std::string Settings::*, int Settings::*, bool Settings::*>;

struct SettingRow {
  const char* section;
  const char* key;
  Field field;
  ControlRange range{0, 0};  // integers only: the range of the up-down control
};

// The order of reading and writing.
const std::array<SettingRow, 19> kSettingRows{{
    {"Modbus port", "Name", &Settings::portName},
    {"Modbus port", "Speed", &Settings::portSpeed},
    {"Modbus port", "Parity", &Settings::portParity},
    {"Modbus port", "SB", &Settings::portStopBits},
    {"Modbus", "AutoOpen", &Settings::autoOpen},
    {"Mbus", "Timeout", &Settings::mbusTimeout, control_range::kMbusTimeout},
    {"Mbus", "SearchFrom", &Settings::searchFrom, control_range::kSearchFrom},
    {"Mbus", "SearchTo", &Settings::searchTo, control_range::kSearchTo},
    {"Mbus", "Retry", &Settings::retry, control_range::kRetry},
    {"Modbus", "Timeout", &Settings::modbusTimeout, control_range::kModbusTimeout},
    {"Modbus", "Address", &Settings::modbusAddress, control_range::kModbusAddress},
    {"Modbus", "STADDR", &Settings::startRegister},
    {"Modbus", "Count", &Settings::registerCount},
    {"Modbus", "FinishEarly", &Settings::finishEarly},
    {"Misc", "Dir", &Settings::dataDir},
    {"TCP", "IP", &Settings::tcpIp},
    {"TCP", "Port", &Settings::tcpPort},
    {"TCP", "EthTimeout", &Settings::ethTimeout, control_range::kEthTimeout},
    {"Site", "Technician", &Settings::technician},
}};

struct ParseState {
  Settings settings;
  std::array<bool, kSettingRows.size()> seen{};
};

int OnEntry(void* user, const char* section, const char* name, const char* value) {
  auto* state = static_cast<ParseState*>(user);
  for (size_t i = 0; i < kSettingRows.size(); ++i) {
    const SettingRow& row = kSettingRows[i];
    if (strcasecmp(section, row.section) != 0 || strcasecmp(name, row.key) != 0) continue;
    if (state->seen[i]) return 1;  // the first occurrence counts
    state->seen[i] = true;
    Settings& s = state->settings;
    if (auto text = std::get_if<std::string Settings::*>(&row.field)) {
      s.** text = value;
    } else if (auto integer = std::get_if<int Settings::*>(&row.field)) {
      if (auto number = ParseSignedDecimal(value)) s.** integer = row.range.Clamp(*number);
    } else if (auto flag = std::get_if<bool Settings::*>(&row.field)) {
      if (auto number = ParseSignedDecimal(value)) s.** flag = *number != 0;
    }
    return 1;
  }
  return 1;
}

// Hands inih whole lines only. A line the reader's buffer cannot hold, or one holding a NUL byte,
// is handed over empty (inih would otherwise parse the rest of a long line as a line of its own,
// or read a value cut at the NUL). Leading blanks are dropped so that an indented line is never
// taken for the continuation of the previous value.
class LineSource {
 public:
  explicit LineSource(std::string_view text) : text_(text) {}
  explicit LineSource(std::FILE* file) : file_(file) {}

  static char* Read(char* str, int num, void* stream) {
    return static_cast<LineSource*>(stream)->ReadLine(str, num);
  }

 private:
  int Get() {
    if (file_ != nullptr) return std::getc(file_);
    if (pos_ >= text_.size()) return EOF;
    return static_cast<unsigned char>(text_[pos_++]);
  }

  char* ReadLine(char* str, int num) {
    if (num < 3) return nullptr;
    int c = Get();
    if (c == EOF) return nullptr;
    const size_t room = static_cast<size_t>(num) - 2;  // keep space for '\n' and NUL
    size_t len = 0;
    bool unreadable = false;
    bool leading = true;
    for (; c != EOF && c != '\n'; c = Get()) {
      if (leading && (c == ' ' || c == '\t')) continue;
      leading = false;
      if (c == '\0' || len == room) {
        unreadable = true;
      } else {
        str[len++] = static_cast<char>(c);
      }
    }
    if (unreadable) len = 0;
    str[len++] = '\n';
    str[len] = '\0';
    return str;
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::FILE* file_ = nullptr;
};

Settings Parse(LineSource& source, const Settings& defaults) {
  ParseState state{defaults, {}};
  ini_parse_stream(&LineSource::Read, &source, &OnEntry, &state);
  return state.settings;
}

std::string FolderWithSeparator(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

void AppendClean(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c != '\r' && c != '\n' && c != '\0') out += c;
  }
}

}  // namespace

std::string SettingsPathFor(const std::string& executablePath) {
  const size_t slash = executablePath.rfind('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = executablePath.rfind('.');
  if (dot != std::string::npos && dot > base) return executablePath.substr(0, dot) + ".ini";
  return executablePath + ".ini";
}

Settings DefaultSettings(const std::string& executableFolder) {
  Settings s;
  s.dataDir = executableFolder;
  if (!s.dataDir.empty() && s.dataDir.back() != '/') s.dataDir += '/';
  return s;
}

Settings ParseSettings(std::string_view iniText, const Settings& defaults) {
  LineSource source(iniText);
  return Parse(source, defaults);
}

Settings ReadSettings(const std::string& path) {
  return ReadSettings(path, DefaultSettings(FolderWithSeparator(path)));
}

Settings ReadSettings(const std::string& path, const Settings& defaults) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return defaults;
  LineSource source(file.get());
  return Parse(source, defaults);
}

std::string RenderSettings(const Settings& settings) {
  std::string out;
  for (size_t i = 0; i < kSettingRows.size(); ++i) {
    const char* section = kSettingRows[i].section;
    bool writtenBefore = false;
    for (size_t j = 0; j < i; ++j) writtenBefore |= strcmp(kSettingRows[j].section, section) == 0;
    if (writtenBefore) continue;
    if (!out.empty()) out += '\n';
    out += '[';
    out += section;
    out += "]\n";
    for (const SettingRow& row : kSettingRows) {
      if (strcmp(row.section, section) != 0) continue;
      out += row.key;
      out += '=';
      if (auto text = std::get_if<std::string Settings::*>(&row.field)) {
        AppendClean(out, settings.**text);
      } else if (auto integer = std::get_if<int Settings::*>(&row.field)) {
        out += std::to_string(settings.**integer);
      } else if (auto flag = std::get_if<bool Settings::*>(&row.field)) {
        out += settings.**flag ? '1' : '0';
      }
      out += '\n';
    }
  }
  return out;
}

bool WriteSettingsFile(const std::string& path, std::string_view text) {
  return WriteFileAtomically(path, text);
}

}  // namespace orvio
