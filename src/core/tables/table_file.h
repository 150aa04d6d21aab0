// The semicolon-separated table files ("mbus_data_", "modbus_data_", "modbusUR.csv").
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/tables/text_grid.h"

namespace orvio {

inline constexpr char kRegisterExportFileName[] = "modbusUR.csv";
inline constexpr char kSaveFilter[] = "CSV files|*.csv";
inline constexpr char kSaveDefaultExtension[] = "csv";
inline constexpr char kSaveErrorCaption[] = "Error saving file";
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

// ---- reading ----

inline constexpr char kOpenFilter[] = "CSV|*.csv";
inline constexpr char kLoadErrorCaption[] = "File Error";
inline constexpr char kLoadWrongFileText[] =
    "You chose wrong file for import!\nContact administrator!";
inline constexpr char kLoadTooManyFieldsText[] =
    "You are trying to import too many data!!!\nCorrect csv file and try again!";
inline constexpr char kImportWrongFormatText[] = "File is not in correct format!";

// The largest file the readers take. The writer's biggest table (250 rows of 15 cells) stays far
// below it; anything larger is not one of our tables and would only fill the grid with
// hundreds of thousands of rows.
inline constexpr std::size_t kTableFileMaxBytes = 1024 * 1024;

// Reads a table file whole. Nothing when it cannot be opened or read, is not a regular file
// (a folder, a FIFO or a device would block or never end), is larger than kTableFileMaxBytes, or
// holds a NUL byte (a binary file, not a text table).
std::optional<std::string> ReadTableFile(const std::string& path);

// A file's text as lines: broken at CR LF, LF or a lone CR. A break at the very end closes the
// last line and does not open an empty one, so "a;\r\n" is one line and "" is none.
std::vector<std::string> SplitTableLines(std::string_view text);

// ---- the M-Bus device table ("mbus_data_" files) ----

inline constexpr int kMbusTableColumns = 8;
inline constexpr std::size_t kMbusFieldMaxChars = 50;
using MbusTableRow = std::array<std::string, kMbusTableColumns>;

struct MbusTableRows {
  // One row per line, in file order, up to the line that had a ninth field.
  std::vector<MbusTableRow> rows;
  // A line had a ninth ";": reading stopped before it.
  bool tooManyFields = false;
  // `rows` was full and a later line held a field with text: reading stopped there.
  bool moreRows = false;
  // Lines taken up to where reading ended, the line that stopped it included; empty lines after
  // `rows` was full that did not stop it are not counted.
  std::size_t linesRead = 0;
};

// Each ";" closes a field, cut to its first kMbusFieldMaxChars characters (UTF-8 sequences are
// kept whole); text after a line's last ";" is dropped; fields a line does not reach are empty.
// At most `maxRows` rows are read; after them, lines without any text in their fields are passed
// over and the first other line ends the reading with `moreRows`.
MbusTableRows ReadMbusTableRows(std::span<const std::string> lines,
                                std::size_t maxRows = static_cast<std::size_t>(-1));
inline MbusTableRows ReadMbusTableRows(const std::vector<std::string>& lines,
                                       std::size_t maxRows = static_cast<std::size_t>(-1)) {
  return ReadMbusTableRows(std::span<const std::string>(lines), maxRows);
}

// Replaces the table's rows (row 0, the header, is kept) with the rows of `lines`. A first line
// that repeats the table's header is the header the writer put there, not a meter. The table
// ends with exactly one empty open row, so the writer's closing line of semicolons becomes that
// open row again instead of an extra empty meter. The table holds at most kMeterTableMaxRows rows
// with its header and open row; reading stops when it is full. Returns whether the file held too
// much for the table: a ninth field on a line, or a meter beyond the last row (the rows before
// stay loaded). `linesRead`, when given, receives the number of lines taken from the file.
bool LoadMbusTable(TextGrid& loops, const std::vector<std::string>& lines,
                   std::size_t* linesRead = nullptr);

// ---- the activated-device table ("modbus_data_" files) ----

// Fields taken from each line of an import: ID, Addr, Mfr, Medium.
inline constexpr int kImportedDeviceFields = 4;

// The fields a ";" closes on one line, at most kImportedDeviceFields of them; text after the
// last ";" is dropped.
std::vector<std::string> ReadDeviceLineFields(std::string_view line);

// Clears the table (header kept, row count 2) and writes line n (from the second line on; the
// first is the header) into row n, columns 0 to 3. A last row without ID or Addr is removed,
// never below the header and one row. Rows 1 to kDeviceTableMaxRows - 1 are filled at most;
// reading stops there. Returns whether a later line held a field with text (a device the table
// has no row for). `linesRead`, when given, receives the number of lines taken from the file.
bool ImportDeviceTable(TextGrid& devices, const std::vector<std::string>& lines,
                       std::size_t* linesRead = nullptr);

}  // namespace orvio
