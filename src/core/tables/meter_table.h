// Edits of the M-Bus device table (gridLoops: header row 0, eight columns ID, Addr, Mfr, Value,
// Unit, Medium, Status, Time, always ending with one empty open row) over TextGrid.
#pragma once

#include "core/tables/text_grid.h"

namespace orvio {

// Memo and box texts of the M-Bus device table.
namespace meter_text {
inline constexpr char kClearCaption[] = "Clear table";
inline constexpr char kClearQuestion[] = "Do you want to clear the table?";
// The selected row is no meter, or no longer the meter at the selected address.
inline constexpr char kNoValidDevice[] = "Not a valid device selected...";
}  // namespace meter_text

// The integer in the "Addr " cell of a row (decimal, optional sign); -1 when the cell holds no
// number or the row does not exist.
int MeterRowAddress(const TextGrid& loops, int row);

// "Remove from table": the meter in `row` goes, the rows below move one up. Only meter rows are
// removed: the header, the empty open row and rows past the end are left alone (false). The table
// keeps ending with an empty open row, also when it was full and its last row held a meter.
bool RemoveMeterRow(TextGrid& loops, int row);

// "Clear table": empties every cell below the header and leaves the header and the open row.
void ClearMeterTable(TextGrid& loops);

}  // namespace orvio
