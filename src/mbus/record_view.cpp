#include "mbus/record_view.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>
#include <set>

#include "app/tform1.h"
#include "core/mbus/full_report.h"
#include "core/mbus/records.h"
#include "core/tables/meter_placement.h"
#include "core/tables/meter_table.h"
#include "core/tables/table_file.h"

namespace orvio {

namespace {

constexpr int kHexBytesPerLine = 16;
constexpr int kHexOffsetChars = 6;  // "  16  ": the line's first byte index and two blanks

QString Utf8(const std::string& s) { return QString::fromStdString(s); }

// "CSV files|*.csv" as a file dialog's name filter, "CSV files (*.csv)".
QString DialogFilter(const char* filter) {
  const QString f = QString::fromLatin1(filter);
  const qsizetype bar = f.indexOf('|');
  return bar < 0 ? f : f.left(bar) + " (" + f.mid(bar + 1) + ")";
}

// Position in the hex view of byte `i`: its line and its first character in that line.
std::pair<int, int> HexPosition(size_t i) {
  return {static_cast<int>(i / kHexBytesPerLine),
          kHexOffsetChars + static_cast<int>(i % kHexBytesPerLine) * 3};
}

QString HexViewText(const ByteString& telegram) {
  QStringList lines;
  for (size_t i = 0; i < telegram.size(); i += kHexBytesPerLine) {
    lines << QString("%1  ").arg(i, kHexOffsetChars - 2) +
                 Utf8(HexBlanks(std::string_view(telegram).substr(i, kHexBytesPerLine)));
  }
  return lines.join('\n');
}

// Marks bytes [first, first + count) of the hex view, one selection per line so that the
// offsets at the line starts stay unmarked.
void AddMarks(QList<QTextEdit::ExtraSelection>& marks, QPlainTextEdit* hex, size_t first,
              size_t count, const QColor& color) {
  size_t i = first;
  while (i < first + count) {
    const size_t lineEnd = std::min(first + count, (i / kHexBytesPerLine + 1) * kHexBytesPerLine);
    const auto [line, from] = HexPosition(i);
    const int to = HexPosition(lineEnd - 1).second + 2;
    const QTextBlock block = hex->document()->findBlockByNumber(line);
    if (!block.isValid()) return;
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(block);
    mark.cursor.setPosition(block.position() + from);
    mark.cursor.setPosition(block.position() + to, QTextCursor::KeepAnchor);
    mark.format.setBackground(color);
    marks << mark;
    i = lineEnd;
  }
}

QLabel* ValueLabel() {
  auto* l = new QLabel;
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

}  // namespace

RecordView::RecordView(TForm1& form, std::string id, std::string addr)
    : QWidget(&form, Qt::Window), form_(form), id_(std::move(id)), addr_(std::move(addr)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("RecordView");
  setWindowTitle(QString("Records of meter %1, address %2").arg(Utf8(id_), Utf8(addr_)));

  auto* v = new QVBoxLayout(this);
  auto* meter = new QGroupBox("Meter");
  auto* form_layout = new QFormLayout(meter);
  static constexpr const char* kFieldNames[kFieldCount] = {
      "ID", "Address", "Manufacturer", "Version", "Medium", "Access number", "Status", "Signature"};
  for (int f = 0; f < kFieldCount; ++f) {
    fields_[static_cast<size_t>(f)] = ValueLabel();
    form_layout->addRow(QString(kFieldNames[f]) + ":", fields_[static_cast<size_t>(f)]);
  }
  v->addWidget(meter);

  notice_ = new QLabel;
  notice_->setObjectName("RecordNotice");
  notice_->setWordWrap(true);
  notice_->setVisible(false);
  v->addWidget(notice_);

  auto* split = new QSplitter(Qt::Vertical);
  Records = new QTableWidget(0, kRecordColumnCount);
  Records->setObjectName("Records");
  QStringList titles;
  for (const std::string& t : FullRecordColumns()) titles << Utf8(t);
  Records->setHorizontalHeaderLabels(titles);
  Records->verticalHeader()->setVisible(false);
  Records->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Records->setSelectionBehavior(QAbstractItemView::SelectRows);
  Records->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Records->horizontalHeader()->setStretchLastSection(true);
  split->addWidget(Records);
  Hex = new QPlainTextEdit;
  Hex->setObjectName("TelegramHex");
  Hex->setReadOnly(true);
  Hex->setLineWrapMode(QPlainTextEdit::NoWrap);
  Hex->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  split->addWidget(Hex);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  v->addWidget(split, 1);

  auto* buttons = new QHBoxLayout;
  CopyButton = new QPushButton("Copy");
  SaveCsvButton = new QPushButton("Save as CSV...");
  SaveJsonButton = new QPushButton("Save as JSON...");
  auto* close = new QPushButton("Close");
  for (QPushButton* b : {CopyButton, SaveCsvButton, SaveJsonButton}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(close);
  v->addLayout(buttons);

  connect(CopyButton, &QPushButton::clicked, this, &RecordView::CopyRecords);
  connect(SaveCsvButton, &QPushButton::clicked, this, &RecordView::SaveCsv);
  connect(SaveJsonButton, &QPushButton::clicked, this, &RecordView::SaveJson);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  connect(Records, &QTableWidget::currentCellChanged, this,
          [this](int row, int, int, int) { MarkRecord(row); });
  resize(1000, 620);
}

void RecordView::ShowTelegram(const ByteString* telegram) {
  has_telegram_ = telegram != nullptr;
  telegram_ = telegram ? *telegram : ByteString();
  decoded_ = telegram ? DecodeFull(*telegram) : FullDecode();
  const FullHeader& h = decoded_.header;

  for (QLabel* l : fields_) l->clear();
  fields_[kId]->setText(Utf8(h.long_header || h.fixed_structure ? h.id : id_));
  fields_[kAddress]->setText(decoded_.ok ? QString::number(h.address) : Utf8(addr_));
  if (h.long_header) {
    fields_[kManufacturer]->setText(Utf8(Latin1ToUtf8(h.manufacturer)));
    fields_[kVersion]->setText(QString::number(h.version));
  }
  if (h.long_header || h.fixed_structure)
    fields_[kMedium]->setText(Utf8(HexByte(h.medium_code) + " " + h.medium));
  if (h.length > 1) {
    const std::string bits = StatusBitsText(h);
    fields_[kAccessNumber]->setText(QString::number(h.access_number));
    fields_[kStatus]->setText(
        Utf8(HexByte(h.status) + " (" + (bits.empty() ? "no bit set" : bits) + ")"));
    if (!h.fixed_structure) fields_[kSignature]->setText(Utf8(SignatureHex(h.signature)));
  }

  QString notice;
  if (!has_telegram_) {
    notice = record_text::kNoTelegram;
  } else if (!decoded_.errors.empty()) {
    QStringList errors;
    for (const std::string& e : decoded_.errors) errors << Utf8(e);
    notice = QString(record_text::kNotDecoded) + errors.join("; ");
  }
  notice_->setText(notice);
  notice_->setVisible(!notice.isEmpty());

  Hex->setPlainText(HexViewText(telegram_));
  // A newer telegram of the meter keeps the record the user was looking at.
  const int keep = Records->currentRow();
  Records->clearContents();
  Records->setRowCount(static_cast<int>(decoded_.records.size()));
  for (int r = 0; r < Records->rowCount(); ++r) {
    const FullRecord& record = decoded_.records[static_cast<size_t>(r)];
    const std::vector<std::string> cells = FullRecordCells(record);
    for (int c = 0; c < kRecordColumnCount; ++c) {
      auto* item = new QTableWidgetItem(Utf8(cells[static_cast<size_t>(c)]));
      if (c == kRecordQuantity && !record.extensions.empty()) {
        QStringList meanings;
        for (const std::string& e : record.extensions) meanings << Utf8(e);
        item->setToolTip(meanings.join('\n'));
      }
      if (!record.error.empty()) {
        item->setToolTip(Utf8(record.error));
        item->setForeground(Qt::red);
      }
      Records->setItem(r, c, item);
    }
  }
  Records->resizeColumnsToContents();
  for (QPushButton* b : {CopyButton, SaveCsvButton, SaveJsonButton}) b->setEnabled(has_telegram_);
  const int current = keep >= 0 && keep < Records->rowCount() ? keep : 0;
  if (Records->rowCount()) Records->setCurrentCell(current, 0);
  MarkRecord(Records->rowCount() ? current : -1);
}

QString RecordView::FieldText(Field f) const { return fields_[static_cast<size_t>(f)]->text(); }

QString RecordView::Notice() const { return notice_->text(); }

void RecordView::MarkRecord(int index) {
  QList<QTextEdit::ExtraSelection> marks;
  marked_ = {0, 0};
  if (index >= 0 && static_cast<size_t>(index) < decoded_.records.size()) {
    const FullRecord& r = decoded_.records[static_cast<size_t>(index)];
    marked_ = {r.offset, r.length};
    const QColor light = palette().color(QPalette::Highlight).lighter(170);
    AddMarks(marks, Hex, r.offset, r.data_offset - r.offset, light);
    AddMarks(marks, Hex, r.data_offset, r.offset + r.length - r.data_offset, light.darker(120));
    if (!marks.isEmpty()) {
      // Scrolled to the record without selecting text over its marks.
      QTextCursor at = marks.front().cursor;
      at.clearSelection();
      Hex->setTextCursor(at);
      Hex->ensureCursorVisible();
    }
  }
  Hex->setExtraSelections(marks);
}

QString RecordView::MarkedHex() const {
  QStringList parts;
  for (const QTextEdit::ExtraSelection& mark : Hex->extraSelections())
    parts << mark.cursor.selectedText();
  return parts.join(' ');
}

void RecordView::CopyRecords() {
  std::set<int> rows;
  for (const QModelIndex& index : Records->selectionModel()->selectedRows())
    rows.insert(index.row());
  std::vector<std::vector<std::string>> table = {FullRecordColumns()};
  for (size_t r = 0; r < decoded_.records.size(); ++r) {
    if (rows.empty() || rows.count(static_cast<int>(r)))
      table.push_back(FullRecordCells(decoded_.records[r]));
  }
  QGuiApplication::clipboard()->setText(Utf8(DelimitedRows(table, '\t')));
}

QString RecordView::FileBaseName() const {
  const FullHeader& h = decoded_.header;
  QString name = "records_" + Utf8(h.long_header || h.fixed_structure ? h.id : id_);
  if (!addr_.empty()) name += "_" + Utf8(addr_);
  name.replace(QRegularExpression("[^0-9A-Za-z_-]"), "_");
  return name;
}

void RecordView::SaveCsv() {
  SaveAs(record_text::kSaveCsvCaption, FileBaseName() + ".csv", kSaveFilter, kSaveDefaultExtension,
         FullRecordsCsv(decoded_));
}

void RecordView::SaveJson() {
  SaveAs(record_text::kSaveJsonCaption, FileBaseName() + ".json", record_text::kJsonFilter,
         record_text::kJsonExtension, JsonLine(FullDecodeJson(decoded_)) + "\n");
}

void RecordView::SaveAs(const char* caption, const QString& proposedName, const char* filter,
                        const char* extension, const std::string& text) {
  if (!has_telegram_) return;
  QString path;
  if (form_.seam.saveFile) {
    path = form_.seam.saveFile(this, caption, form_.DialogDir(), proposedName, filter, extension);
  } else {
    QFileDialog dialog(this, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDirectory(form_.DialogDir());
    dialog.selectFile(proposedName);
    dialog.setNameFilter(DialogFilter(filter));
    dialog.setDefaultSuffix(extension);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      path = dialog.selectedFiles().first();
  }
  if (path.isEmpty()) return;
  if (!WriteTableFile(QFile::encodeName(path).toStdString(), text))
    form_.Box(this, kSaveErrorCaption, kSaveWriteFailedText, QMessageBox::Critical);
}

RecordViews::RecordViews(TForm1& form) : QObject(&form), form_(form) {
  setObjectName("RecordViews");
  form.ContextMbusMenu->addSeparator();
  ShowRecords1 = form.ContextMbusMenu->addAction(record_text::kShowRecords);
  connect(ShowRecords1, &QAction::triggered, this, [this] { Open(form_.SelectedMbusRow()); });
  connect(form.gridLoops, &StringGrid::DoubleClicked, this,
          [this] { Open(form_.gridLoops->currentRow()); });
  form.gridLoops->installEventFilter(this);
}

bool RecordViews::eventFilter(QObject* watched, QEvent* event) {
  // The event's type first: while the window is being destroyed, gridLoops still gets events
  // (not key presses), and the window's own members must not be read then.
  if (event->type() == QEvent::KeyPress && watched == form_.gridLoops) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Open(form_.gridLoops->currentRow());
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

void RecordViews::TelegramPlaced(const std::vector<int>& rows, const ByteString& telegram) {
  const StringGrid& loops = *form_.gridLoops;
  for (int row : rows) {
    telegrams_.Store(loops, row, telegram);
    const std::string id = loops.Cell(kMeterIdColumn, row);
    const std::string addr = loops.Cell(kMeterAddrColumn, row);
    for (RecordView* view : Views()) {
      if (view->MeterId() == id && view->MeterAddr() == addr) view->ShowTelegram(&telegram);
    }
  }
}

void RecordViews::RowRemoved(int row) { telegrams_.RowRemoved(row); }

void RecordViews::TableCleared() { telegrams_.Clear(); }

RecordView* RecordViews::Open(int row) {
  const StringGrid& loops = *form_.gridLoops;
  if (!IsMeterRow(loops, row)) {
    form_.MemoAdd(QString(meter_text::kNoValidDevice));
    return nullptr;
  }
  const std::string id = loops.Cell(kMeterIdColumn, row);
  const std::string addr = loops.Cell(kMeterAddrColumn, row);
  RecordView* view = nullptr;
  for (RecordView* open : Views()) {
    if (open->MeterId() == id && open->MeterAddr() == addr) view = open;
  }
  if (!view) view = new RecordView(form_, id, addr);
  view->ShowTelegram(telegrams_.Find(loops, row));
  view->show();
  view->raise();
  view->activateWindow();
  return view;
}

std::vector<RecordView*> RecordViews::Views() const {
  std::vector<RecordView*> views;
  // A closed view is deleted a moment later; until then it is no longer one of them.
  for (RecordView* v : form_.findChildren<RecordView*>(QString(), Qt::FindDirectChildrenOnly))
    if (v->isVisible()) views.push_back(v);
  return views;
}

}  // namespace orvio
