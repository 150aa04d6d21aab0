// Device table files: the M-Bus device table saved to and loaded from "mbus_data_" files, the
// activated-device table exported to and imported from "modbus_data_" files.
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>

#include "app/tform1.h"
#include "core/tables/device_table.h"
#include "core/tables/meter_table.h"
#include "core/tables/table_file.h"
#include "gateway/device_grid.h"
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
  return dir.isEmpty() ? QDir::currentPath() : dir;
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

// The file's text into the line buffer, as lines; nothing when it cannot be read as a table.
std::optional<std::vector<std::string>> ReadIntoLineBuffer(const QString& fileName,
                                                           QPlainTextEdit* lineBuffer) {
  const std::optional<std::string> text = ReadTableFile(QFile::encodeName(fileName).toStdString());
  if (!text) return std::nullopt;
  std::vector<std::string> lines = SplitTableLines(*text);
  QStringList shown;
  shown.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines) shown << QString::fromStdString(line);
  lineBuffer->setPlainText(shown.join('\n'));
  return lines;
}

void LoadMbusTableCsv(TForm1& f, const QString& fileName, QPlainTextEdit* lineBuffer) {
  const auto lines = ReadIntoLineBuffer(fileName, lineBuffer);
  if (!lines) {
    f.Box(&f, kLoadErrorCaption, kLoadWrongFileText, QMessageBox::Warning);
    return;
  }
  if (lines->empty()) return;
  if (LoadMbusTable(*f.gridLoops, *lines))
    f.Box(&f, QCoreApplication::applicationName(), kLoadTooManyFieldsText, QMessageBox::NoIcon);
}

void ImportDeviceTableCsv(TForm1& f) {
  const QString fileName = ChooseTableFile(f, LastOpenFolder(f));
  if (fileName.isEmpty()) return;
  const auto lines = ReadIntoLineBuffer(fileName, f.Memo_export);
  if (!lines) {
    f.Box(&f, QCoreApplication::applicationName(), kImportWrongFormatText, QMessageBox::NoIcon);
    f.Memo_export->clear();
    return;
  }
  ImportDeviceTable(*f.GridDevices, *lines);
  RepaintDeviceGrid(f);
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
  const QString fileName = ChooseTableFile(*this, SettingsDir());
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
  RepaintDeviceGrid(*this);
}

}  // namespace orvio
