// The M-Bus device table as a plan of primary-address changes: each meter row names a meter by its
// ID (column 0) and the primary address it is to get (column 1, "Addr ").
#pragma once

#include <string>

#include "core/settings/control_ranges.h"
#include "core/tables/text_grid.h"

namespace orvio {

// Primary addresses a meter can be given (UD_address 1..250; 251..255 are reserved on M-Bus).
inline constexpr int kFirstNewAddress = control_range::kNewAddress.min;
inline constexpr int kLastNewAddress = control_range::kNewAddress.max;

// Memo and box texts of the primary address changes.
namespace address_text {
inline constexpr char kChangeCaption[] = "Change address";
inline constexpr char kChangeQuestion[] = "Are you sure changing Primary address?";
inline constexpr char kInvalidAddresses[] =
    "Invalid primary addresses in the table, process finished!";
inline constexpr char kSetAllFinished[] = "Process of setting primary addresses finished!";
}  // namespace address_text

// "Setting Primary address <address> to device <id>...", the memo line of each change of
// "Set all Primary addresses".
std::string SettingAddressLine(int address, const std::string& id);

// The meter ID of a row: the first eight characters of its ID cell when they are eight decimal
// digits, else "" (the header, the open row, a text or a wildcard would select the wrong meters).
std::string RowMeterId(const TextGrid& loops, int row);

// The address a row asks for: its Addr cell when that is 1..250 and the row holds a meter ID;
// -1 otherwise (an out-of-range address would be clipped to another meter's address).
int PlannedAddress(const TextGrid& loops, int row);

// The first row from `row` on that asks for an address; -1 when no row up to the end does.
int NextPlannedRow(const TextGrid& loops, int row);

// How many rows before `row` (from row 1 on) ask for an address; `row` past the end counts every
// row of the table.
int PlannedRowsBefore(const TextGrid& loops, int row);

// No data row to work on: at most one row, or two rows with an empty Addr cell in row 1.
bool HasNoMeterRow(const TextGrid& loops);

}  // namespace orvio
