// Small widgets and helpers the main window is built from: string grids that implement TextGrid,
// up-down edits and filtered edits.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSize>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <vector>

#include "core/tables/text_grid.h"
#include "engine/wait_timer.h"

namespace orvio {

// A string grid: row 0 is the fixed header row (drawn as such), cells are plain texts.
class StringGrid : public QTableWidget, public TextGrid {
  Q_OBJECT
 public:
  StringGrid(int cols, int rows, int fixedRows, QWidget* parent = nullptr);
  std::string Cell(int col, int row) const override;
  void SetCell(int col, int row, const std::string& text) override;
  int RowCount() const override { return rowCount(); }
  void SetRowCount(int rows) override;
  int ColCount() const override { return columnCount(); }
  QString CellText(int col, int row) const;
  void SetCellText(int col, int row, const QString& text);
  int FixedRows() const { return fixedRows_; }
  // A column grows to its widest text (header row included) shortly after that text is written;
  // it never shrinks on its own, so a width the user dragged wider stays.
  void FitColumnsNow();
  // Owner drawing: when set, called for each cell to pick its background (invalid = default).
  std::function<QColor(int col, int row)> cellColor;
  void RefreshColors();

 signals:
  // Mouse events with the cell under the pointer (col,row -1 when none) and the Ctrl state.
  void MouseDown(Qt::MouseButton button, int col, int row, bool ctrl);
  void MouseUp(Qt::MouseButton button, int col, int row, bool ctrl);
  void DoubleClicked();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  QTableWidgetItem* ItemAt(int col, int row);
  void StyleRow(int row);
  void ColumnChanged(int col);
  int fixedRows_;
  QTimer fitTimer_;                 // coalesces the column fitting of many writes into one
  std::vector<bool> columnsToFit_;  // columns written since the last fitting
};

// Room a window manager's title bar and borders take around a window (a typical desktop's).
inline constexpr QSize kWindowDecoration(16, 64);
// The size a window of `wanted` size gets on a screen whose free area is `available`: each side
// bounded so that the window with its decoration stays on that area.
QSize FitToScreen(QSize wanted, QSize available, QSize decoration);

// The time of day in the system's long time format: hours, minutes and seconds as the user's
// locale writes them, without a time-zone name. Every time of day the window shows comes from
// here (device tables, register grid, memo lines).
QString LongTimeText();
// A locale's time format without its time-zone field ("HH:mm:ss t" -> "HH:mm:ss",
// "H:mm:ss (t)" -> "H:mm:ss", "t HH:mm:ss" -> "HH:mm:ss"); quoted text stays as it is.
QString TimeFormatWithoutZone(const QString& format);

// Which characters a numeric field lets through.
enum class KeyFilter { None, Digits, Ip, Id };

// Returns whether a typed character passes a filter: digits, backspace (8), line feed (10) and
// carriage return (13) always; "." for IP fields; upper-case "F" for the ID field.
bool KeyPasses(KeyFilter filter, QChar c);

// Installs the filter on a line edit or an editable combo box.
void InstallKeyFilter(QWidget* w, KeyFilter filter);

// An up-down control paired with its edit: a spin box whose position is clamped to its limits.
class UpDown : public QSpinBox {
  Q_OBJECT
 public:
  UpDown(int min, int max, int step, int position, bool readOnlyEdit, QWidget* parent = nullptr);
  int Position() const { return value(); }
  void SetPosition(int p) { setValue(p); }  // QSpinBox clamps into [min, max]
};

}  // namespace orvio
