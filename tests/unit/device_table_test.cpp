// Edits of GridDevices over TextGrid: appending record rows, clearing, removing a row, copying
// the M-Bus device table.
#include "core/tables/device_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvio {
namespace {

DeviceRowCells Cells(const std::string& id, const std::string& addr) {
  DeviceRowCells c;
  c[0] = id;
  c[1] = addr;
  for (int col = 2; col < kDeviceColumns; ++col)
    c[static_cast<size_t>(col)] = id + "/" + std::to_string(col);
  return c;
}

MemoryGrid DevicesWith(const std::vector<std::string>& addresses) {
  MemoryGrid g(kDeviceColumns, 2);
  g.SetCell(0, 0, "ID ");
  g.SetCell(1, 0, "Addr ");
  for (const auto& a : addresses) AppendDeviceRow(g, Cells("id" + a, a));
  return g;
}

std::vector<std::string> Column(const TextGrid& g, int col) {
  std::vector<std::string> out;
  for (int row = 1; row < g.RowCount(); ++row) out.push_back(g.Cell(col, row));
  return out;
}

TEST(DeviceTable, AppendKeepsOneEmptyRowAtTheEnd) {
  MemoryGrid g = DevicesWith({"5", "7"});
  EXPECT_EQ(g.RowCount(), 4);
  EXPECT_EQ(Column(g, 1), (std::vector<std::string>{"5", "7", ""}));
  EXPECT_EQ(g.Cell(14, 2), "id7/14");
  EXPECT_EQ(g.Cell(1, 0), "Addr ");

  // A grid reduced to its header keeps the header.
  MemoryGrid bare(kDeviceColumns, 1);
  bare.SetCell(0, 0, "ID ");
  AppendDeviceRow(bare, Cells("x", "9"));
  EXPECT_EQ(bare.Cell(0, 0), "ID ");
  EXPECT_EQ(bare.Cell(1, 1), "9");
  EXPECT_EQ(bare.RowCount(), 3);
}

// The table holds a device per row up to 250 (as a table file's import does): the 250th adds no
// empty row and the 251st is refused, the table unchanged.
TEST(DeviceTable, AppendStopsAtTheTablesLastRow) {
  MemoryGrid g(kDeviceColumns, 2);
  for (int n = 1; n <= 249; ++n) ASSERT_TRUE(AppendDeviceRow(g, Cells("id", std::to_string(n))));
  EXPECT_EQ(g.RowCount(), kDeviceTableMaxRows);  // 249 devices and the empty last row
  EXPECT_TRUE(AppendDeviceRow(g, Cells("id", "250")));
  EXPECT_EQ(g.RowCount(), kDeviceTableMaxRows);
  EXPECT_EQ(g.Cell(1, 250), "250");
  EXPECT_FALSE(AppendDeviceRow(g, Cells("id", "251")));
  EXPECT_EQ(g.RowCount(), kDeviceTableMaxRows);
  EXPECT_EQ(g.Cell(1, 250), "250");

  // A table that is already longer (an older readback) takes no more either.
  g.SetRowCount(kDeviceTableMaxRows + 1);
  EXPECT_FALSE(AppendDeviceRow(g, Cells("id", "252")));
  EXPECT_EQ(g.Cell(1, kDeviceTableMaxRows), "");
}

TEST(DeviceTable, Clear) {
  MemoryGrid g = DevicesWith({"5", "7", "9"});
  ClearDeviceTable(g);
  EXPECT_EQ(g.RowCount(), 2);
  EXPECT_EQ(g.Cell(1, 0), "Addr ");
  EXPECT_EQ(g.Cell(0, 1), "");
  // Cells of rows that come back later are empty, not stale.
  g.SetRowCount(4);
  EXPECT_EQ(g.Cell(1, 2), "");
}

TEST(DeviceTable, RemoveRow) {
  struct Row {
    const char* name;
    int selected;
    bool removed;
    std::vector<std::string> addresses;  // data rows after, including the empty last one
  };
  const std::vector<Row> rows = {
      {"first", 1, true, {"7", "9", ""}},
      {"middle", 2, true, {"5", "9", ""}},
      {"last data row", 3, true, {"5", "7", ""}},
      {"the empty last row", 4, true, {"5", "7", "9"}},
      {"nothing selected", 0, false, {"5", "7", "9", ""}},
      {"beyond the last row", 5, false, {"5", "7", "9", ""}},
      {"negative", -1, false, {"5", "7", "9", ""}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    MemoryGrid g = DevicesWith({"5", "7", "9"});
    EXPECT_EQ(RemoveDeviceRow(g, row.selected), row.removed);
    EXPECT_EQ(Column(g, 1), row.addresses);
    EXPECT_EQ(g.Cell(1, 0), "Addr ");
  }
  // Every column moves up, not only the address.
  MemoryGrid g = DevicesWith({"5", "7"});
  RemoveDeviceRow(g, 1);
  EXPECT_EQ(g.Cell(14, 1), "id7/14");

  MemoryGrid empty(kDeviceColumns, 1);
  EXPECT_FALSE(RemoveDeviceRow(empty, 1));
  EXPECT_EQ(empty.RowCount(), 1);
}

TEST(DeviceTable, CopyFromMbusTable) {
  MemoryGrid loops(8, 5);  // header, three meters, the open row
  const std::vector<std::vector<std::string>> meters = {
      {"12345678", "1", "PAD", "12.5", "m3", "Water", "00", "10:00:00"},
      {"87654321", "2", "ELS", "3.25", "kWh", "Heat", "00", "10:00:01"},
      {"11112222", "250", "ABC", "1", "m3", "Gas", "04", "10:00:02"},
  };
  for (size_t r = 0; r < meters.size(); ++r) {
    for (size_t c = 0; c < meters[r].size(); ++c) {
      loops.SetCell(static_cast<int>(c), static_cast<int>(r + 1), meters[r][c]);
    }
  }
  MemoryGrid devices = DevicesWith({"5", "7", "9", "11", "13"});
  devices.SetCell(0, 0, "ID ");
  CopyMbusTableToDevices(loops, devices);
  EXPECT_EQ(devices.RowCount(), 5);
  EXPECT_EQ(devices.Cell(0, 0), "ID ");
  EXPECT_EQ(Column(devices, 0), (std::vector<std::string>{"12345678", "87654321", "11112222", ""}));
  EXPECT_EQ(Column(devices, 1), (std::vector<std::string>{"1", "2", "250", ""}));
  EXPECT_EQ(Column(devices, 2), (std::vector<std::string>{"PAD", "ELS", "ABC", ""}));
  EXPECT_EQ(Column(devices, 3), (std::vector<std::string>{"Water", "Heat", "Gas", ""}));
  EXPECT_EQ(Column(devices, 4), (std::vector<std::string>{"m3", "kWh", "m3", ""}));
  for (int col = 5; col < kDeviceColumns; ++col) {
    EXPECT_EQ(Column(devices, col), (std::vector<std::string>(4, ""))) << "column " << col;
  }
}

TEST(DeviceTable, AddressesForActivation) {
  MemoryGrid g = DevicesWith({"12", "x", "300"});
  EXPECT_EQ(DeviceAddressAt(g, 1), 12);
  EXPECT_EQ(DeviceAddressAt(g, 2), std::nullopt);
  EXPECT_EQ(DeviceAddressAt(g, 3), std::nullopt);  // not a primary address
  EXPECT_EQ(DeviceAddressAt(g, 4), std::nullopt);  // the empty last row
  EXPECT_EQ(DeviceAddressAt(g, 0), std::nullopt);  // header
  EXPECT_EQ(DeviceAddressAt(g, 9), std::nullopt);

  struct Row {
    const char* name;
    MemoryGrid grid;
    bool work;
  };
  MemoryGrid headerOnly(kDeviceColumns, 1);
  MemoryGrid oneEmpty(kDeviceColumns, 2);
  MemoryGrid oneMeter(kDeviceColumns, 2);
  oneMeter.SetCell(1, 1, "3");
  const std::vector<Row> rows = {
      {"header only", headerOnly, false},
      {"one empty row", oneEmpty, false},
      {"one meter without the open row", oneMeter, true},
      {"meters and the open row", DevicesWith({"1", "2"}), true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(HasDevicesToActivate(row.grid), row.work);
  }
}

}  // namespace
}  // namespace orvio
