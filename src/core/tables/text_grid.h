// Grids of texts: the window's string grids and in-memory tables share this interface, so the
// placement rules, table files and table edits are written once over it.
#pragma once

#include <string>
#include <vector>

namespace orvio {

class TextGrid {
 public:
  virtual ~TextGrid() = default;
  // Cell by column and row; row 0 is the header. Reads outside the grid give "".
  virtual std::string Cell(int col, int row) const = 0;
  // Writes outside the grid are ignored.
  virtual void SetCell(int col, int row, const std::string& text) = 0;
  virtual int RowCount() const = 0;
  // Grows with empty rows or cuts rows off the end.
  virtual void SetRowCount(int rows) = 0;
  virtual int ColCount() const = 0;
};

// Empties every row below the header and leaves the header and one empty row, the state of a
// table with nothing in it.
inline void ClearTable(TextGrid& grid) {
  for (int row = 1; row < grid.RowCount(); ++row)
    for (int col = 0; col < grid.ColCount(); ++col) grid.SetCell(col, row, "");
  grid.SetRowCount(2);
}

// A TextGrid in memory, for tests, the command line and the core's own work tables.
class MemoryGrid : public TextGrid {
 public:
  MemoryGrid(int cols, int rows) : cols_(cols) { SetRowCount(rows); }
  std::string Cell(int col, int row) const override {
    if (col < 0 || col >= cols_ || row < 0 || row >= RowCount()) return {};
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
  }
  void SetCell(int col, int row, const std::string& text) override {
    if (col < 0 || col >= cols_ || row < 0 || row >= RowCount()) return;
    cells_[static_cast<size_t>(row)][static_cast<size_t>(col)] = text;
  }
  int RowCount() const override { return static_cast<int>(cells_.size()); }
  void SetRowCount(int rows) override {
    cells_.resize(static_cast<size_t>(rows < 0 ? 0 : rows),
                  std::vector<std::string>(static_cast<size_t>(cols_)));
  }
  int ColCount() const override { return cols_; }

 private:
  int cols_;
  std::vector<std::vector<std::string>> cells_;
};

}  // namespace orvio
