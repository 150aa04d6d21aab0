#include "core/tables/table_file.h"

#include <filesystem>
#include <fstream>

#include "core/settings/atomic_file.h"
#include "core/tables/device_table.h"
#include "core/tables/meter_table.h"

namespace orvio {

namespace {

std::string DatedName(std::string_view prefix, std::string_view shortDate) {
  std::string name(prefix);
  for (char c : shortDate) name += (c == '/' || c == '\\') ? '-' : c;
  name += ".csv";
  return name;
}

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The first `maxChars` characters of `text`; a character is a UTF-8 lead byte with the
// continuation bytes after it, so a multi-byte character is never split.
std::string FirstChars(const std::string& text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsUtf8Continuation(text[i])) continue;
    if (chars == maxChars) return text.substr(0, i);
    ++chars;
  }
  return text;
}

bool AllEmpty(const MbusTableRow& row) {
  for (const std::string& cell : row)
    if (!cell.empty()) return false;
  return true;
}

// A first line equal to the table's (non-empty) header is the header the writer put there.
bool RepeatsHeader(const TextGrid& loops, const MbusTableRow& row) {
  bool anyText = false;
  for (int col = 0; col < kMbusTableColumns; ++col) {
    const std::string header = loops.Cell(col, 0);
    if (row[static_cast<std::size_t>(col)] != header) return false;
    anyText = anyText || !header.empty();
  }
  return anyText;
}

}  // namespace

std::string RenderTableFile(const TextGrid& grid) {
  std::string out;
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) {
      for (char c : grid.Cell(col, row)) out += (c == '\r' || c == '\n') ? ' ' : c;
      out += ';';
    }
    out += "\r\n";
  }
  return out;
}

std::string MbusDataFileName(std::string_view shortDate) {
  return DatedName("mbus_data_", shortDate);
}

std::string ModbusDataFileName(std::string_view shortDate) {
  return DatedName("modbus_data_", shortDate);
}

bool WriteTableFile(const std::string& path, std::string_view text) {
  return WriteFileAtomically(path, text);
}

std::optional<std::string> ReadTableFile(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  // One byte more than allowed tells an oversized file from one of exactly the limit, even when
  // the file grows between the check above and this read.
  std::string text(kTableFileMaxBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return std::nullopt;
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kTableFileMaxBytes) return std::nullopt;
  if (text.find('\0') != std::string::npos) return std::nullopt;
  return text;
}

std::vector<std::string> SplitTableLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

MbusTableRows ReadMbusTableRows(const std::vector<std::string>& lines) {
  // A field keeps at most 50 characters of up to 4 bytes each; collecting stops there so that a
  // huge line without ";" costs no memory.
  constexpr std::size_t kCollectBytes = 4 * kMbusFieldMaxChars;
  MbusTableRows out;
  for (const std::string& line : lines) {
    MbusTableRow row;
    std::size_t field = 0;
    std::string text;
    for (char c : line) {
      if (c != ';') {
        if (text.size() < kCollectBytes) text += c;
        continue;
      }
      if (field == row.size()) {
        out.tooManyFields = true;
        return out;
      }
      row[field++] = FirstChars(text, kMbusFieldMaxChars);
      text.clear();
    }
    out.rows.push_back(std::move(row));
  }
  return out;
}

bool LoadMbusTable(TextGrid& loops, const std::vector<std::string>& lines) {
  ClearMeterTable(loops);
  const MbusTableRows read = ReadMbusTableRows(lines);
  std::size_t first = 0;
  std::size_t last = read.rows.size();
  if (last > 0 && RepeatsHeader(loops, read.rows[0])) first = 1;
  while (last > first && AllEmpty(read.rows[last - 1])) --last;
  // Header, the rows read, and the open row; the grid is sized once, not row by row.
  loops.SetRowCount(static_cast<int>(last - first) + 2);
  for (std::size_t i = first; i < last; ++i) {
    const int row = static_cast<int>(i - first) + 1;
    for (int col = 0; col < kMbusTableColumns; ++col) {
      const std::string& cell = read.rows[i][static_cast<std::size_t>(col)];
      if (!cell.empty()) loops.SetCell(col, row, cell);
    }
  }
  return read.tooManyFields;
}

std::vector<std::string> ReadDeviceLineFields(std::string_view line) {
  std::vector<std::string> fields;
  std::string text;
  for (char c : line) {
    if (c != ';') {
      text += c;
      continue;
    }
    fields.push_back(std::move(text));
    text.clear();
    if (fields.size() == kImportedDeviceFields) break;
  }
  return fields;
}

void ImportDeviceTable(TextGrid& devices, const std::vector<std::string>& lines) {
  ClearDeviceTable(devices);
  if (lines.size() < 2) return;
  // Line n goes to row n; one row is added per line, which leaves an empty row at the end.
  devices.SetRowCount(static_cast<int>(lines.size()) + 1);
  for (std::size_t n = 1; n < lines.size(); ++n) {
    const std::vector<std::string> fields = ReadDeviceLineFields(lines[n]);
    for (std::size_t col = 0; col < fields.size(); ++col)
      if (!fields[col].empty())
        devices.SetCell(static_cast<int>(col), static_cast<int>(n), fields[col]);
  }
  const int last = devices.RowCount() - 1;
  if (last > 1 && (devices.Cell(0, last).empty() || devices.Cell(1, last).empty()))
    devices.SetRowCount(last);
}

}  // namespace orvio
