// Where a decoded meter's summary row goes in the M-Bus device table (gridLoops: header row 0,
// eight columns ID, Addr, Mfr, Value, Unit, Medium, Status, Time, always one empty open row at
// the end, at most 250 rows with the header).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/tables/text_grid.h"

namespace orvio {

inline constexpr int kMeterTableMaxRows = 250;
inline constexpr int kMeterIdColumn = 0;
inline constexpr int kMeterAddrColumn = 1;

enum class MeterPlacement {
  kAppend,        // scan: into the open last row, then a new open row (under the cap)
  kMatchId,       // secondary search: over rows with the same ID, else appended
  kMatchAddress,  // single read, medium change: over rows with the same Addr, never appended
};

// The rule the window's flags choose: ScanActive first, then MatchRowsById.
inline MeterPlacement ChooseMeterPlacement(bool scan_active, bool match_rows_by_id) {
  if (scan_active) return MeterPlacement::kAppend;
  if (match_rows_by_id) return MeterPlacement::kMatchId;
  return MeterPlacement::kMatchAddress;
}

struct PlacementResult {
  // Rows written, in order.
  std::vector<int> rows;
  // kMatchId only: rows to make the grid's current row, in order (the window runs its selection
  // handling for each), and the new value of SelectedMbusAddress.
  std::vector<int> select_rows;
  bool address_selected = false;
  int selected_address = 0;
};

PlacementResult PlaceMeterSummary(TextGrid& grid, const std::array<std::string, 8>& summary,
                                  MeterPlacement rule);

}  // namespace orvio
