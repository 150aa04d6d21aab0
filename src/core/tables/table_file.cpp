#include "core/tables/table_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/settings/atomic_file.h"
#include "core/tables/device_table.h"
#include "core/tables/meter_placement.h"
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

MbusTableRows ReadMbusTableRows(std::span<const std::string> lines, std::size_t maxRows) {
  // A field keeps at most 50 characters of up to 4 bytes each; collecting stops there so that a
  // huge line without ";" costs no memory.
  constexpr std::size_t kCollectBytes = 4 * kMbusFieldMaxChars;
  MbusTableRows out;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    MbusTableRow row;
    std::size_t field = 0;
    std::string text;
    bool ninthField = false;
    for (char c : lines[n]) {
      if (c != ';') {
        if (text.size() < kCollectBytes) text += c;
        continue;
      }
      if (field == row.size()) {
        ninthField = true;
        break;
      }
      row[field++] = FirstChars(text, kMbusFieldMaxChars);
      text.clear();
    }
    if (out.rows.size() >= maxRows) {
      if (!ninthField && AllEmpty(row)) continue;
      out.moreRows = true;
      out.linesRead = n + 1;
      return out;
    }
    out.linesRead = n + 1;
    if (ninthField) {
      out.tooManyFields = true;
      return out;
    }
    out.rows.push_back(std::move(row));
  }
  return out;
}

bool LoadMbusTable(TextGrid& loops, const std::vector<std::string>& lines, std::size_t* linesRead) {
  ClearMeterTable(loops);
  const std::span<const std::string> all(lines);
  std::size_t first = 0;
  if (!all.empty()) {
    const MbusTableRows head = ReadMbusTableRows(all.first(1));
    if (!head.rows.empty() && RepeatsHeader(loops, head.rows[0])) first = 1;
  }
  // Room for meters between the header and the open row.
  const MbusTableRows read =
      ReadMbusTableRows(all.subspan(first), static_cast<std::size_t>(kMeterTableMaxRows - 2));
  std::size_t last = read.rows.size();
  while (last > 0 && AllEmpty(read.rows[last - 1])) --last;
  // Header, the rows read, and the open row; the grid is sized once, not row by row.
  loops.SetRowCount(static_cast<int>(last) + 2);
  for (std::size_t i = 0; i < last; ++i) {
    const int row = static_cast<int>(i) + 1;
    for (int col = 0; col < kMbusTableColumns; ++col) {
      const std::string& cell = read.rows[i][static_cast<std::size_t>(col)];
      if (!cell.empty()) loops.SetCell(col, row, cell);
    }
  }
  if (linesRead) *linesRead = first + read.linesRead;
  return read.tooManyFields || read.moreRows;
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

bool ImportDeviceTable(TextGrid& devices, const std::vector<std::string>& lines,
                       std::size_t* linesRead) {
  ClearDeviceTable(devices);
  if (linesRead) *linesRead = lines.size();
  if (lines.size() < 2) return false;
  // Line n goes to row n, up to the table's last row.
  const std::size_t rows = std::min(lines.size(), static_cast<std::size_t>(kDeviceTableMaxRows));
  bool more = false;
  std::size_t used = rows;
  for (std::size_t n = rows; n < lines.size() && !more; ++n) {
    for (const std::string& field : ReadDeviceLineFields(lines[n])) more = more || !field.empty();
    if (more) used = n + 1;
  }
  if (linesRead) *linesRead = used;
  // One row is added per line, which leaves an empty row at the end.
  devices.SetRowCount(static_cast<int>(rows) + 1);
  for (std::size_t n = 1; n < rows; ++n) {
    const std::vector<std::string> fields = ReadDeviceLineFields(lines[n]);
    for (std::size_t col = 0; col < fields.size(); ++col)
      if (!fields[col].empty())
        devices.SetCell(static_cast<int>(col), static_cast<int>(n), fields[col]);
  }
  const int last = devices.RowCount() - 1;
  if (last > 1 && (devices.Cell(0, last).empty() || devices.Cell(1, last).empty()))
    devices.SetRowCount(last);
  return more;
}

}  // namespace orvio
