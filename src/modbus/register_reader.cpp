// Register reader: reads input or holding registers into the register grid, once or periodically.
#include <QFileDialog>

#include "app/tform1.h"
#include "core/modbus/registers.h"
#include "core/progress/progress.h"
#include "core/tables/table_file.h"

namespace orvio {

namespace {
// A decimal number in an edit; nothing when the text is not one.
std::optional<int64_t> DecimalOf(const QString& text) {
  bool ok = false;
  const qlonglong v = text.trimmed().toLongLong(&ok);
  if (!ok) return std::nullopt;
  return v;
}
}  // namespace

void TForm1::BitBtn3Click() {
  if (!CheckLink()) return;
  const auto first = DecimalOf(EditInputAddress->text());
  const auto count = DecimalOf(EditInputCount->text());
  // A first register beyond the 16-bit range would silently read another register.
  if (EditInputAddress->text().isEmpty() || EditInputCount->text().isEmpty() || !first || !count ||
      *first < 0 || *first > 65535 || *count < 0) {
    MemoAdd(QString(kRegisterBadConditions));
    return;
  }
  ClearBuffersAndPurge();
  ClearCommandPending();
  modbusAnswer->Expect([this](const ByteString& answer) { ModbusAnswer(answer, true); });
  const auto slave = static_cast<uint8_t>(UDmodbusAddress->Position());
  if (checkInput->isChecked()) {
    SendReadInputRegisters(slave, static_cast<uint16_t>(*first), static_cast<uint16_t>(*count));
  } else if (checkHolding->isChecked()) {
    SendReadHoldingRegisters(slave, static_cast<uint16_t>(*first), static_cast<uint16_t>(*count));
  } else {
    MemoAdd(QString(kRegisterSelectType));
    return;
  }
  Timer_modbus->SetInterval(UD_modbusTimeout->Position());
  Timer_modbus->Start();
}

void TForm1::Timer_modbusTimer() { modbusAnswer->WaitOver(); }

void TForm1::ModbusAnswer(const ByteString& answer, bool registers) {
  if (CheckBox1->isChecked()) BitBtn4Click();
  if (registers && !answer.empty()) {
    // The first register is read again now; the edit may have changed since the request.
    const auto first = DecimalOf(EditInputAddress->text());
    if (!first)
      MemoAdd(QString(kRegisterBadConditions));
    else
      DecodeRegisterTable(answer, RegisterTableMode::Grid, static_cast<int>(*first),
                          gridInputRegisters->RowCount() - 1);
  }
  MemoAdd(UnmdLine(answer));
  ClearCommandPending();
}

void TForm1::Timer_autoTimer() {
  ReportProgress(Job::AutoRead, progress::PeriodicReport(Timer_auto->Interval()));
  BitBtn3Click();
}

void TForm1::BitBtn4Click() { ClearRegisterGrid(*gridInputRegisters); }

void TForm1::BitBtn8Click() { ExportGridToCsv(gridInputRegisters, kRegisterExportFileName); }

void TForm1::CheckBox1Click() {
  Timer_auto->SetEnabled(CheckBox1->isChecked());
  if (!CheckBox1->isChecked()) {
    JobProgress->Finish(Job::AutoRead);
    return;
  }
  JobProgress->Start(Job::AutoRead);
  ReportProgress(Job::AutoRead, progress::PeriodicReport(Timer_auto->Interval()));
}

void TForm1::Edit_autoChange() { Timer_auto->SetInterval(UD_auto->Position() * 1000); }

// The pair's coupling (exactly one checked) is wired when the window is built.
void TForm1::checkInputClick() {}
void TForm1::checkHoldingClick() {}

void TForm1::DecodeRegisterTable(const ByteString& answer, RegisterTableMode mode,
                                 int firstRegister, int firstRow) {
  const AnswerCheck check = ValidateAnswer(answer);
  if (!check.ok()) return;
  const std::vector<RegisterValue> regs = ReadAnswerRegisters(answer, check);
  if (mode == RegisterTableMode::Grid) {
    AddRegisterRows(*gridInputRegisters, regs, firstRow, firstRegister,
                    LongTimeText().toStdString());
    // Rows are appended below the earlier reads: bring the new ones into view, from the first of
    // them when they do not all fit.
    if (!regs.empty()) {
      gridInputRegisters->scrollToBottom();
      gridInputRegisters->scrollToItem(gridInputRegisters->item(firstRow, 0),
                                       QAbstractItemView::EnsureVisible);
    }
    return;
  }
  const RegisterBitmap bitmap = BitmapOfRegisters(regs);
  SetActiveDeviceCount(bitmap.ones);
  MemoAdd(bitmap.hexText);
}

void TForm1::AddRegisterRow(uint8_t hi, uint8_t lo, int row, int address) {
  orvio::AddRegisterRow(*gridInputRegisters, hi, lo, row, address, LongTimeText().toStdString());
}

void TForm1::ExportGridToCsv(StringGrid* grid, const QString& proposedName) {
  Memo_export->clear();
  QString path;
  if (seam.saveFile) {
    path = seam.saveFile(this, QString(), DialogDir(), proposedName, kSaveFilter,
                         kSaveDefaultExtension);
  } else {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDirectory(DialogDir());
    dialog.selectFile(proposedName);
    dialog.setNameFilter("CSV files (*.csv)");
    dialog.setDefaultSuffix(kSaveDefaultExtension);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      path = dialog.selectedFiles().first();
  }
  if (path.isEmpty()) return;
  const std::string text = RenderTableFile(*grid);
  Memo_export->setPlainText(QString::fromStdString(text));
  if (!WriteTableFile(path.toStdString(), text))
    Box(this, kSaveErrorCaption, kSaveWriteFailedText, QMessageBox::Critical);
}

}  // namespace orvio
