// The table file readers over arbitrary file text: line splitting, the M-Bus device table load
// and the activated-device table import, with the shape of what they leave in the grids checked.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/tables/device_table.h"
#include "core/tables/meter_placement.h"
#include "core/tables/table_file.h"
#include "fuzz_require.h"

namespace {

size_t Utf8Chars(const std::string& text) {
  size_t chars = 0;
  for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return chars;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = orvio::SplitTableLines(text);
  for (const std::string& line : lines)
    Require(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos);

  orvio::MemoryGrid loops(8, 2);
  const char* headers[] = {"ID ",   "Addr ",   "Mfr ",    "Value ",
                           "Unit ", "Medium ", "Status ", "Time "};
  for (int c = 0; c < 8; ++c) loops.SetCell(c, 0, headers[c]);
  orvio::LoadMbusTable(loops, lines);
  Require(loops.RowCount() >= 2 && loops.RowCount() <= static_cast<int>(lines.size()) + 2);
  Require(loops.RowCount() <= orvio::kMeterTableMaxRows);
  Require(loops.Cell(0, 0) == "ID ");
  for (int c = 0; c < 8; ++c) Require(loops.Cell(c, loops.RowCount() - 1).empty());
  for (int r = 1; r < loops.RowCount(); ++r)
    for (int c = 0; c < 8; ++c) {
      const std::string cell = loops.Cell(c, r);
      Require(Utf8Chars(cell) <= orvio::kMbusFieldMaxChars && cell.find(';') == std::string::npos);
    }

  // Saving what was loaded and loading it again changes nothing.
  orvio::MemoryGrid again(8, 2);
  for (int c = 0; c < 8; ++c) again.SetCell(c, 0, headers[c]);
  Require(!orvio::LoadMbusTable(again, orvio::SplitTableLines(orvio::RenderTableFile(loops))));
  Require(again.RowCount() == loops.RowCount());
  for (int r = 0; r < loops.RowCount(); ++r)
    for (int c = 0; c < 8; ++c) Require(again.Cell(c, r) == loops.Cell(c, r));

  orvio::MemoryGrid devices(15, 2);
  devices.SetCell(0, 0, "ID ");
  orvio::ImportDeviceTable(devices, lines);
  Require(devices.RowCount() >= 2 && devices.RowCount() <= static_cast<int>(lines.size()) + 2);
  Require(devices.RowCount() <= orvio::kDeviceTableMaxRows);
  Require(devices.Cell(0, 0) == "ID ");
  for (int r = 1; r < devices.RowCount(); ++r)
    for (int c = 4; c < 15; ++c) Require(devices.Cell(c, r).empty());
  return 0;
}
