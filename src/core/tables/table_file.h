// The semicolon-separated table files ("mbus_data_", "modbus_data_", "modbusUR.csv").
#pragma once

#include <string>
#include <string_view>

#include "core/tables/text_grid.h"

namespace orvio {

inline constexpr char kRegisterExportFileName[] = "modbusUR.csv";
inline constexpr char kSaveFilter[] = "CSV files|*.csv";
inline constexpr char kSaveDefaultExtension[] = "csv";
inline constexpr char kSaveErrorCaption[] = "Error saving file";
inline constexpr char kSaveDialogFailedText[] =
    "File cannot be written or open!\nContact administrator.";
inline constexpr char kSaveWriteFailedText[] =
    "File cannot be written, no rights!\nContact administrator.";

// One line per grid row, header first, every row down to the last; each cell from column 0 on
// is followed by ";" and each line ends in CR LF. Cells are not quoted (a ";" inside a cell splits
// it when read back); a line break inside a cell becomes a blank so that a row stays one line.
std::string RenderTableFile(const TextGrid& grid);

// "mbus_data_" / "modbus_data_" + the date in the short date format + ".csv". Separators that
// cannot stand in a file name ("/" and "\") become "-", so "31/12/2024" proposes
// "mbus_data_31-12-2024.csv" rather than a path into folders that do not exist.
std::string MbusDataFileName(std::string_view shortDate);
std::string ModbusDataFileName(std::string_view shortDate);

// Replaces `path` with `text` whole or not at all.
bool WriteTableFile(const std::string& path, std::string_view text);

}  // namespace orvio
