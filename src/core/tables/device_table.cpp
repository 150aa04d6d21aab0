#include "core/tables/device_table.h"

namespace orvio {

namespace {
// gridLoops columns copied into GridDevices columns 0..4.
struct ColumnCopy {
  int from;
  int to;
};
constexpr ColumnCopy kLoopsToDevices[] = {{0, 0}, {1, 1}, {2, 2}, {5, 3}, {4, 4}};

void ClearDataCells(TextGrid& grid) {
  for (int row = 1; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) grid.SetCell(col, row, "");
  }
}
bool RowEmpty(const TextGrid& grid, int row) {
  for (int col = 0; col < grid.ColCount(); ++col)
    if (!grid.Cell(col, row).empty()) return false;
  return true;
}
}  // namespace

bool AppendDeviceRow(TextGrid& devices, const DeviceRowCells& cells) {
  // A grid reduced to its header would otherwise get the record written over the header.
  if (devices.RowCount() < 2) devices.SetRowCount(2);
  const int row = devices.RowCount() - 1;
  const int last = kDeviceTableMaxRows - 1;
  if (row > last || (row == last && !RowEmpty(devices, row))) return false;
  for (int col = 0; col < kDeviceColumns; ++col) {
    devices.SetCell(col, row, cells[static_cast<size_t>(col)]);
  }
  if (row < last) devices.SetRowCount(row + 2);
  return true;
}

void ClearDeviceTable(TextGrid& devices) {
  ClearDataCells(devices);
  devices.SetRowCount(2);
}

bool RemoveDeviceRow(TextGrid& devices, int row) {
  if (row < 1 || row > devices.RowCount() - 1) return false;
  for (int r = row; r < devices.RowCount() - 1; ++r) {
    for (int col = 0; col < devices.ColCount(); ++col) {
      devices.SetCell(col, r, devices.Cell(col, r + 1));
    }
  }
  devices.SetRowCount(devices.RowCount() - 1);
  return true;
}

void CopyMbusTableToDevices(const TextGrid& loops, TextGrid& devices) {
  ClearDataCells(devices);
  devices.SetRowCount(loops.RowCount());
  for (int row = 1; row < loops.RowCount(); ++row) {
    for (const auto& c : kLoopsToDevices) devices.SetCell(c.to, row, loops.Cell(c.from, row));
  }
}

std::optional<int> DeviceAddressAt(const TextGrid& devices, int row) {
  if (row < 1 || row >= devices.RowCount()) return std::nullopt;
  return ParseDeviceAddress(devices.Cell(kDeviceAddressColumn, row));
}

bool HasDevicesToActivate(const TextGrid& devices) {
  if (devices.RowCount() <= 1) return false;
  return !(devices.RowCount() == 2 && devices.Cell(kDeviceAddressColumn, 1).empty());
}

}  // namespace orvio
