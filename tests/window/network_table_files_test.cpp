// Device table files in the real window: "Save"/"Load" of the M-Bus device table (buttons, both
// menus), "Export"/"Import" of the activated-device table, with the dialogs answered through
// the window's seam and the files in the fixture's folder.
#include <QDir>
#include <QFile>
#include <QLocale>
#include <array>
#include <string>
#include <vector>

#include "harness.h"

namespace orvio::test {
namespace {

using Cells = std::vector<std::vector<QString>>;

const QString kMbusHeader = "ID ;Addr ;Mfr ;Value ;Unit ;Medium ;Status ;Time ;";

QByteArray ReadWhole(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void WriteWhole(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

Cells Contents(const StringGrid& grid) {
  Cells rows;
  for (int r = 0; r < grid.rowCount(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < grid.columnCount(); ++c) rows.back().push_back(grid.CellText(c, r));
  }
  return rows;
}

// Puts meters into gridLoops below its header and leaves the empty open row after them.
void FillLoops(StringGrid& grid, const Cells& meters) {
  grid.SetRowCount(static_cast<int>(meters.size()) + 2);
  for (size_t r = 0; r < meters.size(); ++r)
    for (size_t c = 0; c < meters[r].size(); ++c)
      grid.SetCellText(static_cast<int>(c), static_cast<int>(r) + 1, meters[r][c]);
}

class TableFiles : public WindowTest {
 protected:
  QString openDir;  // folder the last open dialog started in
  QString openFilter;
  QString saveDir;
  int openDialogs = 0;

  void SetUp() override {
    WindowTest::SetUp();
    MakeForm();
    form->seam.openFile = [this](QWidget*, const QString&, const QString& dir,
                                 const QString& filter) {
      ++openDialogs;
      openDir = dir;
      openFilter = filter;
      return openAnswer;
    };
    form->seam.saveFile = [this](QWidget*, const QString&, const QString& dir, const QString& name,
                                 const QString&, const QString&) {
      saveDir = dir;
      proposedName = name;
      return saveAnswer;
    };
  }

  QString Path(const QString& name) const { return dir.filePath(name); }

  // Loads gridLoops from a file written with `bytes`.
  void LoadFrom(const QByteArray& bytes) {
    openAnswer = Path("load.csv");
    WriteWhole(openAnswer, bytes);
    form->Butt_load_dataClick();
  }

  // The table after "Clear": header and one empty row.
  Cells ClearedLoops() {
    Cells rows = {Contents(*form->gridLoops)[0]};
    rows.push_back(std::vector<QString>(8));
    return rows;
  }
};

const Cells kMeters = {
    {"12345678", "1", "ABB", "123.45", "kWh", "Electricity", "00", "10:11:12"},
    {" 2 ", "", "  ", "", "m\u00b3", "", "", " "},
    {"", "", "", "", "", "", "", ""},
    {"87654321", "250", "KAM", "0.001", "MWh", "Heat", "", "23:59:59"},
};

// ---- save ----

TEST_F(TableFiles, SaveWritesTheTableWithItsOpenRowAndLoadBringsItBackExactly) {
  FillLoops(*form->gridLoops, kMeters);
  const Cells saved = Contents(*form->gridLoops);
  saveAnswer = Path("meters.csv");
  form->Butt_save_dataClick();
  EXPECT_EQ(ReadWhole(saveAnswer),
            (kMbusHeader + "\r\n" + "12345678;1;ABB;123.45;kWh;Electricity;00;10:11:12;\r\n" +
             " 2 ;;  ;;m\u00b3;;; ;\r\n;;;;;;;;\r\n87654321;250;KAM;0.001;MWh;Heat;;23:59:59;\r\n" +
             ";;;;;;;;\r\n")
                .toUtf8());

  FillLoops(*form->gridLoops, {{"other", "9"}});
  openAnswer = saveAnswer;
  form->Butt_load_dataClick();
  EXPECT_EQ(Contents(*form->gridLoops), saved);
  EXPECT_TRUE(boxes.empty());
  // The file's lines went through the hidden line buffer.
  EXPECT_TRUE(form->Memo_export->toPlainText().startsWith(kMbusHeader + "\n12345678;"));
}

TEST_F(TableFiles, EmptyTableSavesTwoLinesAndReloadsEmpty) {
  saveAnswer = Path("empty.csv");
  form->Butt_save_dataClick();
  EXPECT_EQ(ReadWhole(saveAnswer), (kMbusHeader + "\r\n;;;;;;;;\r\n").toUtf8());
  openAnswer = saveAnswer;
  form->Butt_load_dataClick();
  EXPECT_EQ(Contents(*form->gridLoops), ClearedLoops());
}

TEST_F(TableFiles, FullTableOf250RowsRoundTrips) {
  Cells meters;
  for (int i = 0; i < 248; ++i)
    meters.push_back({QString::number(10000000 + i), QString::number(i % 251), "ABB", "1.5", "kWh",
                      "Heat", "", "12:00:00"});
  FillLoops(*form->gridLoops, meters);
  ASSERT_EQ(form->gridLoops->rowCount(), 250);
  const Cells saved = Contents(*form->gridLoops);
  saveAnswer = Path("full.csv");
  form->Save1Click();
  FillLoops(*form->gridLoops, {});
  openAnswer = saveAnswer;
  form->Open1Click();
  EXPECT_EQ(Contents(*form->gridLoops), saved);
}

struct SaveActionRow {
  const char* name;
  void (TForm1::*action)();
  bool mbusTable;
};

const SaveActionRow kSaveActionRows[] = {
    {"Butt_save_data", &TForm1::Butt_save_dataClick, true},
    {"Savefile1", &TForm1::Savefile1Click, true},
    {"Save1", &TForm1::Save1Click, true},
    {"BitBtn16_export", &TForm1::BitBtn16Click, false},
};

class SaveActions : public TableFiles, public ::testing::WithParamInterface<SaveActionRow> {};

TEST_P(SaveActions, ProposeTheDatedNameInTheDataFolderAndWriteTheirGrid) {
  form->seam.localNow = [] {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 24;
    t.tm_hour = 23;
    return t;
  };
  saveAnswer = Path("out.csv");
  (form.get()->*GetParam().action)();
  const QString prefix = GetParam().mbusTable ? "mbus_data_" : "modbus_data_";
  if (QLocale::system().name() == "C") {
    EXPECT_EQ(proposedName, prefix + "24 Dec 2024.csv");
  } else {
    EXPECT_TRUE(proposedName.startsWith(prefix)) << proposedName.toStdString();
    EXPECT_TRUE(proposedName.endsWith(".csv"));
    EXPECT_FALSE(proposedName.contains('/'));
  }
  EXPECT_EQ(saveDir, form->SettingsDir());
  const QByteArray written = ReadWhole(saveAnswer);
  if (GetParam().mbusTable) {
    EXPECT_TRUE(written.startsWith("ID ;Addr ;Mfr ;Value ;Unit ;Medium ;Status ;Time ;\r\n"));
  } else {
    EXPECT_TRUE(written.startsWith("ID ;Addr ;Mfr ;Medium ;Unit ;MValue ;"));
    EXPECT_TRUE(written.endsWith("\r\n;;;;;;;;;;;;;;;\r\n"));
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SaveActions, ::testing::ValuesIn(kSaveActionRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TableFiles, CancelledSaveWritesNothingAndKeepsTheTable) {
  FillLoops(*form->gridLoops, kMeters);
  const Cells before = Contents(*form->gridLoops);
  saveAnswer.clear();
  form->Butt_save_dataClick();
  EXPECT_EQ(QDir(dir.path()).entryList({"*.csv"}, QDir::Files), QStringList());
  EXPECT_EQ(Contents(*form->gridLoops), before);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TableFiles, SaveOverAnExistingFileReplacesItWhole) {
  saveAnswer = Path("meters.csv");
  WriteWhole(saveAnswer, QByteArray(5000, 'x'));
  form->Butt_save_dataClick();
  EXPECT_EQ(ReadWhole(saveAnswer), (kMbusHeader + "\r\n;;;;;;;;\r\n").toUtf8());
}

// ---- load ----

TEST_F(TableFiles, LoadOpensInTheDataFolderWithTheCsvFilter) {
  const QString data = Path("data");
  ASSERT_TRUE(QDir().mkpath(data));
  form.reset();
  WriteIni(("[Misc]\nDir=" + data + "/\n").toUtf8());
  SetUp();
  openAnswer.clear();
  form->Loadfile1Click();
  EXPECT_EQ(openDir, data + "/");
  EXPECT_EQ(openFilter, "CSV|*.csv");
}

TEST_F(TableFiles, CancelledLoadChangesNothing) {
  FillLoops(*form->gridLoops, kMeters);
  form->Memo_export->setPlainText("kept");
  const Cells before = Contents(*form->gridLoops);
  openAnswer.clear();
  form->Butt_load_dataClick();
  EXPECT_EQ(openDialogs, 1);
  EXPECT_EQ(Contents(*form->gridLoops), before);
  EXPECT_EQ(form->Memo_export->toPlainText(), "kept");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TableFiles, ShortLinesFillTheirColumnsAndLeaveTheOthersEmpty) {
  LoadFrom("12345678;5;\r\n87654321;6;KAM;1;kWh;Heat;00;10:00:00;\r\n11111111;7;\r\n");
  Cells expected = ClearedLoops();
  expected.insert(expected.begin() + 1,
                  {{"12345678", "5", "", "", "", "", "", ""},
                   {"87654321", "6", "KAM", "1", "kWh", "Heat", "00", "10:00:00"},
                   {"11111111", "7", "", "", "", "", "", ""}});
  EXPECT_EQ(Contents(*form->gridLoops), expected);
}

struct BadFileRow {
  const char* name;
  QByteArray bytes;
};

const BadFileRow kBadFileRows[] = {
    {"binary_with_nul", QByteArray("ID ;\x00\x01\x02;\r\n", 9)},
    {"too_big", QByteArray(1024 * 1024 + 1, ';')},
};

class UnreadableFiles : public TableFiles, public ::testing::WithParamInterface<BadFileRow> {};

TEST_P(UnreadableFiles, LoadShowsTheFileErrorAndLeavesTheTableCleared) {
  FillLoops(*form->gridLoops, kMeters);
  LoadFrom(GetParam().bytes);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "File Error");
  EXPECT_EQ(boxes[0].text, "You chose wrong file for import!\nContact administrator!");
  EXPECT_EQ(Contents(*form->gridLoops), ClearedLoops());
  EXPECT_EQ(form->Memo_export->toPlainText(), "");
}

TEST_P(UnreadableFiles, ImportSaysNotInCorrectFormatAndKeepsTheTable) {
  form->GridDevices->SetRowCount(3);
  form->GridDevices->SetCellText(0, 1, "1");
  form->GridDevices->SetCellText(1, 1, "5");
  const Cells before = Contents(*form->GridDevices);
  form->Memo_export->setPlainText("old");
  openAnswer = Path("import.csv");
  WriteWhole(openAnswer, GetParam().bytes);
  form->Butt_importClick();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "File is not in correct format!");
  EXPECT_EQ(Contents(*form->GridDevices), before);
  EXPECT_EQ(form->Memo_export->toPlainText(), "");
}

INSTANTIATE_TEST_SUITE_P(Rows, UnreadableFiles, ::testing::ValuesIn(kBadFileRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TableFiles, MissingFileOrFolderGivesTheFileError) {
  for (const QString& name : {Path("missing.csv"), dir.path()}) {
    boxes.clear();
    FillLoops(*form->gridLoops, kMeters);
    openAnswer = name;
    form->Butt_load_dataClick();
    ASSERT_EQ(boxes.size(), 1u) << name.toStdString();
    EXPECT_EQ(boxes[0].caption, "File Error");
    EXPECT_EQ(Contents(*form->gridLoops), ClearedLoops());
  }
}

TEST_F(TableFiles, NinthFieldStopsTheLoadWithTheTooManyDataMessage) {
  LoadFrom((kMbusHeader + "\r\n1;1;A;;;;;;\r\n2;2;B;;;;;;;\r\n3;3;\r\n").toUtf8());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "You are trying to import too many data!!!\nCorrect csv file and try again!");
  Cells expected = ClearedLoops();
  expected.insert(expected.begin() + 1, std::vector<QString>{"1", "1", "A", "", "", "", "", ""});
  EXPECT_EQ(Contents(*form->gridLoops), expected);
}

TEST_F(TableFiles, SemicolonInsideASavedCellComesBackSplit) {
  FillLoops(*form->gridLoops, {{"1", "2", "A;B"}});
  saveAnswer = Path("split.csv");
  form->Butt_save_dataClick();
  openAnswer = saveAnswer;
  form->Butt_load_dataClick();
  // "A;B" gives its line a ninth field: the load stops there.
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "You are trying to import too many data!!!\nCorrect csv file and try again!");
  EXPECT_EQ(Contents(*form->gridLoops), ClearedLoops());
}

TEST_F(TableFiles, HugeLinesAndGarbageGiveShortCellsWithoutABox) {
  LoadFrom(QByteArray(900 * 1024, 'q') + ";" + "\xFF\xFE\x01;\r\n" + "\x80\x81\r\n" + "x;\r\n");
  EXPECT_TRUE(boxes.empty());
  ASSERT_EQ(form->gridLoops->rowCount(), 5);
  EXPECT_EQ(form->gridLoops->CellText(0, 1), QString(50, 'q'));
  EXPECT_FALSE(form->gridLoops->CellText(1, 1).isEmpty());
  EXPECT_EQ(form->gridLoops->CellText(0, 2), "");  // no ";" on the garbage line
  EXPECT_EQ(form->gridLoops->CellText(0, 3), "x");
}

// ---- files with more rows than the tables ----

const QString kTooManyData =
    "You are trying to import too many data!!!\nCorrect csv file and try again!";

// `count` short lines "<n % 1000>;<n % 250 + 1>;" from n = `from` on, each ending in CR LF:
// 100,000 of them stay below the readers' size limit.
QByteArray ShortLines(int from, int count) {
  QByteArray bytes;
  for (int i = from; i < from + count; ++i)
    bytes += QByteArray::number(i % 1000) + ";" + QByteArray::number(i % 250 + 1) + ";\r\n";
  return bytes;
}

struct FullTableRow {
  const char* name;
  QByteArray file;
  bool tooMany;
  int rows;  // of the table after the load or import, header included
};

const FullTableRow kLoadRows[] = {
    // Meters 0 .. 247 fill rows 1 .. 248; row 249 stays the open row.
    {"hundred_thousand_lines", ShortLines(0, 100000), true, 250},
    {"one_meter_more_than_rows", ShortLines(0, 249), true, 250},
    {"full_table_with_many_empty_lines_after",
     ShortLines(0, 248) + QByteArray(";;;;;;;;\r\n").repeated(60000), false, 250},
    {"meter_after_empty_lines_beyond_the_rows",
     ShortLines(0, 10) + QByteArray("\r\n").repeated(300) + "x;\r\n", true, 12},
};

class LoadFullTable : public TableFiles, public ::testing::WithParamInterface<FullTableRow> {};

TEST_P(LoadFullTable, StopsWhenTheTableIsFull) {
  LoadFrom(GetParam().file);
  if (GetParam().tooMany) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kTooManyData);
  } else {
    EXPECT_TRUE(boxes.empty());
  }
  ASSERT_EQ(form->gridLoops->rowCount(), GetParam().rows);
  const bool allMeters = GetParam().file.startsWith(ShortLines(0, 248));
  if (allMeters) {
    EXPECT_EQ(form->gridLoops->CellText(0, 1), "0");
    EXPECT_EQ(form->gridLoops->CellText(0, 248), "247");
    EXPECT_EQ(form->gridLoops->CellText(1, 248), "248");
  }
  for (int c = 0; c < 8; ++c) EXPECT_EQ(form->gridLoops->CellText(c, GetParam().rows - 1), "");
  // The line buffer holds what was read, not the whole file.
  if (allMeters) {
    EXPECT_LE(form->Memo_export->document()->blockCount(), 251);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, LoadFullTable, ::testing::ValuesIn(kLoadRows),
                         [](const auto& info) { return std::string(info.param.name); });

const FullTableRow kImportRows[] = {
    // Devices 0 .. 249 fill rows 1 .. 250.
    {"hundred_thousand_lines", "ID ;Addr ;\r\n" + ShortLines(0, 100000), true, 251},
    {"one_device_more_than_rows", "ID ;Addr ;\r\n" + ShortLines(0, 251), true, 251},
    {"exported_full_table", "ID ;Addr ;\r\n" + ShortLines(0, 250) + ";;;;;;;;;;;;;;;\r\n", false,
     251},
};

class ImportFullTable : public TableFiles, public ::testing::WithParamInterface<FullTableRow> {};

TEST_P(ImportFullTable, StopsWhenTheTableIsFull) {
  openAnswer = Path("devices.csv");
  WriteWhole(openAnswer, GetParam().file);
  form->Butt_importClick();
  if (GetParam().tooMany) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kTooManyData);
  } else {
    EXPECT_TRUE(boxes.empty());
  }
  ASSERT_EQ(form->GridDevices->rowCount(), GetParam().rows);
  EXPECT_EQ(form->GridDevices->CellText(0, 1), "0");
  EXPECT_EQ(form->GridDevices->CellText(0, 250), "249");
  EXPECT_EQ(form->GridDevices->CellText(1, 250), "250");
  EXPECT_LE(form->Memo_export->document()->blockCount(), 252);
}

INSTANTIATE_TEST_SUITE_P(Rows, ImportFullTable, ::testing::ValuesIn(kImportRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TableFiles, EmptyFileLeavesTheClearedTable) {
  FillLoops(*form->gridLoops, kMeters);
  LoadFrom("");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Contents(*form->gridLoops), ClearedLoops());
}

// ---- import ----

TEST_F(TableFiles, ImportTakesIdAddrMfrMediumFromTheSecondLineOn) {
  form->GridDevices->SetRowCount(6);
  form->GridDevices->SetCellText(9, 4, "old");
  LoadFrom("");  // leaves OpenDialog1 in the fixture's folder
  openAnswer = Path("devices.csv");
  WriteWhole(openAnswer,
             "ID ;Addr ;Mfr ;Medium ;Unit ;MValue ;\r\n12345678;5;ABB;Water;m3;17;\r\n"
             "87654321;6;KAM;Heat;\r\n;;;;;;;;;;;;;;;\r\n");
  form->Butt_importClick();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(openDir, dir.path());
  const Cells rows = Contents(*form->GridDevices);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][0], "ID ");
  const std::vector<std::array<QString, 4>> expected = {
      {"12345678", "5", "ABB", "Water"}, {"87654321", "6", "KAM", "Heat"}, {"", "", "", ""}};
  for (size_t r = 0; r < expected.size(); ++r)
    for (int c = 0; c < 15; ++c)
      EXPECT_EQ(rows[r + 1][static_cast<size_t>(c)], c < 4 ? expected[r][c] : QString())
          << "row " << r + 1 << " col " << c;
}

TEST_F(TableFiles, ExportThenImportKeepsTheFirstFourColumns) {
  form->GridDevices->SetRowCount(4);
  const Cells devices = {
      {"12345678", "5", "ABB", "Water", "m3", "17", "1", "2", "3", "4", "OK", "13", "", "", ""},
      {"87654321", "6", "KAM", "Heat", "kWh", "", "", "", "", "", "", "", "", "", "9"}};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 15; ++c)
      form->GridDevices->SetCellText(c, r + 1, devices[static_cast<size_t>(r)][c]);
  saveAnswer = Path("devices.csv");
  form->BitBtn16Click();
  openAnswer = saveAnswer;
  form->Butt_importClick();
  const Cells rows = Contents(*form->GridDevices);
  ASSERT_EQ(rows.size(), 4u);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 15; ++c)
      EXPECT_EQ(rows[static_cast<size_t>(r) + 1][static_cast<size_t>(c)],
                c < 4 ? devices[static_cast<size_t>(r)][static_cast<size_t>(c)] : QString());
  for (int c = 0; c < 15; ++c) EXPECT_EQ(rows[3][static_cast<size_t>(c)], "");
}

TEST_F(TableFiles, ImportOfAHeaderOnlyFileLeavesHeaderAndOneEmptyRow) {
  form->GridDevices->SetRowCount(5);
  form->GridDevices->SetCellText(0, 2, "old");
  openAnswer = Path("header.csv");
  WriteWhole(openAnswer, "ID ;Addr ;Mfr ;Medium ;\r\n");
  form->Butt_importClick();
  ASSERT_EQ(form->GridDevices->rowCount(), 2);
  EXPECT_EQ(form->GridDevices->CellText(0, 0), "ID ");
  EXPECT_EQ(form->GridDevices->CellText(0, 1), "");
}

TEST_F(TableFiles, CancelledImportChangesNothing) {
  form->GridDevices->SetRowCount(3);
  form->GridDevices->SetCellText(0, 1, "1");
  const Cells before = Contents(*form->GridDevices);
  openAnswer.clear();
  form->Butt_importClick();
  EXPECT_EQ(openDialogs, 1);
  EXPECT_EQ(Contents(*form->GridDevices), before);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TableFiles, ImportOpensWhereTheOpenDialogWasLastLeft) {
  openAnswer.clear();
  form->Butt_importClick();
  EXPECT_EQ(openDir, QDir::currentPath());  // never left anywhere yet: the current folder

  const QString elsewhere = Path("elsewhere");
  ASSERT_TRUE(QDir().mkpath(elsewhere));
  openAnswer = elsewhere + "/devices.csv";
  WriteWhole(openAnswer, "h;\r\n1;2;\r\n");
  form->Butt_importClick();
  openAnswer.clear();
  form->Butt_importClick();
  EXPECT_EQ(openDir, elsewhere);
  // The load always starts in the data folder, whatever the import left.
  form->Butt_load_dataClick();
  EXPECT_EQ(openDir, form->SettingsDir());
}

TEST_F(TableFiles, ClearUnderTheDeviceTableEmptiesItToOneRow) {
  form->GridDevices->SetRowCount(4);
  form->GridDevices->SetCellText(3, 2, "x");
  form->BitBtn13Click();
  ASSERT_EQ(form->GridDevices->rowCount(), 2);
  EXPECT_EQ(form->GridDevices->CellText(3, 1), "");
  EXPECT_EQ(form->GridDevices->CellText(0, 0), "ID ");
}

}  // namespace
}  // namespace orvio::test
