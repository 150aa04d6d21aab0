#include "app/widgets.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QTime>

namespace orvio {

StringGrid::StringGrid(int cols, int rows, int fixedRows, QWidget* parent)
    : QTableWidget(rows, cols, parent), fixedRows_(fixedRows) {
  horizontalHeader()->setVisible(false);
  verticalHeader()->setVisible(false);
  verticalHeader()->setDefaultSectionSize(20);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  for (int r = 0; r < rows; ++r) StyleRow(r);
  fitTimer_.setSingleShot(true);
  fitTimer_.setInterval(0);
  connect(&fitTimer_, &QTimer::timeout, this, &StringGrid::FitColumnsNow);
}

void StringGrid::ColumnChanged(int col) {
  if (columnsToFit_.size() < static_cast<size_t>(columnCount()))
    columnsToFit_.resize(static_cast<size_t>(columnCount()), false);
  columnsToFit_[static_cast<size_t>(col)] = true;
  fitTimer_.start();
}

void StringGrid::FitColumnsNow() {
  fitTimer_.stop();
  for (size_t c = 0; c < columnsToFit_.size(); ++c) {
    if (!columnsToFit_[c]) continue;
    columnsToFit_[c] = false;
    const int col = static_cast<int>(c);
    if (col >= columnCount()) continue;
    // The view measures up to a thousand rows (its header's precision): every row of these grids.
    const int wanted = sizeHintForColumn(col);
    if (wanted > columnWidth(col)) setColumnWidth(col, wanted);
  }
}

QTableWidgetItem* StringGrid::ItemAt(int col, int row) {
  QTableWidgetItem* it = item(row, col);
  if (!it) {
    it = new QTableWidgetItem;
    setItem(row, col, it);
    if (row < fixedRows_) {
      it->setBackground(palette().button());
      QFont f = it->font();
      f.setBold(true);
      it->setFont(f);
    }
  }
  return it;
}

void StringGrid::StyleRow(int row) {
  if (row >= fixedRows_) return;
  for (int c = 0; c < columnCount(); ++c) ItemAt(c, row);
}

std::string StringGrid::Cell(int col, int row) const { return CellText(col, row).toStdString(); }

QString StringGrid::CellText(int col, int row) const {
  if (col < 0 || row < 0 || col >= columnCount() || row >= rowCount()) return {};
  const QTableWidgetItem* it = item(row, col);
  return it ? it->text() : QString();
}

void StringGrid::SetCell(int col, int row, const std::string& text) {
  SetCellText(col, row, QString::fromStdString(text));
}

void StringGrid::SetCellText(int col, int row, const QString& text) {
  if (col < 0 || row < 0 || col >= columnCount() || row >= rowCount()) return;
  QTableWidgetItem* it = item(row, col);
  if (!it && text.isEmpty()) return;
  ItemAt(col, row)->setText(text);
  ColumnChanged(col);
}

void StringGrid::SetRowCount(int rows) {
  int old = rowCount();
  setRowCount(rows < 0 ? 0 : rows);
  for (int r = old; r < rows; ++r) StyleRow(r);
}

void StringGrid::RefreshColors() {
  if (!cellColor) return;
  for (int r = fixedRows_; r < rowCount(); ++r)
    for (int c = 0; c < columnCount(); ++c) {
      QColor color = cellColor(c, r);
      QTableWidgetItem* it = item(r, c);
      if (!color.isValid()) {
        if (it) it->setData(Qt::BackgroundRole, QVariant());
        continue;
      }
      ItemAt(c, r)->setBackground(color);
    }
}

void StringGrid::mousePressEvent(QMouseEvent* e) {
  QModelIndex idx = indexAt(e->position().toPoint());
  bool ctrl = e->modifiers() & Qt::ControlModifier;
  QTableWidget::mousePressEvent(e);
  emit MouseDown(e->button(), idx.isValid() ? idx.column() : -1, idx.isValid() ? idx.row() : -1,
                 ctrl);
}

void StringGrid::mouseReleaseEvent(QMouseEvent* e) {
  QModelIndex idx = indexAt(e->position().toPoint());
  bool ctrl = e->modifiers() & Qt::ControlModifier;
  QTableWidget::mouseReleaseEvent(e);
  emit MouseUp(e->button(), idx.isValid() ? idx.column() : -1, idx.isValid() ? idx.row() : -1,
               ctrl);
}

void StringGrid::mouseDoubleClickEvent(QMouseEvent* e) {
  QTableWidget::mouseDoubleClickEvent(e);
  emit DoubleClicked();
}

QString TimeFormatWithoutZone(const QString& format) {
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c == '\'') quoted = !quoted;
    if (quoted || c != 't') {
      out += c;
      continue;
    }
    while (i + 1 < format.size() && format[i + 1] == 't') ++i;
    // The zone's own brackets go with it: "(t)", "[t]".
    if (i + 1 < format.size() && !out.isEmpty() &&
        ((out.back() == '(' && format[i + 1] == ')') ||
         (out.back() == '[' && format[i + 1] == ']'))) {
      out.chop(1);
      ++i;
    }
  }
  // Separators left at either end: "h:mm:ss AP, " and " HH:mm:ss".
  const auto separator = [](QChar c) { return c.isSpace() || c == ','; };
  qsizetype begin = 0, end = out.size();
  while (begin < end && separator(out[begin])) ++begin;
  while (end > begin && separator(out[end - 1])) --end;
  return out.mid(begin, end - begin);
}

QString LongTimeText() {
  const QLocale locale = QLocale::system();
  return locale.toString(QTime::currentTime(),
                         TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QSize FitToScreen(QSize wanted, QSize available, QSize decoration) {
  const QSize room = (available - decoration).expandedTo(QSize(0, 0));
  return wanted.boundedTo(room);
}

bool KeyPasses(KeyFilter filter, QChar c) {
  if (filter == KeyFilter::None) return true;
  ushort u = c.unicode();
  if ((u >= '0' && u <= '9') || u == 8 || u == 10 || u == 13) return true;
  if (filter == KeyFilter::Ip && u == '.') return true;
  if (filter == KeyFilter::Id && u == 'F') return true;
  return false;
}

namespace {
// Swallows typed characters that a field's filter refuses; editing keys pass untouched.
class KeyFilterObject : public QObject {
 public:
  KeyFilterObject(KeyFilter f, QObject* parent) : QObject(parent), filter_(f) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(e);
      const QString t = k->text();
      if (!t.isEmpty() && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        for (QChar c : t) {
          if (c.unicode() < 32 && c.unicode() != 8 && c.unicode() != 10 && c.unicode() != 13)
            return QObject::eventFilter(o, e);  // tab, escape and the like keep their meaning
          if (!KeyPasses(filter_, c)) return true;
        }
      }
    }
    return QObject::eventFilter(o, e);
  }

 private:
  KeyFilter filter_;
};
}  // namespace

void InstallKeyFilter(QWidget* w, KeyFilter filter) {
  auto* f = new KeyFilterObject(filter, w);
  w->installEventFilter(f);
  if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
    combo->lineEdit()->installEventFilter(f);
  if (auto* spin = qobject_cast<QAbstractSpinBox*>(w))
    for (auto* le : spin->findChildren<QLineEdit*>()) le->installEventFilter(f);
}

UpDown::UpDown(int min, int max, int step, int position, bool readOnlyEdit, QWidget* parent)
    : QSpinBox(parent) {
  setRange(min, max);
  setSingleStep(step);
  setValue(position);
  setGroupSeparatorShown(false);
  setReadOnly(false);
  if (readOnlyEdit) {
    // The edit changes only through its arrows.
    for (auto* le : findChildren<QLineEdit*>()) le->setReadOnly(true);
  }
  setKeyboardTracking(false);
}

}  // namespace orvio
