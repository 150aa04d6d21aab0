// Edits of GridDevices, the table of activated Modbus devices (15 columns, row 0 the header,
// always ending with one empty row), over TextGrid.
#pragma once

#include <optional>

#include "core/gateway/device_map.h"
#include "core/tables/text_grid.h"

namespace orvio {

// Column of the "Addr " cell.
inline constexpr int kDeviceAddressColumn = 1;

// Rows the table is made for: the header and one row per device the gateway can hold (1 to 250,
// the rows that can be marked).
inline constexpr int kDeviceTableMaxRows = 251;

// Fills the last row with the record's cells and adds one empty row below it, as long as the
// table stays within kDeviceTableMaxRows rows (as a table file's import does): the record that
// fills the last of them adds no empty row, and a table whose last row is filled takes no more.
// Returns false, the grid untouched, when the table is full.
bool AppendDeviceRow(TextGrid& devices, const DeviceRowCells& cells);

// "Clear": empties every data cell and leaves the header and one empty row.
void ClearDeviceTable(TextGrid& devices);

// "Remove from table": moves every row below `row` one up and drops the last row. Only data rows
// (1 .. RowCount - 1) are removed; returns false and leaves the grid alone otherwise.
bool RemoveDeviceRow(TextGrid& devices, int row);

// Copy of the M-Bus device table (gridLoops: 0 ID, 1 primary address, 2 manufacturer,
// 4 unit, 5 medium) into GridDevices as ID, Addr, Mfr, Medium, Unit; the other columns empty.
// GridDevices gets the row count of the M-Bus table.
void CopyMbusTableToDevices(const TextGrid& loops, TextGrid& devices);

// The primary address in the "Addr " cell of a row; nothing when it is not a decimal 0..255 or
// the row does not exist.
std::optional<int> DeviceAddressAt(const TextGrid& devices, int row);

// Activate All has work: at least one data row, and not just one row with an empty address.
bool HasDevicesToActivate(const TextGrid& devices);

}  // namespace orvio
