#include "core/tables/table_file.h"

#include "core/settings/atomic_file.h"

namespace orvio {

namespace {

std::string DatedName(std::string_view prefix, std::string_view shortDate) {
  std::string name(prefix);
  for (char c : shortDate) name += (c == '/' || c == '\\') ? '-' : c;
  name += ".csv";
  return name;
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

}  // namespace orvio
