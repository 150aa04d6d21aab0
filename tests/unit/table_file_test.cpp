// Table files: the text written for a grid, the proposed names, the whole-or-nothing write, and
// the two readers (M-Bus device table load, activated-device table import).
#include "core/tables/table_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "settings_test_support.h"

namespace orvio {
namespace {

namespace fs = std::filesystem;

using testing_support::EntryCount;
using testing_support::ReadFile;
using testing_support::TempFolder;

MemoryGrid MbusTable() {
  MemoryGrid grid(8, 2);
  const char* headers[] = {"ID ",   "Addr ",   "Mfr ",    "Value ",
                           "Unit ", "Medium ", "Status ", "Time "};
  for (int c = 0; c < 8; ++c) grid.SetCell(c, 0, headers[c]);
  return grid;
}

TEST(RenderTableFile, EmptyMbusTableIsHeaderAndALineOfSemicolons) {
  EXPECT_EQ(RenderTableFile(MbusTable()),
            "ID ;Addr ;Mfr ;Value ;Unit ;Medium ;Status ;Time ;\r\n;;;;;;;;\r\n");
}

TEST(RenderTableFile, RegisterGridRowsInOrder) {
  MemoryGrid grid(6, 4);
  const char* rows[4][6] = {
      {"Addr. modbus", "High ", "Notes/Decode ", "Low ", "Notes/Decode ", "Time "},
      {"100", "00", "", "0A", "", "10:11:12"},
      {"101", "01", "", "FF", "", "10:11:12"},
      {"", "", "", "", "", ""}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 6; ++c) grid.SetCell(c, r, rows[r][c]);
  EXPECT_EQ(RenderTableFile(grid),
            "Addr. modbus;High ;Notes/Decode ;Low ;Notes/Decode ;Time ;\r\n"
            "100;00;;0A;;10:11:12;\r\n"
            "101;01;;FF;;10:11:12;\r\n"
            ";;;;;;\r\n");
}

struct CellRow {
  const char* name;
  const char* cell;
  const char* line;
};

const CellRow kCellRows[] = {
    {"semicolon_not_escaped", "a;b", "a;b;\r\n"},
    {"quotes_kept", "\"x\"", "\"x\";\r\n"},
    {"line_breaks_become_blanks", "a\r\nb\nc", "a  b c;\r\n"},
    {"utf8_kept", "m\xC2\xB3", "m\xC2\xB3;\r\n"},
    {"empty", "", ";\r\n"},
};

class CellTable : public ::testing::TestWithParam<CellRow> {};

TEST_P(CellTable, OneLine) {
  MemoryGrid grid(1, 1);
  grid.SetCell(0, 0, GetParam().cell);
  EXPECT_EQ(RenderTableFile(grid), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Rows, CellTable, ::testing::ValuesIn(kCellRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RenderTableFile, GridWithoutRowsIsEmptyFile) {
  EXPECT_EQ(RenderTableFile(MemoryGrid(3, 0)), "");
}

struct NameRow {
  const char* name;
  std::string (*make)(std::string_view);
  const char* date;
  const char* proposed;
};

const NameRow kNameRows[] = {
    {"mbus_dotted_date", &MbusDataFileName, "24.12.2024", "mbus_data_24.12.2024.csv"},
    {"modbus_dotted_date", &ModbusDataFileName, "24.12.2024", "modbus_data_24.12.2024.csv"},
    {"mbus_iso_date", &MbusDataFileName, "2024-12-24", "mbus_data_2024-12-24.csv"},
    {"mbus_slashes_replaced", &MbusDataFileName, "12/24/24", "mbus_data_12-24-24.csv"},
    {"modbus_backslashes_replaced", &ModbusDataFileName, "24\\12\\2024",
     "modbus_data_24-12-2024.csv"},
};

class NameTable : public ::testing::TestWithParam<NameRow> {};

TEST_P(NameTable, Proposed) { EXPECT_EQ(GetParam().make(GetParam().date), GetParam().proposed); }

INSTANTIATE_TEST_SUITE_P(Rows, NameTable, ::testing::ValuesIn(kNameRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TableFileName, RegisterExport) { EXPECT_STREQ(kRegisterExportFileName, "modbusUR.csv"); }

TEST(WriteTableFile, ReplacesWholeFileAndLeavesNoTemporary) {
  TempFolder folder;
  const fs::path file = folder.path() / "mbus_data_1.csv";
  std::ofstream(file) << "old contents that are longer than the new ones\r\n";
  ASSERT_TRUE(WriteTableFile(file.string(), "a;\r\n"));
  EXPECT_EQ(ReadFile(file), "a;\r\n");
  EXPECT_EQ(EntryCount(folder.path()), 1);
}

TEST(WriteTableFile, FailureLeavesOldFileAndNoTemporary) {
  TempFolder folder;
  // A folder standing where the file should go: the rename fails even for root.
  const fs::path blocked = folder.path() / "blocked.csv";
  fs::create_directory(blocked);
  std::ofstream(blocked / "inside") << "kept";
  EXPECT_FALSE(WriteTableFile(blocked.string(), "a;\r\n"));
  EXPECT_EQ(ReadFile(blocked / "inside"), "kept");
  EXPECT_EQ(EntryCount(folder.path()), 1);
  EXPECT_FALSE(WriteTableFile((folder.path() / "missing" / "x.csv").string(), "a;\r\n"));
  EXPECT_FALSE(WriteTableFile("", "a;\r\n"));
}

TEST(WriteTableFile, KeepsPermissionsAndWritesThroughSymbolicLink) {
  TempFolder folder;
  const fs::path target = folder.path() / "target.csv";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const fs::path link = folder.path() / "link.csv";
  fs::create_symlink(target, link);
  ASSERT_TRUE(WriteTableFile(link.string(), "new;\r\n"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "new;\r\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(WriteTableFile, BinaryContentsKept) {
  TempFolder folder;
  const fs::path file = folder.path() / "bin.csv";
  const std::string bytes("a\0b\xFF;\r\n", 7);
  ASSERT_TRUE(WriteTableFile(file.string(), bytes));
  EXPECT_EQ(ReadFile(file), bytes);
}

// ---- reading ----

std::vector<std::string> Lines(std::initializer_list<const char*> lines) {
  return {lines.begin(), lines.end()};
}

struct SplitRow {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

const SplitRow kSplitRows[] = {
    {"empty_text_no_lines", "", {}},
    {"crlf_closes_last_line", "a;\r\nb;\r\n", {"a;", "b;"}},
    {"lf_only", "a;\nb;\n", {"a;", "b;"}},
    {"lone_cr", "a;\rb;", {"a;", "b;"}},
    {"no_final_break", "a;\r\nb;", {"a;", "b;"}},
    {"blank_lines_kept", "\r\n\r\nx", {"", "", "x"}},
    {"cr_cr_lf_is_two_breaks", "a\r\r\nb", {"a", "", "b"}},
};

class SplitTable : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitTable, Lines) { EXPECT_EQ(SplitTableLines(GetParam().text), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(Rows, SplitTable, ::testing::ValuesIn(kSplitRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct FieldsRow {
  const char* name;
  const char* line;
  MbusTableRow fields;
};

const std::string k50(50, 'x');

const FieldsRow kFieldsRows[] = {
    {"eight_fields", "1;2;3;4;5;6;7;8;", {"1", "2", "3", "4", "5", "6", "7", "8"}},
    {"two_fields_rest_empty", "12345678;5;", {"12345678", "5", "", "", "", "", "", ""}},
    {"text_after_last_semicolon_dropped", "a;b;tail", {"a", "b", "", "", "", "", "", ""}},
    {"no_semicolon_no_field", "just text", {"", "", "", "", "", "", "", ""}},
    {"blanks_kept", " a ; ;", {" a ", " ", "", "", "", "", "", ""}},
    {"line_of_semicolons", ";;;;;;;;", {"", "", "", "", "", "", "", ""}},
};

class FieldsTable : public ::testing::TestWithParam<FieldsRow> {};

TEST_P(FieldsTable, OneLine) {
  const MbusTableRows read = ReadMbusTableRows({GetParam().line});
  EXPECT_FALSE(read.tooManyFields);
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows[0], GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(Rows, FieldsTable, ::testing::ValuesIn(kFieldsRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadMbusTableRows, FieldsAreCutToFiftyCharactersWithoutSplittingUtf8) {
  const std::string threeBytes = "\xE2\x82\xAC";  // EURO SIGN
  std::string euros;
  for (int i = 0; i < 60; ++i) euros += threeBytes;
  const MbusTableRows read = ReadMbusTableRows(
      {std::string(70, 'y') + ";" + euros + ";" + std::string(49, 'z') + "m" + "\xC2\xB3" + ";"});
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows[0][0], std::string(50, 'y'));
  EXPECT_EQ(read.rows[0][1].size(), 150u);  // 50 whole characters of three bytes
  EXPECT_EQ(read.rows[0][2], std::string(49, 'z') + "m");
}

TEST(ReadMbusTableRows, HugeLineWithoutSemicolonIsNoField) {
  const MbusTableRows read = ReadMbusTableRows({std::string(4'000'000, 'q') + ";"});
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows[0][0], std::string(50, 'q'));
}

TEST(ReadMbusTableRows, NinthSemicolonStopsBeforeThatLine) {
  const MbusTableRows read =
      ReadMbusTableRows(Lines({"a;b;c;d;e;f;g;h;", "1;2;3;4;5;6;7;8;9;", "never;read;"}));
  EXPECT_TRUE(read.tooManyFields);
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows[0][7], "h");
}

TEST(ReadMbusTableRows, NinthFieldWithoutClosingSemicolonIsDropped) {
  const MbusTableRows read = ReadMbusTableRows({"1;2;3;4;5;6;7;8;extra"});
  EXPECT_FALSE(read.tooManyFields);
  ASSERT_EQ(read.rows.size(), 1u);
}

TEST(ReadMbusTableRows, ShortLineDoesNotInheritThePreviousLine) {
  const MbusTableRows read = ReadMbusTableRows(Lines({"1;2;3;4;5;6;7;8;", "ID9;9;"}));
  ASSERT_EQ(read.rows.size(), 2u);
  EXPECT_EQ(read.rows[1], (MbusTableRow{"ID9", "9", "", "", "", "", "", ""}));
}

// Table contents as rows of cells, header included.
std::vector<std::vector<std::string>> Contents(const TextGrid& grid) {
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < grid.RowCount(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < grid.ColCount(); ++c) rows.back().push_back(grid.Cell(c, r));
  }
  return rows;
}

MemoryGrid FilledMbusTable(const std::vector<MbusTableRow>& meters) {
  MemoryGrid grid = MbusTable();
  grid.SetRowCount(static_cast<int>(meters.size()) + 2);
  for (size_t r = 0; r < meters.size(); ++r)
    for (int c = 0; c < 8; ++c) grid.SetCell(c, static_cast<int>(r) + 1, meters[r][c]);
  return grid;
}

struct RoundTripRow {
  const char* name;
  std::vector<MbusTableRow> meters;
};

const RoundTripRow kRoundTripRows[] = {
    {"empty_table", {}},
    {"two_meters",
     {{"12345678", "1", "ABB", "123.45", "kWh", "Electricity", "00", "10:11:12"},
      {"87654321", "2", "KAM", "0.5", "m\xC2\xB3", "Water", "", "10:11:13"}}},
    {"blanks_and_empty_cells",
     {{" 1 ", "", "  ", "", "", "", "", " "}, {"", "", "", "", "", "", "", "last"}}},
    {"empty_meter_row_in_the_middle",
     {{"1", "1", "", "", "", "", "", ""},
      {"", "", "", "", "", "", "", ""},
      {"3", "3", "", "", "", "", "", ""}}},
    {"fifty_character_cells", {{k50, k50, k50, k50, k50, k50, k50, k50}}},
};

class RoundTripTable : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(RoundTripTable, SaveThenLoadGivesTheSameTable) {
  const MemoryGrid saved = FilledMbusTable(GetParam().meters);
  MemoryGrid loaded = MbusTable();
  loaded.SetRowCount(7);
  loaded.SetCell(3, 5, "old");
  EXPECT_FALSE(LoadMbusTable(loaded, SplitTableLines(RenderTableFile(saved))));
  EXPECT_EQ(Contents(loaded), Contents(saved));
}

INSTANTIATE_TEST_SUITE_P(Rows, RoundTripTable, ::testing::ValuesIn(kRoundTripRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadMbusTable, FullTableOf250RowsRoundTrips) {
  std::vector<MbusTableRow> meters;
  for (int i = 0; i < 248; ++i)
    meters.push_back(
        {std::to_string(10000000 + i), std::to_string(i), "ABB", "1", "kWh", "", "", ""});
  const MemoryGrid saved = FilledMbusTable(meters);
  ASSERT_EQ(saved.RowCount(), 250);
  MemoryGrid loaded = MbusTable();
  LoadMbusTable(loaded, SplitTableLines(RenderTableFile(saved)));
  EXPECT_EQ(Contents(loaded), Contents(saved));
}

// Lines "<i>;<i>;" for i in [from, to).
std::vector<std::string> NumberLines(int from, int to) {
  std::vector<std::string> lines;
  for (int i = from; i < to; ++i)
    lines.push_back(std::to_string(i) + ";" + std::to_string(i) + ";");
  return lines;
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct CapRow {
  const char* name;
  std::vector<std::string> lines;
  bool tooMuch;
  int rows;
  std::size_t linesRead;
};

const std::string kMbusHeaderLine = "ID ;Addr ;Mfr ;Value ;Unit ;Medium ;Status ;Time ;";

const CapRow kLoadCapRows[] = {
    {"many_more_lines_than_rows", NumberLines(0, 100000), true, 250, 249},
    {"one_meter_too_many", NumberLines(0, 249), true, 250, 249},
    {"just_full", NumberLines(0, 248), false, 250, 248},
    {"header_line_is_not_a_meter", Joined({kMbusHeaderLine}, NumberLines(0, 248)), false, 250, 249},
    {"empty_lines_after_a_full_table",
     Joined(NumberLines(0, 248), std::vector<std::string>(5000, ";;;;;;;;")), false, 250, 248},
    {"ninth_field_beyond_the_rows", Joined(NumberLines(0, 248), {";;", "1;2;3;4;5;6;7;8;9;"}), true,
     250, 250},
    {"meter_after_empty_rows_beyond_the_rows",
     Joined(Joined(NumberLines(0, 3), std::vector<std::string>(400, "")), {"x;"}), true, 5, 404},
};

class LoadCap : public ::testing::TestWithParam<CapRow> {};

TEST_P(LoadCap, TheTableNeverGrowsBeyondItsRows) {
  MemoryGrid loaded = MbusTable();
  std::size_t linesRead = 0;
  EXPECT_EQ(LoadMbusTable(loaded, GetParam().lines, &linesRead), GetParam().tooMuch);
  EXPECT_EQ(loaded.RowCount(), GetParam().rows);
  EXPECT_EQ(linesRead, GetParam().linesRead);
  EXPECT_EQ(loaded.Cell(0, 1), "0");
  for (int c = 0; c < 8; ++c) EXPECT_EQ(loaded.Cell(c, loaded.RowCount() - 1), "");
  if (GetParam().rows == 250) {
    EXPECT_EQ(loaded.Cell(1, 248), "247");
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, LoadCap, ::testing::ValuesIn(kLoadCapRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadMbusTable, FileWithoutHeaderStartsInRowOne) {
  MemoryGrid loaded = MbusTable();
  LoadMbusTable(loaded, Lines({"12345678;5;", "87654321;6;ABB;"}));
  EXPECT_EQ(Contents(loaded),
            Contents(FilledMbusTable({{"12345678", "5", "", "", "", "", "", ""},
                                      {"87654321", "6", "ABB", "", "", "", "", ""}})));
}

TEST(LoadMbusTable, TooManyFieldsKeepsTheRowsBeforeAndTheOpenRow) {
  MemoryGrid loaded = MbusTable();
  EXPECT_TRUE(LoadMbusTable(loaded, Lines({"ID ;Addr ;Mfr ;Value ;Unit ;Medium ;Status ;Time ;",
                                           "1;1;A;1;kWh;;;;", "2;2;B;1;5;kWh;;;;", "3;3;"})));
  EXPECT_EQ(Contents(loaded), Contents(FilledMbusTable({{"1", "1", "A", "1", "kWh", "", "", ""}})));
}

TEST(LoadMbusTable, SemicolonInsideASavedCellSplitsIt) {
  const MemoryGrid saved = FilledMbusTable({{"1", "2", "A;B", "", "", "", "", ""}});
  MemoryGrid loaded = MbusTable();
  // The split cell gives the line a ninth field.
  EXPECT_TRUE(LoadMbusTable(loaded, SplitTableLines(RenderTableFile(saved))));
  EXPECT_EQ(Contents(loaded), Contents(MbusTable()));

  MemoryGrid split = MbusTable();
  EXPECT_FALSE(LoadMbusTable(split, {"1;A;B;"}));
  EXPECT_EQ(split.Cell(1, 1), "A");
  EXPECT_EQ(split.Cell(2, 1), "B");
}

TEST(LoadMbusTable, NoLinesLeavesTheClearedTable) {
  MemoryGrid loaded = FilledMbusTable({{"1", "1", "", "", "", "", "", ""}});
  EXPECT_FALSE(LoadMbusTable(loaded, {}));
  EXPECT_EQ(Contents(loaded), Contents(MbusTable()));
}

TEST(LoadMbusTable, HeaderOnlyLaterInTheFileIsData) {
  MemoryGrid loaded = MbusTable();
  const std::string header = "ID ;Addr ;Mfr ;Value ;Unit ;Medium ;Status ;Time ;";
  LoadMbusTable(loaded, {"1;1;", header});
  ASSERT_EQ(loaded.RowCount(), 4);
  EXPECT_EQ(loaded.Cell(0, 2), "ID ");
}

// The activated-device table: 15 columns, header "ID ", "Addr ", ...
MemoryGrid DeviceTable() {
  MemoryGrid grid(15, 2);
  for (int c = 0; c < 15; ++c) grid.SetCell(c, 0, "H" + std::to_string(c));
  return grid;
}

struct ImportRow {
  const char* name;
  std::vector<std::string> lines;
  std::vector<std::vector<std::string>> rows;  // columns 0..3 of rows 1..
};

const ImportRow kImportRows[] = {
    {"empty_file", {}, {{"", "", "", ""}}},
    {"header_only", {"ID ;Addr ;"}, {{"", "", "", ""}}},
    {"exported_file_keeps_one_open_row",
     {"ID ;Addr ;Mfr ;Medium ;Unit ;", "1;5;ABB;Water;kWh;", "2;6;KAM;Heat;;", ";;;;;"},
     {{"1", "5", "ABB", "Water"}, {"2", "6", "KAM", "Heat"}, {"", "", "", ""}}},
    {"no_closing_line_no_open_row",
     {"h;", "1;5;ABB;Water;", "2;6;"},
     {{"1", "5", "ABB", "Water"}, {"2", "6", "", ""}}},
    {"six_fields_fill_columns_0_to_3", {"h;", "1;2;3;4;5;6;"}, {{"1", "2", "3", "4"}}},
    {"text_after_last_semicolon_dropped", {"h;", "1;2;tail"}, {{"1", "2", "", ""}}},
    {"garbage_lines_give_empty_rows",
     {"h;", "\x01\x02\xFF", "1;2;"},
     {{"", "", "", ""}, {"1", "2", "", ""}}},
    {"only_the_added_row_goes", {"h;", "1;2;", "3;"}, {{"1", "2", "", ""}, {"3", "", "", ""}}},
    {"semicolon_in_a_cell_splits", {"h;", "1;2;A;B;Water;"}, {{"1", "2", "A", "B"}}},
};

class ImportTable : public ::testing::TestWithParam<ImportRow> {};

TEST_P(ImportTable, Rows) {
  MemoryGrid devices = DeviceTable();
  devices.SetRowCount(6);
  for (int c = 0; c < 15; ++c) devices.SetCell(c, 3, "old");
  ImportDeviceTable(devices, GetParam().lines);
  ASSERT_EQ(devices.RowCount(), static_cast<int>(GetParam().rows.size()) + 1);
  for (int c = 0; c < 15; ++c) EXPECT_EQ(devices.Cell(c, 0), "H" + std::to_string(c));
  for (size_t r = 0; r < GetParam().rows.size(); ++r) {
    const int row = static_cast<int>(r) + 1;
    for (int c = 0; c < 4; ++c) EXPECT_EQ(devices.Cell(c, row), GetParam().rows[r][c]) << row;
    for (int c = 4; c < 15; ++c) EXPECT_EQ(devices.Cell(c, row), "") << row;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ImportTable, ::testing::ValuesIn(kImportRows),
                         [](const auto& info) { return std::string(info.param.name); });

const CapRow kImportCapRows[] = {
    {"many_more_lines_than_rows", Joined({"h;"}, NumberLines(0, 100000)), true, 251, 252},
    {"one_device_too_many", Joined({"h;"}, NumberLines(0, 251)), true, 251, 252},
    {"just_full", Joined({"h;"}, NumberLines(0, 250)), false, 251, 251},
    {"exported_full_table_with_its_open_row",
     Joined(Joined({"h;"}, NumberLines(0, 250)), {";;;;;;;;;;;;;;;", ""}), false, 251, 251},
    {"device_after_empty_lines_beyond_the_rows",
     Joined(Joined({"h;"}, NumberLines(0, 250)), {";;", "", "x;"}), true, 251, 254},
};

class ImportCap : public ::testing::TestWithParam<CapRow> {};

TEST_P(ImportCap, TheTableNeverGrowsBeyondItsRows) {
  MemoryGrid devices = DeviceTable();
  std::size_t linesRead = 0;
  EXPECT_EQ(ImportDeviceTable(devices, GetParam().lines, &linesRead), GetParam().tooMuch);
  EXPECT_EQ(devices.RowCount(), GetParam().rows);
  EXPECT_EQ(linesRead, GetParam().linesRead);
  EXPECT_EQ(devices.Cell(0, 1), "0");
  EXPECT_EQ(devices.Cell(1, 250), "249");
}

INSTANTIATE_TEST_SUITE_P(Rows, ImportCap, ::testing::ValuesIn(kImportCapRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDeviceLineFields, StopsAfterFourFields) {
  EXPECT_EQ(ReadDeviceLineFields("a;b;c;d;e;f;"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(ReadDeviceLineFields("a;;"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(ReadDeviceLineFields("no fields").empty());
}

struct ReadFileRow {
  const char* name;
  std::string bytes;
  bool readable;
};

const ReadFileRow kReadFileRows[] = {
    {"table_text", "ID ;\r\n;\r\n", true},
    {"empty_file", "", true},
    {"latin1_bytes", "M\xFCller;\r\n", true},
    {"nul_byte_is_binary", std::string("a;\0b;", 5), false},
    {"at_the_limit", std::string(kTableFileMaxBytes, 'a'), true},
    {"over_the_limit", std::string(kTableFileMaxBytes + 1, 'a'), false},
};

class ReadFileTable : public ::testing::TestWithParam<ReadFileRow> {};

TEST_P(ReadFileTable, Read) {
  TempFolder folder;
  const fs::path file = folder.path() / "t.csv";
  std::ofstream(file, std::ios::binary) << GetParam().bytes;
  const std::optional<std::string> text = ReadTableFile(file.string());
  ASSERT_EQ(text.has_value(), GetParam().readable);
  if (text) {
    EXPECT_EQ(*text, GetParam().bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ReadFileTable, ::testing::ValuesIn(kReadFileRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadTableFile, WhatIsNotARegularReadableFileIsRefused) {
  TempFolder folder;
  EXPECT_FALSE(ReadTableFile((folder.path() / "missing.csv").string()));
  EXPECT_FALSE(ReadTableFile(folder.path().string()));
  EXPECT_FALSE(ReadTableFile(""));
  EXPECT_FALSE(ReadTableFile("/dev/zero"));
  const fs::path fifo = folder.path() / "fifo.csv";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadTableFile(fifo.string()));  // would block on open
  if (geteuid() != 0) {
    const fs::path locked = folder.path() / "locked.csv";
    std::ofstream(locked) << "a;";
    fs::permissions(locked, fs::perms::none);
    EXPECT_FALSE(ReadTableFile(locked.string()));
  }
}

}  // namespace
}  // namespace orvio
