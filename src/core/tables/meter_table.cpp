#include "core/tables/meter_table.h"

#include <string>

#include "core/text/number.h"

namespace orvio {

namespace {

bool RowEmpty(const TextGrid& grid, int row) {
  for (int col = 0; col < grid.ColCount(); ++col)
    if (!grid.Cell(col, row).empty()) return false;
  return true;
}

}  // namespace

int MeterRowAddress(const TextGrid& loops, int row) {
  if (row < 0 || row >= loops.RowCount()) return -1;
  return ParseInt(loops.Cell(1, row)).value_or(-1);
}

bool RemoveMeterRow(TextGrid& loops, int row) {
  const int last = loops.RowCount() - 1;
  if (row < 1 || row > last) return false;
  // The open row holds no meter; removing it would let the next meter found overwrite the last
  // one listed.
  if (row == last && RowEmpty(loops, row)) return false;
  for (int r = row; r < last; ++r) {
    for (int col = 0; col < loops.ColCount(); ++col) loops.SetCell(col, r, loops.Cell(col, r + 1));
  }
  loops.SetRowCount(last);
  // A full table's last row holds a meter: open a new empty row behind it.
  if (last <= 1 || !RowEmpty(loops, last - 1)) {
    loops.SetRowCount(last + 1);
    for (int col = 0; col < loops.ColCount(); ++col) loops.SetCell(col, last, "");
  }
  return true;
}

void ClearMeterTable(TextGrid& loops) { ClearTable(loops); }

}  // namespace orvio
