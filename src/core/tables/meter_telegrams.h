// The last telegram each row of the M-Bus device table (gridLoops) was written from, kept in
// step with the rows: removing a row moves the telegrams below it up with their rows, clearing or
// loading the table leaves no row with one. A telegram is only given out while its row still
// shows the meter it came from (the same ID and Addr cells), so a row rewritten by any other
// means never shows another meter's records.
#pragma once

#include <map>
#include <string>

#include "core/bytes.h"
#include "core/tables/text_grid.h"

namespace orvio {

class MeterTelegrams {
 public:
  // `row` of `loops` was just written from `telegram`; replaces what the row had.
  void Store(const TextGrid& loops, int row, ByteString telegram);
  // The telegram of `row`, or nullptr when the row has none or now shows another meter.
  const ByteString* Find(const TextGrid& loops, int row) const;
  // `row` was removed and the rows below it moved one up.
  void RowRemoved(int row);
  // Every row was emptied or replaced (cleared, loaded from a file).
  void Clear() { rows_.clear(); }
  size_t Size() const { return rows_.size(); }

 private:
  struct Entry {
    ByteString telegram;
    std::string id;
    std::string addr;
  };
  std::map<int, Entry> rows_;
};

// Whether `row` of the M-Bus device table holds a meter (below the header, with an ID or an
// Addr; the open row at the end holds none).
bool IsMeterRow(const TextGrid& loops, int row);

}  // namespace orvio
