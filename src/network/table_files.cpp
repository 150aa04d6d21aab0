// Device table files: the M-Bus device table saved to and loaded from "mbus_data_" files, the
// activated-device table exported to and imported from "modbus_data_" files.
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>

#include "app/locations.h"
#include "app/tform1.h"
#include "core/tables/device_table.h"
#include "core/tables/meter_table.h"
#include "core/tables/table_file.h"
#include "mbus/record_view.h"

namespace orvio {

namespace {

// OpenDialog1 remembers the folder it was last left in, as the standard open dialog does; the
// import opens there. Kept on a child object of the window so that it lives as long as the window.
QObject* OpenDialog1(TForm1& f) {
  auto* dialog = f.findChild<QObject*>("OpenDialog1", Qt::FindDirectChildrenOnly);
  if (!dialog) {
    dialog = new QObject(&f);
    dialog->setObjectName("OpenDialog1");
  }
  return dialog;
}

QString LastOpenFolder(TForm1& f) {
  const QString dir = OpenDialog1(f)->property("dir").toString();
  // Never left anywhere yet: the current folder, unless a save there would fail (an installed
  // copy runs in /usr/bin).
  return dir.isEmpty() ? UsableDialogFolder(QDir::currentPath()) : dir;
}

// Shows the open dialog in `dir`; returns the chosen file or "" when cancelled.
QString ChooseTableFile(TForm1& f, const QString& dir) {
  QString path;
  if (f.seam.openFile) {
    path = f.seam.openFile(&f, QString(), dir, kOpenFilter);
  } else {
    QFileDialog dialog(&f);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDirectory(dir);
    dialog.setNameFilter("CSV (*.csv)");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      path = dialog.selectedFiles().first();
  }
  if (!path.isEmpty()) OpenDialog1(f)->setProperty("dir", QFileInfo(path).absolutePath());
  return path;
}

// The file's text as lines; nothing when it cannot be read as a table.
std::optional<std::vector<std::string>> ReadTableLines(const QString& fileName) {
  const std::optional<std::string> text = ReadTableFile(QFile::encodeName(fileName).toStdString());
  if (!text) return std::nullopt;
  return SplitTableLines(*text);
}

// The first `count` lines into the line buffer: those the reader took. A file of many more lines
// than the table has rows would otherwise cost the window seconds in a widget no one sees.
void FillLineBuffer(QPlainTextEdit* lineBuffer, const std::vector<std::string>& lines,
                    std::size_t count) {
  QStringList shown;
  count = std::min(count, lines.size());
  shown.reserve(static_cast<qsizetype>(count));
  // A line longer than any table line (8 cells of 50 characters) keeps its start: laying out a
  // line of a megabyte alone would take the hidden widget seconds.
  constexpr std::size_t kShownLineBytes = 4096;
  for (std::size_t i = 0; i < count; ++i)
    shown << QString::fromUtf8(lines[i].data(),
                               static_cast<qsizetype>(std::min(lines[i].size(), kShownLineBytes)));
  lineBuffer->setPlainText(shown.join('\n'));
}

void ShowTooManyData(TForm1& f) {
  f.Box(&f, QCoreApplication::applicationName(), kLoadTooManyFieldsText, QMessageBox::NoIcon);
}

void LoadMbusTableCsv(TForm1& f, const QString& fileName, QPlainTextEdit* lineBuffer) {
  const auto lines = ReadTableLines(fileName);
  if (!lines) {
    f.Box(&f, kLoadErrorCaption, kLoadWrongFileText, QMessageBox::Warning);
    return;
  }
  if (lines->empty()) return;
  std::size_t linesRead = 0;
  const bool tooMuch = LoadMbusTable(*f.gridLoops, *lines, &linesRead);
  FillLineBuffer(lineBuffer, *lines, linesRead);
  if (tooMuch) ShowTooManyData(f);
}

void ImportDeviceTableCsv(TForm1& f) {
  const QString fileName = ChooseTableFile(f, LastOpenFolder(f));
  if (fileName.isEmpty()) return;
  const auto lines = ReadTableLines(fileName);
  if (!lines) {
    f.Box(&f, QCoreApplication::applicationName(), kImportWrongFormatText, QMessageBox::NoIcon);
    f.Memo_export->clear();
    return;
  }
  std::size_t linesRead = 0;
  const bool tooMuch = ImportDeviceTable(*f.GridDevices, *lines, &linesRead);
  FillLineBuffer(f.Memo_export, *lines, linesRead);
  f.RepaintDeviceGrid();
  if (tooMuch) ShowTooManyData(f);
}

QString ShortDateToday(TForm1& f) {
  QDate today = QDate::currentDate();
  if (f.seam.localNow) {
    const std::tm now = f.seam.localNow();
    today = QDate(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
  }
  return QLocale::system().toString(today, QLocale::ShortFormat);
}

}  // namespace

void TForm1::Butt_load_dataClick() {
  const QString fileName = ChooseTableFile(*this, DialogDir());
  if (fileName.isEmpty()) return;
  ClearMeterTable(*gridLoops);
  MeterRecordViews->TableCleared();
  Memo_export->clear();
  LoadMbusTableCsv(*this, fileName, Memo_export);
}

void TForm1::Loadfile1Click() { Butt_load_dataClick(); }
void TForm1::Open1Click() { Butt_load_dataClick(); }

void TForm1::Butt_save_dataClick() {
  ExportGridToCsv(gridLoops,
                  QString::fromStdString(MbusDataFileName(ShortDateToday(*this).toStdString())));
}

void TForm1::Savefile1Click() { Butt_save_dataClick(); }
void TForm1::Save1Click() { Butt_save_dataClick(); }

void TForm1::BitBtn16Click() {
  ExportGridToCsv(GridDevices,
                  QString::fromStdString(ModbusDataFileName(ShortDateToday(*this).toStdString())));
}

void TForm1::Butt_importClick() { ImportDeviceTableCsv(*this); }

// "Clear" under the activated-device table.
void TForm1::BitBtn13Click() {
  ClearDeviceTable(*GridDevices);
  RepaintDeviceGrid();
}

}  // namespace orvio
