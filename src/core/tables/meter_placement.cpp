#include "core/tables/meter_placement.h"

#include "core/text/number.h"

namespace orvio {

namespace {

void WriteRow(TextGrid& grid, int row, const std::array<std::string, 8>& summary) {
  for (int c = 0; c < 8; ++c) grid.SetCell(c, row, summary[static_cast<size_t>(c)]);
}

// Decimal number in a cell; -1 when the cell is not one.
int CellNumber(const std::string& text) { return ParseInt(text).value_or(-1); }

// Writes into the open last row and opens a new one while under the cap.
int Append(TextGrid& grid, const std::array<std::string, 8>& summary) {
  if (grid.RowCount() < 2) grid.SetRowCount(2);  // header and the open row
  const int row = grid.RowCount() - 1;
  WriteRow(grid, row, summary);
  if (grid.RowCount() < kMeterTableMaxRows) grid.SetRowCount(grid.RowCount() + 1);
  return row;
}

}  // namespace

PlacementResult PlaceMeterSummary(TextGrid& grid, const std::array<std::string, 8>& summary,
                                  MeterPlacement rule) {
  PlacementResult result;
  switch (rule) {
    case MeterPlacement::kAppend: result.rows.push_back(Append(grid, summary)); break;
    case MeterPlacement::kMatchId: {
      const std::string& id = summary[kMeterIdColumn];
      for (int row = 1; row < grid.RowCount(); ++row) {
        if (grid.Cell(kMeterIdColumn, row) != id) continue;
        WriteRow(grid, row, summary);
        result.rows.push_back(row);
        result.select_rows.push_back(row);
        result.address_selected = true;
        result.selected_address = CellNumber(grid.Cell(kMeterAddrColumn, row));
      }
      if (result.rows.empty()) {
        const int row = Append(grid, summary);
        result.rows.push_back(row);
        result.address_selected = true;
        result.selected_address = CellNumber(grid.Cell(kMeterAddrColumn, row));
      }
      break;
    }
    case MeterPlacement::kMatchAddress: {
      const std::string& addr = summary[kMeterAddrColumn];
      for (int row = 1; row < grid.RowCount(); ++row) {
        if (grid.Cell(kMeterAddrColumn, row) != addr) continue;
        WriteRow(grid, row, summary);
        result.rows.push_back(row);
      }
      break;
    }
  }
  return result;
}

}  // namespace orvio
