// The table file writer over grids made from arbitrary bytes: first byte the column count, then
// cells separated by 0x1F and rows by 0x1E.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/tables/table_file.h"
#include "fuzz_require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int cols = 1 + data[0] % 16;
  std::vector<std::vector<std::string>> rows(1);
  std::string cell;
  for (size_t i = 1; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\x1F' || c == '\x1E') {
      rows.back().push_back(cell);
      cell.clear();
      if (c == '\x1E') rows.emplace_back();
    } else {
      cell += c;
    }
  }
  rows.back().push_back(cell);

  orvio::MemoryGrid grid(cols, static_cast<int>(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c)
      grid.SetCell(static_cast<int>(c), static_cast<int>(r), rows[r][c]);

  const std::string text = orvio::RenderTableFile(grid);
  // One CR LF per row and none elsewhere; every line ends in ";".
  size_t lines = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      Require(i >= 2 && text[i - 1] == '\r' && text[i - 2] == ';');
      ++lines;
      start = i + 1;
    } else if (text[i] == '\r') {
      Require(i + 1 < text.size() && text[i + 1] == '\n');
    }
  }
  Require(start == text.size());
  Require(lines == rows.size());

  const std::string name = orvio::MbusDataFileName(std::string_view(text).substr(0, 64));
  Require(name.find('/') == std::string::npos && name.find('\\') == std::string::npos);
  return 0;
}
