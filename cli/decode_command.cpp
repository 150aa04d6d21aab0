#include "cli/decode_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <utility>

#include "core/bytes.h"
#include "core/mbus/full_decode.h"
#include "core/mbus/full_report.h"
#include "core/text/columns.h"

namespace orvio::cli {

namespace {

constexpr char kVersion[] = ORVIO_VERSION;

constexpr char kUsage[] =
    "Usage: orvio-cli decode [--full] [--json] [HEX... | FILE... | -f FILE | -]\n"
    "       orvio-cli --version\n"
    "  Decodes M-Bus RSP_UD telegrams (68 L L 68 ... CS 16) given as hex digits, with or\n"
    "  without blanks. The HEX arguments are joined by blanks into one text; a FILE or standard\n"
    "  input (\"-\", also when no source is given) holds one telegram per line. An argument\n"
    "  that names an existing file is read as a FILE.\n"
    "  --full  every header field and every record by the full EN 13757-3 rules: function,\n"
    "          storage, tariff, subunit, value, unit, quantity, raw bytes, offset and length\n"
    "  --json  one JSON object per telegram and line\n"
    "Exit status: 0 every telegram decoded, 1 a telegram failed the checks, 2 unusable input.\n";

using Json = nlohmann::ordered_json;

// The longest text an echo of the input keeps whole, and the prefix kept of a longer one.
constexpr size_t kLongestEcho = 64;
constexpr size_t kEchoPrefix = 32;
// A trace line "Respond: " with the telegram in hex is kept whole up to the longest long frame.
constexpr size_t kLongestTraceEcho = sizeof("Respond: ") - 1 + (255 + 6) * 3;

// The input as a message repeats it: whole when short, else its first characters and its length
// (a line of megabytes must not come back whole).
std::string Echo(const std::string& text, size_t longest = kLongestEcho) {
  if (text.size() <= longest) return text;
  return text.substr(0, kEchoPrefix) + "... (" + std::to_string(text.size()) + " characters)";
}

// A text of the decoder (8-bit, taken as Latin-1) as a JSON string.
Json Latin1(const std::string& text) { return Latin1ToUtf8(text); }

// A UTF-8 cell for the terminal: control characters as '.', trailing blanks cut.
std::string DisplayUtf8(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '.';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// A cell for the terminal: Latin-1 as UTF-8, control characters as '.', trailing blanks cut.
std::string Display(const std::string& text) { return DisplayUtf8(Latin1ToUtf8(text)); }

// Characters on the terminal of a Display() text.

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
    for (ByteString& telegram : SplitJoinedTelegrams(*bytes))
      telegrams.push_back(std::move(telegram));
  }
  return ReadResult::kOk;
}

}  // namespace

std::string TelegramJson(const TelegramDecode& d) {
  Json j;
  j["ok"] = d.ok;
  Json trace = Json::array();
  for (const std::string& line : d.trace) trace.push_back(Latin1(Echo(line, kLongestTraceEcho)));
  j["trace"] = std::move(trace);
  const TelegramHeader empty;
  const TelegramHeader& h = d.decoded ? d.header : empty;
  j["id"] = Latin1(h.id);
  j["address"] = h.address;
  j["manufacturer"] = Latin1(h.manufacturer);
  j["medium"] = Latin1(d.decoded ? h.medium.name : std::string());
  j["status"] = Latin1(h.status);
  j["value"] = Latin1(d.value);
  j["unit"] = Latin1(d.unit);
  static constexpr const char* kNames[7] = {"number", "value", "unit", "description",
                                            "dif",    "vif",   "vife"};
  Json records = Json::array();
  for (const RecordRow& row : d.records) {
    const auto cells = row.Cells();
    Json record;
    for (size_t c = 0; c < cells.size(); ++c) record[kNames[c]] = Latin1(cells[c]);
    records.push_back(std::move(record));
  }
  j["records"] = std::move(records);
  return JsonLine(j);
}

std::string FullJson(const FullDecode& d) { return JsonLine(FullDecodeJson(d)); }

std::string TelegramText(const TelegramDecode& d) {
  std::string out;
  if (!d.decoded) {
    for (const std::string& line : d.trace) out += Display(Echo(line, kLongestTraceEcho)) + "\n";
    out += "Not decoded\n";
    return out;
  }
  for (size_t i = 1; i < d.trace.size(); ++i)
    out += Display(Echo(d.trace[i], kLongestTraceEcho)) + "\n";
  const TelegramHeader& h = d.header;
  out += "ID " + h.id + "  Addr " + std::to_string(h.address) + "  Mfr " + Display(h.manufacturer) +
         "  Medium " + h.medium.name + "  Status " + h.status + "\n";

  std::vector<std::vector<std::string>> table;
  table.push_back({"No", "Value", "Unit", "Description", "DIF", "VIF", "VIFE"});
  for (const RecordRow& row : d.records) {
    std::vector<std::string> cells;
    for (const std::string& c : row.Cells()) cells.push_back(Display(c));
    table.push_back(std::move(cells));
  }
  out += AlignedColumns(table);
  out += "Main value: ";
  out += d.unit.empty() && d.value.empty() ? "none" : Display(d.value) + " " + Display(d.unit);
  out += "\n";
  return out;
}

std::string FullText(const FullDecode& d) {
  std::string out;
  for (const std::string& e : d.errors) out += DisplayUtf8(e) + "\n";
  if (!d.ok) return out + "Not decoded\n";
  const FullHeader& h = d.header;
  out += "C " + HexByte(h.c_field) + "  Addr " + std::to_string(h.address) + "  CI " +
         HexByte(h.ci) + "h";
  if (h.long_header) {
    out += "  ID " + h.id + "  Mfr " + Display(h.manufacturer) + "  Version " +
           std::to_string(h.version) + "  Medium " + HexByte(h.medium_code) + " " + h.medium;
  }
  if (h.fixed_structure) {
    out += "  ID " + h.id + "  Medium " + HexByte(h.medium_code) + " " + h.medium +
           "  Medium/unit " + SignatureHex(h.medium_unit);
  }
  out += "\n";
  if (h.length > 1) {
    const std::string bits = StatusBitsText(h);
    out += "Access number " + std::to_string(h.access_number) + "  Status " + HexByte(h.status) +
           (bits.empty() ? "" : " (" + bits + ")");
    if (!h.fixed_structure) out += "  Signature " + SignatureHex(h.signature);
    out += "\n";
  }
  std::vector<std::vector<std::string>> table = {FullRecordColumns()};
  for (const FullRecord& r : d.records) {
    std::vector<std::string> cells = FullRecordCells(r);
    for (std::string& cell : cells) cell = DisplayUtf8(std::move(cell));
    table.push_back(std::move(cells));
  }
  return out + AlignedColumns(table);
}

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? kUnusableInput : kAllDecoded;
  }
  if (args[0] == "--version" || args[0] == "-V") {
    out << "orvio-cli " << kVersion << "\n";
    return kAllDecoded;
  }
  if (args[0] != "decode") {
    err << "orvio-cli: unknown command \"" << Echo(args[0]) << "\"\n" << kUsage;
    return kUnusableInput;
  }

  bool json = false;
  bool full = false;
  bool from_stdin = false;
  std::vector<std::string> files;  // -f FILE and the arguments that name existing files
  std::vector<std::string> hex_words;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--full") {
      full = true;
    } else if (a == "--help" || a == "-h") {
      out << kUsage;
      return kAllDecoded;
    } else if (a == "-f") {
      if (i + 1 >= args.size()) {
        err << "orvio-cli: -f needs a file name\n";
        return kUnusableInput;
      }
      files.push_back(args[++i]);
    } else if (a == "-") {
      from_stdin = true;
    } else if (a.size() > 1 && a[0] == '-') {
      err << "orvio-cli: unknown option \"" << Echo(a) << "\"\n" << kUsage;
      return kUnusableInput;
    } else if (std::error_code ec; std::filesystem::exists(a, ec)) {
      files.push_back(a);
    } else {
      hex_words.push_back(a);
    }
  }
  const int sources = (files.empty() ? 0 : 1) + (from_stdin ? 1 : 0) + (hex_words.empty() ? 0 : 1);
  if (sources > 1) {
    err << "orvio-cli: give the telegrams either as arguments, with -f or on standard input\n";
    return kUnusableInput;
  }

  // The text of every source, with the name its messages give it.
  std::vector<std::pair<std::string, std::string>> inputs;
  std::string reason;
  for (const std::string& file : files) {
    std::string text;
    if (!ReadFile(file, text, reason)) {
      err << "orvio-cli: cannot read \"" << Echo(file) << "\": " << reason << "\n";
      return kUnusableInput;
    }
    inputs.emplace_back(std::move(text), Echo(file));
  }
  if (!hex_words.empty()) {
    std::string text;
    for (const std::string& w : hex_words) text += w + " ";
    inputs.emplace_back(std::move(text), "arguments");
  } else if (files.empty() && &in == &std::cin) {
    // The real standard input is read through its descriptor so that a read error (standard
    // input redirected from a folder, say) is reported with its reason.
    std::string text;
    if (!ReadAll(STDIN_FILENO, text, reason)) {
      err << "orvio-cli: cannot read standard input: " << reason << "\n";
      return kUnusableInput;
    }
    inputs.emplace_back(std::move(text), "standard input");
  } else if (files.empty()) {
    inputs.emplace_back(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
        "standard input");
  }

  std::vector<ByteString> telegrams;
  for (const auto& [text, source] : inputs) {
    if (ParseLines(text, source, telegrams, err) == ReadResult::kUnusable) {
      // An argument with a dot or a slash was most likely meant as a file.
      for (const std::string& w : hex_words)
        if (w.find_first_of("./") != std::string::npos)
          err << "orvio-cli: \"" << Echo(w) << "\" is no file either\n";
      return kUnusableInput;
    }
  }
  if (telegrams.empty()) {
    err << "orvio-cli: no telegram in " << (inputs.size() == 1 ? inputs[0].second : "the files")
        << "\n";
    return kUnusableInput;
  }

  int status = kAllDecoded;
  for (size_t i = 0; i < telegrams.size(); ++i) {
    if (full) {
      const FullDecode decoded = DecodeFull(telegrams[i]);
      if (!decoded.ok) status = kCheckFailed;
      if (json) {
        out << FullJson(decoded) << "\n";
      } else {
        if (i) out << "\n";
        out << FullText(decoded);
      }
      continue;
    }
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
