// Table files: the text written for a grid, the proposed names, the whole-or-nothing write.
#include "core/tables/table_file.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvio
