#include "core/tables/meter_telegrams.h"

#include "core/tables/meter_placement.h"

namespace orvio {

void MeterTelegrams::Store(const TextGrid& loops, int row, ByteString telegram) {
  if (row < 1 || row >= loops.RowCount()) return;
  rows_[row] = {std::move(telegram), loops.Cell(kMeterIdColumn, row),
                loops.Cell(kMeterAddrColumn, row)};
}

const ByteString* MeterTelegrams::Find(const TextGrid& loops, int row) const {
  const auto it = rows_.find(row);
  if (it == rows_.end() || !IsMeterRow(loops, row)) return nullptr;
  const Entry& e = it->second;
  if (loops.Cell(kMeterIdColumn, row) != e.id || loops.Cell(kMeterAddrColumn, row) != e.addr)
    return nullptr;
  return &e.telegram;
}

void MeterTelegrams::RowRemoved(int row) {
  rows_.erase(row);
  std::map<int, Entry> moved;
  for (auto& [r, entry] : rows_) moved.emplace(r > row ? r - 1 : r, std::move(entry));
  rows_ = std::move(moved);
}

bool IsMeterRow(const TextGrid& loops, int row) {
  if (row < 1 || row >= loops.RowCount()) return false;
  return !loops.Cell(kMeterIdColumn, row).empty() || !loops.Cell(kMeterAddrColumn, row).empty();
}

}  // namespace orvio
