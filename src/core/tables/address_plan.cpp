#include "core/tables/address_plan.h"

#include "core/mbus/change_requests.h"
#include "core/tables/meter_table.h"

namespace orvio {

namespace {
constexpr size_t kIdLength = 8;
}  // namespace

std::string RowMeterId(const TextGrid& loops, int row) {
  if (row < 1 || row >= loops.RowCount()) return {};
  const std::string id = loops.Cell(0, row).substr(0, kIdLength);
  return IsMeterId(id) ? id : std::string();
}

int PlannedAddress(const TextGrid& loops, int row) {
  const int address = MeterRowAddress(loops, row);
  if (address < kFirstNewAddress || address > kLastNewAddress) return -1;
  return RowMeterId(loops, row).empty() ? -1 : address;
}

int NextPlannedRow(const TextGrid& loops, int row) {
  for (int r = row < 1 ? 1 : row; r < loops.RowCount(); ++r)
    if (PlannedAddress(loops, r) >= 0) return r;
  return -1;
}

int PlannedRowsBefore(const TextGrid& loops, int row) {
  int n = 0;
  for (int r = NextPlannedRow(loops, 1); r >= 0 && r < row; r = NextPlannedRow(loops, r + 1)) ++n;
  return n;
}

std::string SettingAddressLine(int address, const std::string& id) {
  return "Setting Primary address " + std::to_string(address) + " to device " + id + "...";
}

bool HasNoMeterRow(const TextGrid& loops) {
  return loops.RowCount() <= 1 || (loops.RowCount() == 2 && loops.Cell(1, 1).empty());
}

}  // namespace orvio
