#include "cli/decode_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "core/bytes.h"

namespace orvio::cli {

namespace {

constexpr char kUsage[] =
    "Usage: orvio-cli decode [--json] [HEX... | -f FILE | -]\n"
    "  Decodes M-Bus RSP_UD telegrams (68 L L 68 ... CS 16) given as hex digits, with or\n"
    "  without blanks. The HEX arguments are joined by blanks into one text; a FILE or standard\n"
    "  input (\"-\", also when no source is given) holds one telegram per line.\n"
    "  --json  one JSON object per telegram and line\n"
    "Exit status: 0 every telegram decoded, 1 a telegram failed the checks, 2 unusable input.\n";

void AppendJsonString(std::string& out, const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          // Control characters and bytes of the telegram's 8-bit texts (taken as Latin-1).
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0x0F];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

// A cell for the terminal: Latin-1 as UTF-8, control characters as '.', trailing blanks cut.
std::string Display(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '.';
  }
  std::string out = Latin1ToUtf8(text);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Characters on the terminal of a Display() text.
size_t Width(const std::string& utf8) {
  return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

enum class ReadResult { kOk, kUnusable };

// Everything an open descriptor gives until its end. On a read error: false and the system's
// text for it (a folder gives "Is a directory").
bool ReadAll(int fd, std::string& text, std::string& reason) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      return true;
    } else if (errno != EINTR) {
      reason = std::strerror(errno);
      return false;
    }
  }
}

bool ReadFile(const std::string& path, std::string& text, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  const bool ok = ReadAll(fd, text, reason);
  ::close(fd);
  return ok;
}

// Splits `text` into lines and parses every non-blank one as a telegram.
ReadResult ParseLines(const std::string& text, const std::string& source,
                      std::vector<ByteString>& telegrams, std::ostream& err) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (line.find_first_not_of(" \t\r\n") == std::string::npos) continue;
    std::optional<ByteString> bytes = ParseHexBytes(line);
    if (!bytes) {
      err << "orvio-cli: " << source << " line " << number
          << ": not a telegram in hex digits (two per byte, blanks allowed)\n";
      return ReadResult::kUnusable;
    }
    telegrams.push_back(std::move(*bytes));
  }
  return ReadResult::kOk;
}

}  // namespace

std::string TelegramJson(const TelegramDecode& d) {
  std::string out = "{\"ok\":";
  out += d.ok ? "true" : "false";
  out += ",\"trace\":[";
  for (size_t i = 0; i < d.trace.size(); ++i) {
    if (i) out += ',';
    AppendJsonString(out, d.trace[i]);
  }
  out += "]";
  const TelegramHeader empty;
  const TelegramHeader& h = d.decoded ? d.header : empty;
  out += ",\"id\":";
  AppendJsonString(out, h.id);
  out += ",\"address\":" + std::to_string(h.address);
  out += ",\"manufacturer\":";
  AppendJsonString(out, h.manufacturer);
  out += ",\"medium\":";
  AppendJsonString(out, d.decoded ? h.medium.name : std::string());
  out += ",\"status\":";
  AppendJsonString(out, h.status);
  out += ",\"value\":";
  AppendJsonString(out, d.value);
  out += ",\"unit\":";
  AppendJsonString(out, d.unit);
  out += ",\"records\":[";
  static constexpr const char* kNames[7] = {"number", "value", "unit", "description",
                                            "dif",    "vif",   "vife"};
  for (size_t r = 0; r < d.records.size(); ++r) {
    if (r) out += ',';
    const auto cells = d.records[r].Cells();
    out += '{';
    for (size_t c = 0; c < cells.size(); ++c) {
      if (c) out += ',';
      out += '"';
      out += kNames[c];
      out += "\":";
      AppendJsonString(out, cells[c]);
    }
    out += '}';
  }
  out += "]}";
  return out;
}

std::string TelegramText(const TelegramDecode& d) {
  std::string out;
  if (!d.decoded) {
    for (const std::string& line : d.trace) out += Display(line) + "\n";
    out += "Not decoded\n";
    return out;
  }
  for (size_t i = 1; i < d.trace.size(); ++i) out += Display(d.trace[i]) + "\n";
  const TelegramHeader& h = d.header;
  out += "ID " + h.id + "  Addr " + std::to_string(h.address) + "  Mfr " + Display(h.manufacturer) +
         "  Medium " + h.medium.name + "  Status " + h.status + "\n";

  std::vector<std::array<std::string, 7>> table;
  table.push_back({"No", "Value", "Unit", "Description", "DIF", "VIF", "VIFE"});
  for (const RecordRow& row : d.records) {
    auto cells = row.Cells();
    for (auto& c : cells) c = Display(c);
    table.push_back(std::move(cells));
  }
  std::array<size_t, 7> widths{};
  for (const auto& row : table) {
    for (size_t c = 0; c < 7; ++c) widths[c] = std::max(widths[c], Width(row[c]));
  }
  for (const auto& row : table) {
    std::string line;
    for (size_t c = 0; c < 7; ++c) {
      line += row[c];
      if (c + 1 < 7) line.append(widths[c] - Width(row[c]) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  out += "Main value: ";
  out += d.unit.empty() && d.value.empty() ? "none" : Display(d.value) + " " + Display(d.unit);
  out += "\n";
  return out;
}

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? kUnusableInput : kAllDecoded;
  }
  if (args[0] != "decode") {
    err << "orvio-cli: unknown command \"" << args[0] << "\"\n" << kUsage;
    return kUnusableInput;
  }

  bool json = false;
  bool from_stdin = false;
  std::string file;
  std::vector<std::string> hex_words;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--help" || a == "-h") {
      out << kUsage;
      return kAllDecoded;
    } else if (a == "-f") {
      if (i + 1 >= args.size()) {
        err << "orvio-cli: -f needs a file name\n";
        return kUnusableInput;
      }
      file = args[++i];
    } else if (a == "-") {
      from_stdin = true;
    } else if (a.size() > 1 && a[0] == '-') {
      err << "orvio-cli: unknown option \"" << a << "\"\n" << kUsage;
      return kUnusableInput;
    } else {
      hex_words.push_back(a);
    }
  }
  const int sources = (file.empty() ? 0 : 1) + (from_stdin ? 1 : 0) + (hex_words.empty() ? 0 : 1);
  if (sources > 1) {
    err << "orvio-cli: give the telegrams either as arguments, with -f or on standard input\n";
    return kUnusableInput;
  }

  std::string text, source;
  std::string reason;
  if (!file.empty()) {
    source = file;
    if (!ReadFile(file, text, reason)) {
      err << "orvio-cli: cannot read \"" << file << "\": " << reason << "\n";
      return kUnusableInput;
    }
  } else if (!hex_words.empty()) {
    for (const std::string& w : hex_words) text += w + " ";
    source = "arguments";
  } else if (&in == &std::cin) {
    // The real standard input is read through its descriptor so that a read error (standard
    // input redirected from a folder, say) is reported with its reason.
    source = "standard input";
    if (!ReadAll(STDIN_FILENO, text, reason)) {
      err << "orvio-cli: cannot read standard input: " << reason << "\n";
      return kUnusableInput;
    }
  } else {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    source = "standard input";
  }

  std::vector<ByteString> telegrams;
  if (ParseLines(text, source, telegrams, err) == ReadResult::kUnusable) return kUnusableInput;
  if (telegrams.empty()) {
    err << "orvio-cli: no telegram in " << source << "\n";
    return kUnusableInput;
  }

  int status = kAllDecoded;
  for (size_t i = 0; i < telegrams.size(); ++i) {
    const TelegramDecode decoded = DecodeTelegram(telegrams[i], '.');
    if (!decoded.ok) status = kCheckFailed;
    if (json) {
      out << TelegramJson(decoded) << "\n";
    } else {
      if (i) out << "\n";
      out << TelegramText(decoded);
    }
  }
  return status;
}

}  // namespace orvio::cli
