// "Read modbus devices" against the gateway simulator, and the selection, marks and local edits
// of GridDevices.
#include <QtTest/QTest>

#include "core/tables/device_table.h"
#include "gateway_fixture.h"

namespace orvio::test {
namespace {

using Row = std::vector<std::string>;

// The demo line's five activated meters as a 28-register card shows them.
const Row kMeter1 = {"12345678",
                     "1",
                     "KAM",
                     "Heat",
                     "kWh",
                     "12345.000",
                     "0.000",
                     "0.000",
                     "0.000",
                     "0.000",
                     "Main=0406, Device=01, mbus=00",
                     "06",
                     "input1=01, input2=02",
                     "0/0/0/0-0/0/0/0",
                     "1200"};
const Row kMeter2 = {"23456789",
                     "2",
                     "SEN",
                     "Water",
                     "m3",
                     "123.456",
                     "0.000",
                     "0.000",
                     "0.000",
                     "0.000",
                     "Main=0413, Device=01, mbus=00",
                     "13",
                     "input1=00, input2=00",
                     "0/0/0/0-0/0/0/0",
                     "0"};
const Row kMeter3 = {"34567890",
                     "3",
                     "ABB",
                     "Electricity",
                     "kWh",
                     "8765.400",
                     "0.000",
                     "0.000",
                     "0.000",
                     "0.000",
                     "Main=0405, Device=01, mbus=00",
                     "05",
                     "input1=00, input2=00",
                     "0/0/0/0-0/0/0/0",
                     "0"};
const Row kMeter4 = {"45678901",
                     "4",
                     "ELS",
                     "Gas",
                     "m3",
                     "987.650",
                     "0.000",
                     "0.000",
                     "0.000",
                     "0.000",
                     "Main=0414, Device=01, mbus=00",
                     "14",
                     "input1=00, input2=00",
                     "0/0/0/0-0/0/0/0",
                     "0"};
const Row kMeter5 = {"56789012",
                     "5",
                     "QDS",
                     "H.C.A.",
                     "Dimensionless",
                     "345.000",
                     "0.000",
                     "0.000",
                     "0.000",
                     "0.000",
                     "Main=026E, Device=01, mbus=00",
                     "6E",
                     "input1=00, input2=00",
                     "0/0/0/0-0/0/0/0",
                     "0"};

Row GridRow(const StringGrid& g, int row) {
  Row out;
  for (int c = 0; c < g.columnCount(); ++c) out.push_back(g.Cell(c, row));
  return out;
}

Row WithoutFlow(Row r) {
  r[14].clear();
  return r;
}

class DeviceReadbackTest : public GatewayWindowTest {
 protected:
  // Runs the readback and waits until its buttons are enabled again (or it ended early).
  void ReadDevices() {
    form->buttonReadModbusClick();
    ASSERT_TRUE(WaitFor([&] {
      return !form->devices.VersionReadPending && !form->devices.DeviceListPending &&
             !form->TimerReadDevices->Enabled() && form->buttonReadModbus->isEnabled();
    }));
  }
};

TEST_P(DeviceReadbackTest, FiveMetersOf28Registers) {
  ReadDevices();
  StringGrid& g = *form->GridDevices;
  ASSERT_EQ(g.RowCount(), 7);  // header, five records, the empty last row
  EXPECT_EQ(GridRow(g, 1), kMeter1);
  EXPECT_EQ(GridRow(g, 2), kMeter2);
  EXPECT_EQ(GridRow(g, 3), kMeter3);
  EXPECT_EQ(GridRow(g, 4), kMeter4);
  EXPECT_EQ(GridRow(g, 5), kMeter5);
  EXPECT_EQ(GridRow(g, 6), Row(15));
  EXPECT_EQ(form->devices.DeviceRecordSize, 28);
  EXPECT_EQ(form->devices.ActiveDeviceCount, 5);
  EXPECT_TRUE(MemoHas("Number of devices: 5"));
  EXPECT_TRUE(MemoHas("1F" + QString(62, '0')));
  // Version, bitmap, then records 1, 29, 57, ... of 28 registers.
  const auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 7u);
  EXPECT_EQ(requests[0].address, 60000);
  EXPECT_EQ(requests[1].address, 59500);
  EXPECT_EQ(requests[1].count, 16);
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(requests[static_cast<size_t>(n + 1)].address, 1 + (n - 1) * 28);
    EXPECT_EQ(requests[static_cast<size_t>(n + 1)].count, 28);
  }
}

TEST_P(DeviceReadbackTest, FiveMetersOf24RegistersLeaveTheFlowColumnEmpty) {
  sim.SetCardVersion(0, 2);
  ReadDevices();
  StringGrid& g = *form->GridDevices;
  ASSERT_EQ(g.RowCount(), 7);
  EXPECT_EQ(GridRow(g, 1), WithoutFlow(kMeter1));
  EXPECT_EQ(GridRow(g, 5), WithoutFlow(kMeter5));
  EXPECT_EQ(form->devices.DeviceRecordSize, 24);
  const auto records = RequestsTo(sim, 4, 25);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].count, 24);
}

TEST_P(DeviceReadbackTest, RowsAreAppendedBelowExistingOnes) {
  ReadDevices();
  sim.ClearRequests();
  ReadDevices();
  EXPECT_EQ(form->GridDevices->RowCount(), 12);
  EXPECT_EQ(GridRow(*form->GridDevices, 6), kMeter1);
}

// Appended rows stop at the table's 250 devices, as a loaded table does; the records that find
// no row are named in the trace.
TEST_P(DeviceReadbackTest, AppendedRowsStopAt250Devices) {
  for (int n = 1; n <= 247; ++n) {
    DeviceRowCells cells{};
    cells[0] = "ID" + std::to_string(n);
    cells[1] = std::to_string(n);
    ASSERT_TRUE(AppendDeviceRow(*form->GridDevices, cells));
  }
  ReadDevices();
  StringGrid& g = *form->GridDevices;
  EXPECT_EQ(g.RowCount(), 251);
  EXPECT_EQ(GridRow(g, 248), kMeter1);
  EXPECT_EQ(GridRow(g, 250), kMeter3);
  EXPECT_TRUE(MemoHas("Device table full (250 rows): not shown, record 4"));
  EXPECT_TRUE(MemoHas("Device table full (250 rows): not shown, record 5"));
}

TEST_P(DeviceReadbackTest, TransformedValuesShowTheGeneralUnit) {
  form->Check_generalValues->setChecked(true);
  form->BitBtn25Click();
  ASSERT_TRUE(WaitRequests(1) && WaitCommandDone());
  ASSERT_TRUE(sim.TransformedValues());
  ReadDevices();
  Row water = kMeter2;  // 123456 litres become 123 m3, multiplier 1
  water[5] = "123.000";
  water[10] = "Main=0413, Device=21, mbus=00";
  EXPECT_EQ(GridRow(*form->GridDevices, 2), water);
}

TEST_P(DeviceReadbackTest, FlagBit5TakesTheUnitOfRegister7) {
  // Record 1: register 7 = 0x0005 (MWh), register 9 = 0x0020, main value 0xFFFF 0xFFFE.
  sim.SetInputRegister(7, 0x0005);
  sim.SetInputRegister(9, 0x0020);
  sim.SetInputRegister(11, 0xFFFF);
  sim.SetInputRegister(12, 0xFFFE);
  ReadDevices();
  const Row r = GridRow(*form->GridDevices, 1);
  EXPECT_EQ(r[4], "MWh");
  EXPECT_EQ(r[5], "-2.000");
  EXPECT_EQ(r[10], "Main=0406, Device=20, mbus=00");
}

TEST_P(DeviceReadbackTest, EmptyBitmapEndsAfterTwoRequests) {
  sim.DeactivateDevice(255);
  ReadDevices();
  EXPECT_TRUE(MemoHas("No active devices in ZELK memory..."));
  EXPECT_EQ(form->GridDevices->RowCount(), 2);
  EXPECT_EQ(sim.Requests().size(), 2u);
  EXPECT_FALSE(form->TimerReadDevices->Enabled());
}

TEST_P(DeviceReadbackTest, SilentRecordGivesItsBareLineAndTheNextFollows) {
  sim::Fault f;
  f.function = 4;
  f.address = 29;  // record 2
  f.silent = true;
  sim.InjectFault(f);
  ReadDevices();
  StringGrid& g = *form->GridDevices;
  ASSERT_EQ(g.RowCount(), 6);
  EXPECT_EQ(GridRow(g, 1), kMeter1);
  EXPECT_EQ(GridRow(g, 2), kMeter3);
  EXPECT_EQ(GridRow(g, 4), kMeter5);
  EXPECT_EQ(MemoCount("UNMD:"), 1);
  EXPECT_EQ(sim.Requests().size(), 7u);
}

TEST_P(DeviceReadbackTest, ExceptionRecordGivesItsTextAndNoRow) {
  sim::Fault f;
  f.function = 4;
  f.address = 57;  // record 3
  f.exception = 4;
  sim.InjectFault(f);
  ReadDevices();
  ASSERT_EQ(form->GridDevices->RowCount(), 6);
  EXPECT_EQ(GridRow(*form->GridDevices, 3), kMeter4);
  EXPECT_TRUE(MemoHasPrefix("Error - SLAVE DEVICE FAILURE"));
}

TEST_P(DeviceReadbackTest, NoVersionAnswerAssumes24Registers) {
  sim::Fault f;
  f.function = 4;
  f.address = 60000;
  f.silent = true;
  sim.InjectFault(f);
  ReadDevices();
  EXPECT_EQ(form->devices.DeviceRecordSize, 24);
  ASSERT_EQ(RequestsTo(sim, 4, 25).size(), 1u);
  // The gateway still sends 28-register records' first 24 registers from its own layout, so
  // only the record starting at register 1 lines up with what it holds.
  EXPECT_EQ(GridRow(*form->GridDevices, 1), WithoutFlow(kMeter1));
}

TEST_P(DeviceReadbackTest, ButtonsAreDisabledWhileTheRecordsAreRead) {
  std::vector<QPushButton*> buttons = {
      form->BitBtn1,  form->BitBtn2,  form->BitBtn19, form->buttonReadModbus,
      form->BitBtn22, form->BitBtn21, form->BitBtn23, form->Butt_activateAll};
  // Answers that take a while, so that the records are still being read when looked at (waits
  // that finish early would otherwise be over between two looks).
  sim::Fault slow;
  slow.function = 4;
  slow.count = 0;
  slow.delay_ms = 100;
  sim.InjectFault(slow);
  form->buttonReadModbusClick();
  ASSERT_TRUE(WaitFor([&] { return form->TimerReadDevices->Enabled(); }));
  for (QPushButton* b : buttons) EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
  ASSERT_TRUE(WaitFor([&] { return form->buttonReadModbus->isEnabled(); }));
  for (QPushButton* b : buttons) EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Links, DeviceReadbackTest,
                         ::testing::Values(Transport::kTcp, Transport::kRtu), TransportName);

// ---- selection, marks and local edits (no link needed) ----

class DeviceGridTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    MakeForm();
  }
  // Rows with the given "Addr " cells, then the empty last row.
  void Fill(const std::vector<std::string>& addresses) {
    ClearDeviceTable(*form->GridDevices);
    for (const std::string& a : addresses) {
      DeviceRowCells cells{};
      cells[0] = "ID" + a;
      cells[1] = a;
      AppendDeviceRow(*form->GridDevices, cells);
    }
  }
  QColor Background(int col, int row) {
    QTableWidgetItem* it = form->GridDevices->item(row, col);
    return it ? it->background().color() : QColor();
  }
  std::vector<int> MarkedRows() {
    std::vector<int> out;
    for (int r = 1; r <= 250; ++r)
      if (form->devices.RowMarks[static_cast<size_t>(r)]) out.push_back(r);
    return out;
  }
};

TEST_F(DeviceGridTest, MouseUpSelectsAndMarksOneRow) {
  Fill({"11", "12", "13"});
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 2, false);
  EXPECT_EQ(form->devices.SelectedDeviceRow, 2);
  EXPECT_EQ(form->devices.SelectedDeviceAddress, 12);
  EXPECT_EQ(form->Label11->text(), "Selected: 12");
  EXPECT_EQ(MarkedRows(), std::vector<int>{2});
  const QColor highlight = form->GridDevices->palette().highlight().color();
  EXPECT_EQ(Background(0, 2), highlight);
  EXPECT_EQ(form->GridDevices->item(2, 0)->foreground().color(), QColor(Qt::white));
  EXPECT_EQ(Background(0, 1), QColor(Qt::white));
  EXPECT_EQ(form->GridDevices->item(1, 0)->foreground().color(), QColor(Qt::black));

  form->GridDevicesMouseUp(Qt::LeftButton, 3, 3, false);
  EXPECT_EQ(MarkedRows(), std::vector<int>{3});
  EXPECT_EQ(form->devices.SelectedDeviceAddress, 13);
  EXPECT_EQ(Background(0, 2), QColor(Qt::white));
}

TEST_F(DeviceGridTest, CtrlTogglesMarksWithoutChangingTheSelection) {
  Fill({"11", "12", "13"});
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 1, false);
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 3, true);
  EXPECT_EQ(MarkedRows(), (std::vector<int>{1, 3}));
  EXPECT_EQ(form->devices.SelectedDeviceAddress, 11);
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 1, true);
  EXPECT_EQ(MarkedRows(), std::vector<int>{3});
  // Ctrl outside the data rows counts as a plain mouse-up: the marks go.
  form->GridDevicesMouseUp(Qt::LeftButton, -1, -1, true);
  EXPECT_TRUE(MarkedRows().empty());
}

TEST_F(DeviceGridTest, DoubleClickMarksEveryDataRow) {
  Fill({"11", "12", "13"});
  form->GridDevicesDblClick();
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 1, false);
  EXPECT_EQ(MarkedRows(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_FALSE(form->devices.DeviceGridDoubleClicked);
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 2, false);
  EXPECT_EQ(MarkedRows(), std::vector<int>{2});
}

TEST_F(DeviceGridTest, RowsWithoutANumberSelectMinusOne) {
  Fill({"x7", ""});
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 1, false);
  EXPECT_EQ(form->devices.SelectedDeviceAddress, -1);
  EXPECT_EQ(form->Label11->text(), "Selected: -1");
  form->GridDevicesSelectCell(0, 2);
  EXPECT_EQ(form->devices.SelectedDeviceRow, 2);
  EXPECT_EQ(form->devices.SelectedDeviceAddress, -1);
}

TEST_F(DeviceGridTest, ClicksOutsideTheRowsDoNothingHarmful) {
  Fill({"11"});
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 1, false);
  for (int row : {-1, 0, 2, 3, 250, 251, 1000}) {
    form->GridDevicesMouseUp(Qt::LeftButton, 0, row, false);
    form->GridDevicesMouseUp(Qt::LeftButton, 0, row, true);
    form->GridDevicesSelectCell(0, row);
  }
  EXPECT_EQ(form->devices.SelectedDeviceRow, 2);  // the empty last row is a data row
  EXPECT_EQ(form->devices.SelectedDeviceAddress, -1);
  // A grid reduced to its header.
  form->GridDevices->SetRowCount(1);
  form->GridDevicesDblClick();
  form->GridDevicesMouseUp(Qt::LeftButton, 0, 1, false);
  form->devices.SelectedDeviceRow = 5;
  form->Removefromtable2Click();
  EXPECT_EQ(form->GridDevices->RowCount(), 1);
}

TEST_F(DeviceGridTest, CellSelectionSelectsTheRow) {
  Fill({"11", "12"});
  form->GridDevicesSelectCell(4, 2);
  EXPECT_EQ(form->devices.SelectedDeviceRow, 2);
  EXPECT_EQ(form->devices.SelectedDeviceAddress, 12);
  EXPECT_EQ(form->Label11->text(), "Selected: 12");
}

TEST_F(DeviceGridTest, RealMouseClicksReachTheHandlers) {
  Fill({"11", "12", "13"});
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  QWidget* vp = form->GridDevices->viewport();
  const QPoint row2 = form->GridDevices->visualItemRect(form->GridDevices->item(2, 0)).center();
  const QPoint row3 = form->GridDevices->visualItemRect(form->GridDevices->item(3, 0)).center();
  QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, row2);
  EXPECT_EQ(form->devices.SelectedDeviceAddress, 12);
  QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, row3);
  EXPECT_EQ(MarkedRows(), (std::vector<int>{2, 3}));
  QTest::mousePress(vp, Qt::RightButton, Qt::NoModifier, row2);
  EXPECT_TRUE(WaitFor([&] { return form->ContextModbusMenu->isVisible(); }));
  form->ContextModbusMenu->hide();
  QTest::mouseRelease(vp, Qt::RightButton, Qt::NoModifier, row2);
}

TEST_F(DeviceGridTest, ClearLeavesTheHeaderAndOneEmptyRow) {
  Fill({"11", "12", "13"});
  form->BitBtn13Click();
  EXPECT_EQ(form->GridDevices->RowCount(), 2);
  EXPECT_EQ(GridRow(*form->GridDevices, 1), Row(15));
  EXPECT_EQ(form->GridDevices->Cell(1, 0), "Addr ");
}

TEST_F(DeviceGridTest, RemoveFromTable) {
  Fill({"11", "12", "13"});
  form->devices.SelectedDeviceRow = 0;  // nothing selected
  form->Removefromtable2Click();
  EXPECT_EQ(form->GridDevices->RowCount(), 5);

  form->GridDevicesMouseUp(Qt::LeftButton, 0, 2, false);
  form->Removefromtable2Click();
  ASSERT_EQ(form->GridDevices->RowCount(), 4);
  EXPECT_EQ(form->GridDevices->Cell(1, 1), "11");
  EXPECT_EQ(form->GridDevices->Cell(1, 2), "13");
  EXPECT_EQ(form->GridDevices->Cell(0, 2), "ID13");

  form->GridDevicesMouseUp(Qt::LeftButton, 0, 3, false);  // the empty last row
  form->Removefromtable2Click();
  EXPECT_EQ(form->GridDevices->RowCount(), 3);
  form->devices.SelectedDeviceRow = 7;  // beyond the last row
  form->Removefromtable2Click();
  EXPECT_EQ(form->GridDevices->RowCount(), 3);
}

TEST_F(DeviceGridTest, CopyFromTheMbusTable) {
  Fill({"11", "12", "13", "14", "15"});
  form->GridDevices->SetCell(9, 1, "old");
  StringGrid& loops = *form->gridLoops;
  loops.SetRowCount(4);
  const char* rows[3][8] = {
      {"12345678", "1", "KAM", "12.3", "kWh", "Heat", "00", "10:00:00"},
      {"23456789", "2", "SEN", "4.5", "m3", "Water", "00", "10:00:01"},
      {"34567890", "3", "ABB", "6.7", "kWh", "Electricity", "04", "10:00:02"},
  };
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 8; ++c) loops.SetCell(c, r + 1, rows[r][c]);
  form->BitBtn15Click();
  StringGrid& g = *form->GridDevices;
  ASSERT_EQ(g.RowCount(), 4);
  for (int r = 0; r < 3; ++r) {
    Row expected(15);
    expected[0] = rows[r][0];
    expected[1] = rows[r][1];
    expected[2] = rows[r][2];
    expected[3] = rows[r][5];
    expected[4] = rows[r][4];
    EXPECT_EQ(GridRow(g, r + 1), expected) << r;
  }
  EXPECT_EQ(g.Cell(0, 0), "ID ");
}

}  // namespace
}  // namespace orvio::test
