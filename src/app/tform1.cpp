// Construction of the main window: controls, captions, limits, filters, menus, timers, wiring.
#include "app/tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/locations.h"
#include "app/tfabout.h"
#include "core/gateway/configuration.h"
#include "core/settings/control_ranges.h"
#include "core/tables/table_headers.h"
#include "mbus/record_view.h"
#include "site/site_controller.h"

namespace orvio {

namespace {

QLabel* L(const QString& text) { return new QLabel(text); }

QPushButton* B(const QString& caption) { return new QPushButton(caption); }

UpDown* RangeUpDown(const ControlRange& range, int step, int position, bool readOnlyEdit) {
  return new UpDown(range.min, range.max, step, position, readOnlyEdit);
}

QCheckBox* C(const QString& caption, bool checked = false) {
  auto* c = new QCheckBox(caption);
  c->setChecked(checked);
  return c;
}

QComboBox* Combo(const QStringList& items, bool editable) {
  auto* c = new QComboBox;
  c->setEditable(editable);
  c->addItems(items);
  return c;
}

QLineEdit* E(const QString& text, int maxLength) {
  auto* e = new QLineEdit(text);
  e->setMaxLength(maxLength);
  return e;
}

// Gives a tab page a scroll area and returns the widget the page's content goes into: on a small
// screen the page scrolls instead of squeezing its controls below their sizes.
QWidget* ScrolledContent(QWidget* page) {
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea;
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  auto* content = new QWidget;
  scroll->setWidget(content);
  pageLayout->addWidget(scroll);
  return content;
}

// A grid keeps its header and a few rows in view however small the window gets.
void KeepRowsInView(StringGrid* grid, int rows) {
  grid->setMinimumHeight(grid->frameWidth() * 2 + grid->horizontalScrollBar()->sizeHint().height() +
                         grid->verticalHeader()->defaultSectionSize() * (rows + 1));
}

// Lays out widgets in one row, left to right, with a stretch at the end.
QHBoxLayout* Row(std::initializer_list<QWidget*> ws) {
  auto* h = new QHBoxLayout;
  for (QWidget* w : ws) h->addWidget(w);
  h->addStretch(1);
  return h;
}

}  // namespace

TForm1::TForm1(QString appDir, QString settingsPath, QWidget* parent)
    : QMainWindow(parent), appDir_(std::move(appDir)), settingsPath_(std::move(settingsPath)) {
  if (appDir_.isEmpty()) appDir_ = QCoreApplication::applicationDirPath();
  // A portable copy keeps its files beside the executable, an installed one in XDG folders.
  const FileLocations files = LocateFiles(appDir_);
  if (settingsPath_.isEmpty()) settingsPath_ = QString::fromStdString(files.settingsFile);
  settingsDirValue_ = QString::fromStdString(files.dataDir);
  logDir_ = QString::fromStdString(files.logFolder);
  for (const std::string& manual : files.manualCandidates)
    manualCandidates_ << QString::fromStdString(manual);
  setObjectName("Form1");
  setWindowTitle("   M-bus/modbus configuration of VORTELA device type ZELK");
  QFont f = font();
  f.setPointSize(8);
  setFont(f);

  Comm2 = new SerialLink(this);
  Xport_socket = new QTcpSocket(this);
  XportEnd = new TcpEndWatch(Xport_socket);
  link.Attach(Comm2, Xport_socket);
  Timer_free_command = new DTimer(this, 5);
  Timer_modbus = new DTimer(this);
  Timer_auto = new DTimer(this);
  Timer_status = new DTimer(this);
  TimerReadDevices = new DTimer(this);
  Timer_mbus = new DTimer(this);
  Timer_mbusRespond = new DTimer(this);
  Timer_activateAll = new DTimer(this);
  Timer_changePrimaryAll = new DTimer(this);
  // The waits for a Modbus answer end when the answer is complete (finishing early); the scan
  // time of the tunnel (Timer_mbus) is the gateway's M-Bus wait and always runs in full, as do
  // the repeating timers.
  for (DTimer* wait : {Timer_free_command, Timer_modbus, Timer_status, TimerReadDevices,
                       Timer_mbusRespond, Timer_activateAll})
    wait->WaitOn(&link, DTimer::Ends::kWithAnswer);
  Timer_mbus->WaitOn(&link, DTimer::Ends::kAfterInterval);
  Tunnel = new TunnelTransaction(link, *Timer_mbus, *Timer_mbusRespond, trace);
  Tunnel->setParent(this);
  const auto send = [this](const GatewayRequest& request) { SendGatewayRequest(request); };
  // Every answer Timer_free_command collects is logged; one no request waits for (an activation
  // command's) is only logged.
  freeCommandAnswer = std::make_unique<Exchange>(
      link, *Timer_free_command, trace, [this](const ByteString& a) { MemoAdd(UnmdLine(a)); });
  // A Timer_modbus answer nothing else was expected for is read as registers.
  modbusAnswer = std::make_unique<Exchange>(link, *Timer_modbus, trace,
                                            [this](const ByteString& a) { ModbusAnswer(a, true); });
  statusAnswer = std::make_unique<Exchange>(link, *Timer_status, trace);
  recordAnswer = std::make_unique<Exchange>(link, *TimerReadDevices, trace);
  statusReadout = std::make_unique<RequestSequence>(link, *statusAnswer, send);
  deviceMapReadback =
      std::make_unique<DeviceMapReadback>(link, *freeCommandAnswer, *recordAnswer, send, trace);

  BuildWindow();
  BuildMenus();
  BuildContextMenus();
  InstallFilters();
  CoupleCheckBoxes();
  FillOperationTable();
  WireHandlers();
  ApplyToolTips();
  InstallShortcuts();
  MeterRecordViews = new RecordViews(*this);
  Sites = new SiteController(*this);
  // The size the window was designed for, as far as the screen's free area allows.
  const QScreen* s = screen();
  resize(s ? FitToScreen(QSize(1180, 860), s->availableGeometry().size(), kWindowDecoration)
           : QSize(1180, 860));
}

TForm1::~TForm1() = default;

// ---- window building: the frame, then one function per page and group ----

void TForm1::BuildWindow() {
  auto* central = new QWidget;
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(4, 4, 4, 4);
  auto* split = TraceSplitter = new QSplitter(Qt::Vertical);
  split->setObjectName("TraceSplitter");
  // Neither the pages nor the memo can be dragged out of sight.
  split->setChildrenCollapsible(false);
  v->addWidget(split, 1);

  PageControl1 = new QTabWidget;
  TabSheet2 = new QWidget;
  TabSheet1 = new QWidget;
  PageControl1->addTab(TabSheet2, "   Settings     ");
  PageControl1->addTab(TabSheet1, "   Quick read/write   ");
  split->addWidget(PageControl1);

  Memo_current = new TraceMemo;
  split->addWidget(Memo_current);
  const int line = Memo_current->fontMetrics().lineSpacing();
  Memo_current->setMinimumHeight(3 * line + 2 * Memo_current->frameWidth() +
                                 Memo_current->horizontalScrollBar()->sizeHint().height());
  PageControl1->setMinimumHeight(PageControl1->tabBar()->sizeHint().height() + 8 * line);
  split->setStretchFactor(0, 4);
  split->setStretchFactor(1, 1);

  BuildCommandStrip(v);
  setCentralWidget(central);
  BuildStatusBar();
  BuildSettingsPage();
  BuildQuickPage();
}

void TForm1::BuildCommandStrip(QLayout* into) {
  Label4 = L("Send custom command:");
  Edit_command = E("", 250);
  Check_ascii = C("ASCII");
  Check_hex = C("Hex");
  Butt_command_send = B("Send");
  BitBtn5 = B("Clear log");
  BitBtn6 = B("Save log");
  BitBtn7 = B("Print");
  BitBtn7->setEnabled(false);
  auto* strip = new QHBoxLayout;
  strip->addWidget(Label4);
  strip->addWidget(Edit_command, 1);
  for (QWidget* w : {static_cast<QWidget*>(Check_ascii), static_cast<QWidget*>(Check_hex),
                     static_cast<QWidget*>(Butt_command_send), static_cast<QWidget*>(BitBtn5),
                     static_cast<QWidget*>(BitBtn6), static_cast<QWidget*>(BitBtn7)})
    strip->addWidget(w);
  static_cast<QBoxLayout*>(into)->addLayout(strip);
}

void TForm1::BuildStatusBar() {
  StatusBar1 = new QStatusBar;
  const int widths[4] = {200, 200, 300, 50};
  for (int i = 0; i < 4; ++i) {
    StatusPanels[i] = new QLabel;
    StatusPanels[i]->setMinimumWidth(widths[i]);
    StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar1->addWidget(StatusPanels[i], i == 3 ? 1 : 0);
  }
  // Beside the panels: the progress of the long jobs, shown only while one runs.
  JobProgress = new ProgressWidget;
  StatusBar1->addPermanentWidget(JobProgress);
  JobProgress->Follow(operations_);
  setStatusBar(StatusBar1);
}

void TForm1::BuildSettingsPage() {
  // Two columns: the serial port settings over the commands, the register reader over the TCP
  // settings; short enough for a laptop's screen, and the page scrolls where it is not.
  // Built in the order the Tab key goes through them.
  QWidget* serial = BuildSerialGroup();
  QWidget* registers = BuildRegisterReader();
  QWidget* commands = BuildCommandsGroup();
  QWidget* tcp = BuildTcpGroup();
  auto* settings = new QHBoxLayout(ScrolledContent(TabSheet2));
  auto* left = new QVBoxLayout;
  left->addWidget(serial);
  left->addWidget(commands);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(registers, 1);
  right->addWidget(tcp);
  settings->addLayout(left);
  settings->addLayout(right, 1);
}

QWidget* TForm1::BuildSerialGroup() {
  GroupBox2 = new QGroupBox("   Serial port settings   ");
  QStringList names;
  for (int i = 1; i <= 20; ++i) names << QString("COM%1").arg(i);
  Combo_com2_name = Combo(names, true);
  for (const QString& p : SystemSerialPorts())
    if (!names.contains(p)) Combo_com2_name->addItem(p);
  Combo_com2_speed =
      Combo({"300", "1200", "2400", "4800", "9600", "19200", "38400", "115200"}, true);
  Combo_com2_parity = Combo({"None", "Even", "Odd", "Mark", "Space"}, true);
  Combo_com2_stop = Combo({"1", "2"}, true);
  Butt_open_port2 = B("Connect to port");
  CB_open_port2 = C("Automatically open on startup");
  Edit_lanxp_ip = E("", 15);
  Edit_lanxp_port = E("", 5);
  UD_eth_timeout = Edit_eth_timeout = RangeUpDown(control_range::kEthTimeout, 1, 30, true);
  Butt_connect_xport = B("Connect TCP");
  BitBtn24 = B("Disconnect TCP");
  auto* g = new QGridLayout(GroupBox2);
  g->addWidget(L("Port"), 0, 0);
  g->addWidget(Combo_com2_name, 0, 1);
  g->addWidget(L("Speed"), 0, 2);
  g->addWidget(Combo_com2_speed, 0, 3);
  g->addWidget(L("Parity"), 1, 0);
  g->addWidget(Combo_com2_parity, 1, 1);
  g->addWidget(L("Stop bits"), 1, 2);
  g->addWidget(Combo_com2_stop, 1, 3);
  g->addWidget(Butt_open_port2, 2, 0, 1, 2);
  g->addWidget(CB_open_port2, 2, 2, 1, 2);
  g->addWidget(L("Remote IP"), 3, 0);
  g->addWidget(Edit_lanxp_ip, 3, 1);
  g->addWidget(L("Remote port"), 3, 2);
  g->addWidget(Edit_lanxp_port, 3, 3);
  g->addWidget(L("Connect timeout"), 4, 0);
  g->addWidget(Edit_eth_timeout, 4, 1);
  g->addWidget(L("x10ms"), 4, 2);
  g->addWidget(Butt_connect_xport, 5, 0, 1, 2);
  g->addWidget(BitBtn24, 5, 2, 1, 2);
  return GroupBox2;
}

QWidget* TForm1::BuildRegisterReader() {
  auto* regBox = new QWidget;
  EditInputAddress = E("1", 5);
  EditInputCount = E("125", 3);
  checkInput = C("Input", true);
  checkHolding = C("Holding");
  BitBtn3 = B("Read registers");
  gridInputRegisters = new StringGrid(6, 2, 1);
  gridInputRegisters->setObjectName("gridInputRegisters");
  KeepRowsInView(gridInputRegisters, 4);
  ProgressBar1 = new QProgressBar;
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setVisible(false);
  UD_modbusTimeout = EditTimeoutModbus = RangeUpDown(control_range::kModbusTimeout, 50, 50, true);
  CheckFinishEarly = C("Finish waits when the answer is complete", true);
  CheckFinishEarly->setObjectName("CheckFinishEarly");
  UDmodbusAddress = EditAddressModbus = RangeUpDown(control_range::kModbusAddress, 1, 1, false);
  BitBtn4 = B("Clear grid");
  BitBtn8 = B("Export");
  CheckBox1 = C("Automatic read");
  UD_auto = Edit_auto = RangeUpDown(control_range::kAutoRead, 1, 1, true);
  BitBtn18 = B("Read Status of ZELK-64");
  auto* g = new QVBoxLayout(regBox);
  g->setContentsMargins(0, 0, 0, 0);
  g->addLayout(Row({L("Address"), EditInputAddress, L("Count"), EditInputCount, checkInput,
                    checkHolding, BitBtn3}));
  g->addWidget(gridInputRegisters, 1);
  g->addWidget(ProgressBar1);
  g->addLayout(Row(
      {L("Timeout, ms"), EditTimeoutModbus, L("Address"), EditAddressModbus, BitBtn4, BitBtn8}));
  g->addLayout(Row({CheckFinishEarly}));
  g->addLayout(Row({CheckBox1, Edit_auto, L("s"), BitBtn18}));
  return regBox;
}

QWidget* TForm1::BuildCommandsGroup() {
  GroupBox3 = new QGroupBox("   Commands   ");
  BitBtn9 = B("Write Timeout Registers");
  UD_variousTimes = editTimeouts = RangeUpDown(control_range::kTimingPosition, 1, 0, true);
  checkBetween = C("between 2 readings");
  checkRespond = C("wait respond for");
  BitBtn10 = B("Set Date/Time of device");
  Combo_baud =
      Combo({"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, true);
  Combo_parity = Combo({"None", "Even", "Odd"}, true);
  checkFPbaud = C("m-bus port");
  checkModbusPort = C("Modbus port", true);
  BitBtn11 = B("Write baud and parity");
  Edit_address = E("1", 3);
  BitBtn12 = B("Set new modbus address");
  UDminutes = editReadoutMinutes = RangeUpDown(control_range::kReadoutMinutes, 1, 1, true);
  BitBtn17 = B("Update");
  check5B = C("0x7B");
  checkNKE = C("SND_NKE");
  checkStopMbus = C("Start Mbus");
  check01 = C("0/1");
  BitBtn20 = B("Set Universal Mbus Flags");
  checkSort = C("Sort");
  checkDHCP = C("DHCP");
  checkReset = C("Reset");
  Check_realValues = C("Return real values", true);
  Check_generalValues = C("Transform values");
  BitBtn25 = B("Set values");
  auto* g = new QVBoxLayout(GroupBox3);
  g->addLayout(Row({BitBtn9, L("Times for mbus network, in 0.0 seconds"), editTimeouts}));
  g->addLayout(Row({checkBetween, checkRespond}));
  g->addLayout(Row({BitBtn10}));
  g->addLayout(Row({Combo_baud, Combo_parity, checkFPbaud, checkModbusPort, BitBtn11}));
  g->addLayout(Row({Edit_address, BitBtn12}));
  g->addLayout(Row({L("Readout/update time (in minutes):"), editReadoutMinutes, BitBtn17}));
  g->addLayout(Row({check5B, checkNKE, checkStopMbus, check01, BitBtn20}));
  g->addLayout(Row({checkSort, checkDHCP, checkReset}));
  g->addLayout(Row({Check_realValues, Check_generalValues, BitBtn25}));
  return GroupBox3;
}

QWidget* TForm1::BuildTcpGroup() {
  GroupBox1 = new QGroupBox("   TCP settings   ");
  Combo_tcpCommand =
      Combo({"IP address", "Gateway", "Mask", "Control IP #1", "Control IP #2", "Operator IP #1",
             "Operator IP #2", "Operator IP #3", "Operator IP #4", "Net number (optional)"},
            false);
  Edit_ip = E("", 15);
  Button1 = B("Program IP");
  Edit_tcpPort = E("", 5);
  Button2 = B("Save");
  Edit_id = E("", 8);
  Button3 = B("Save");
  for (QWidget* w : {static_cast<QWidget*>(Combo_tcpCommand), static_cast<QWidget*>(Edit_ip),
                     static_cast<QWidget*>(Edit_tcpPort), static_cast<QWidget*>(Edit_id)})
    w->setMaximumWidth(220);
  auto* g = new QGridLayout(GroupBox1);
  g->setColumnStretch(3, 1);
  g->addWidget(L("Select IP setting type:"), 0, 0);
  g->addWidget(Combo_tcpCommand, 0, 1);
  g->addWidget(L("IP to save in device:"), 1, 0);
  g->addWidget(Edit_ip, 1, 1);
  g->addWidget(Button1, 1, 2);
  g->addWidget(L("Listen on port:"), 2, 0);
  g->addWidget(Edit_tcpPort, 2, 1);
  g->addWidget(Button2, 2, 2);
  g->addWidget(L("Serial #"), 3, 0);
  g->addWidget(Edit_id, 3, 1);
  g->addWidget(Button3, 3, 2);
  return GroupBox1;
}

// The M-Bus device table with its scan, search, address and value controls.
void TForm1::BuildMbusTable() {
  gridLoops = new StringGrid(8, 2, 1);
  gridLoops->setObjectName("gridLoops");
  gridLoops->setSelectionBehavior(QAbstractItemView::SelectRows);
  KeepRowsInView(gridLoops, 4);
  UDaddressFrom = editAddressFrom = RangeUpDown(control_range::kSearchFrom, 1, 0, false);
  UDaddressTo = editAddressTo = RangeUpDown(control_range::kSearchTo, 1, 0, false);
  UD_timeout = Edit_timeout = RangeUpDown(control_range::kMbusTimeout, 10, 300, false);
  UD_retry = Edit_retry = RangeUpDown(control_range::kRetry, 1, 0, true);
  BitBtn1 = B("Scan mbus");
  BitBtn2 = B("STOP");
  BitBtn13 = B("Clear");
  BitBtn16 = B("Export");
  Butt_import = B("Import");
  Butt_save_data = B("Save");
  Butt_load_data = B("Load");
  Butt_clear_grid = B("Clear");
  for (auto* b : {Butt_save_data, Butt_load_data, Butt_clear_grid}) b->setVisible(false);
  editID = E("", 8);
  BitBtn21 = B("Find by ID");
  BitBtn22 = B("Read real addresses");
  UD_address = Edit1 = RangeUpDown(control_range::kNewAddress, 1, 1, false);
  BitBtn23 = B("Set");
  BitBtn26 = B("BitBtn26");
  BitBtn26->setVisible(false);
  Label16 = L("Selected: ");
  Check_5B = C("0x5B");
  Check_53 = C("0x53");
  Check_53->setVisible(false);
  Edit_valuePulses = E("0", 8);
  Check_valueHex = C("Hex", true);
  Check_valueBCD = C("BCD");
  Button4 = B("Set new value");
}

// The activated-device table with its readback and activation controls.
void TForm1::BuildDeviceTable() {
  GridDevices = new StringGrid(15, 2, 1);
  GridDevices->setObjectName("GridDevices");
  GridDevices->setSelectionBehavior(QAbstractItemView::SelectRows);
  KeepRowsInView(GridDevices, 4);
  Label11 = L("Selected: ");
  buttonReadModbus = B("Read modbus devices");
  BitBtn19 = B("Search and activate");
  Butt_activateAll = B("Activate All in table");
  checkActivate = C("Activate");
  checkDelete = C("Delete");
  checkdeactivateInputs = C("Delete inputs");
  BitBtn14 = B("Write modbus");
  for (QWidget* w : {static_cast<QWidget*>(checkActivate), static_cast<QWidget*>(checkDelete),
                     static_cast<QWidget*>(checkdeactivateInputs), static_cast<QWidget*>(BitBtn14)})
    w->setVisible(false);
  BitBtn15 = B("");
  BitBtn15->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
}

void TForm1::BuildQuickPage() {
  BuildMbusTable();
  BuildDeviceTable();
  GridFullTelegram = new StringGrid(7, 1, 0);
  GridFullTelegram->setVisible(false);
  Memo_export = new QPlainTextEdit;
  Memo_export->setVisible(false);

  auto* quick = new QVBoxLayout(ScrolledContent(TabSheet1));
  quick->addWidget(L("M-bus devices "));
  quick->addWidget(gridLoops, 3);
  quick->addLayout(
      Row({L("From:"), editAddressFrom, L("to"), editAddressTo, L("Scan time,"), Edit_timeout,
           L("in ms"), L("Retry"), Edit_retry, L("times"), BitBtn1, BitBtn2, BitBtn13, BitBtn16,
           Butt_import, Butt_save_data, Butt_load_data, Butt_clear_grid}));
  quick->addLayout(Row({L("Exact or FFFFFFFF"), editID, BitBtn21, BitBtn22, L("Set new address"),
                        Edit1, BitBtn23, BitBtn26, Check_5B, Check_53, Label16}));
  quick->addLayout(Row({Edit_valuePulses, Check_valueHex, Check_valueBCD, Button4}));
  quick->addLayout(Row({L("Activated Modbus devices"), BitBtn15, Label11}));
  quick->addWidget(GridDevices, 3);
  quick->addLayout(Row({buttonReadModbus, BitBtn19, Butt_activateAll, checkActivate, checkDelete,
                        checkdeactivateInputs, BitBtn14}));
  quick->addWidget(GridFullTelegram);
  quick->addWidget(Memo_export);
}

void TForm1::BuildMenus() {
  QMenu* file = menuBar()->addMenu("File");
  Open1 = file->addAction("Open mbus file");
  Save1 = file->addAction("Save mbus file");
  Exit1 = file->addAction("Exit");
  QMenu* lang = menuBar()->addMenu("Language");
  English1 = lang->addAction("English");
  English1->setCheckable(true);
  QMenu* help = menuBar()->addMenu("Help");
  About1 = help->addAction("About");
  Usermanual1 = help->addAction("User manual");
  KeyboardShortcuts1 = help->addAction("Keyboard shortcuts");
}

void TForm1::BuildContextMenus() {
  ContextMbusMenu = new QMenu(this);
  Read1 = ContextMbusMenu->addAction("Read");
  Removefromtable1 = ContextMbusMenu->addAction("Remove from table");
  ChangePrAddr1 = ContextMbusMenu->addAction("Change Primary");
  SetallPrimaryaddresses1 = ContextMbusMenu->addAction("Set all Primary addresses");
  ChangeMedium1 = ContextMbusMenu->addMenu("Change Medium");
  Oil1 = ChangeMedium1->addAction("Oil");
  HotWater1 = ChangeMedium1->addAction("Hot water");
  ColdWater1 = ChangeMedium1->addAction("Cold water");
  Electricity1 = ChangeMedium1->addAction("Electricity");
  Heat1 = ChangeMedium1->addAction("Heat");
  Gas1 = ChangeMedium1->addAction("Gas");
  NA1 = ChangeMedium1->addAction("N/A");
  Cleartable1 = ContextMbusMenu->addAction("Clear table");
  Loadfile1 = ContextMbusMenu->addAction("Load file");
  Savefile1 = ContextMbusMenu->addAction("Save file");

  ContextModbusMenu = new QMenu(this);
  Activate1 = ContextModbusMenu->addAction("Activate");
  ActivateAllinTable1 = ContextModbusMenu->addAction("Activate All in Table");
  Removefromtable2 = ContextModbusMenu->addAction("Remove from table");
  Delete1 = ContextModbusMenu->addAction("Delete");
  DeleteAll1 = ContextModbusMenu->addAction("Delete All");
  Exclude2inputs1 = ContextModbusMenu->addAction("Exclude 2 inputs");
}

void TForm1::InstallFilters() {
  for (QWidget* w :
       {static_cast<QWidget*>(Combo_com2_speed), static_cast<QWidget*>(Combo_com2_stop),
        static_cast<QWidget*>(Edit_lanxp_port), static_cast<QWidget*>(EditInputAddress),
        static_cast<QWidget*>(EditInputCount), static_cast<QWidget*>(EditTimeoutModbus),
        static_cast<QWidget*>(EditAddressModbus), static_cast<QWidget*>(editReadoutMinutes),
        static_cast<QWidget*>(editTimeouts), static_cast<QWidget*>(Edit_address),
        static_cast<QWidget*>(Edit_tcpPort), static_cast<QWidget*>(Edit_id),
        static_cast<QWidget*>(Edit_timeout), static_cast<QWidget*>(editAddressFrom),
        static_cast<QWidget*>(editAddressTo), static_cast<QWidget*>(Edit1),
        static_cast<QWidget*>(Edit_valuePulses)})
    InstallKeyFilter(w, KeyFilter::Digits);
  InstallKeyFilter(Edit_lanxp_ip, KeyFilter::Ip);
  InstallKeyFilter(Edit_ip, KeyFilter::Ip);
  InstallKeyFilter(editID, KeyFilter::Id);
}

void TForm1::CoupleCheckBoxes() {
  // Pairs with exactly one box checked: checking one unchecks the other, unchecking one checks
  // the other.
  auto exactlyOne = [this](QCheckBox* a, QCheckBox* b) {
    connect(a, &QCheckBox::toggled, this, [b](bool on) {
      if (b->isChecked() == on) b->setChecked(!on);
    });
    connect(b, &QCheckBox::toggled, this, [a](bool on) {
      if (a->isChecked() == on) a->setChecked(!on);
    });
  };
  exactlyOne(checkInput, checkHolding);
  exactlyOne(checkFPbaud, checkModbusPort);
  exactlyOne(Check_ascii, Check_hex);
  // Groups with at most one box checked: checking one unchecks the others.
  auto atMostOne = [this](std::initializer_list<QCheckBox*> group) {
    std::vector<QCheckBox*> boxes(group);
    for (QCheckBox* box : boxes)
      connect(box, &QCheckBox::toggled, this, [box, boxes](bool on) {
        if (!on) return;
        for (QCheckBox* other : boxes)
          if (other != box) other->setChecked(false);
      });
  };
  atMostOne({Check_realValues, Check_generalValues});
  atMostOne({Check_valueHex, Check_valueBCD});
  atMostOne({checkBetween, checkRespond});
  atMostOne({checkNKE, check5B, checkStopMbus, checkSort, checkDHCP, checkReset});
}

// ---- wiring, one function per subsystem ----

namespace {
// Connects a button's click, a menu item's trigger or a check box's click to a handler.
void OnClick(TForm1* f, QPushButton* b, void (TForm1::*h)()) {
  QObject::connect(b, &QPushButton::clicked, f, h);
}
void OnMenu(TForm1* f, QAction* a, void (TForm1::*h)()) {
  QObject::connect(a, &QAction::triggered, f, h);
}
void OnBox(TForm1* f, QCheckBox* c, void (TForm1::*h)()) {
  QObject::connect(c, &QCheckBox::clicked, f, h);
}
void OnTick(TForm1* f, DTimer* t, void (TForm1::*h)()) {
  QObject::connect(t, &DTimer::Timer, f, h);
}
}  // namespace

void TForm1::WireHandlers() {
  WireLinks();
  WireRegisterReader();
  WireGateway();
  WireDeviceMap();
  WireNetwork();
  WireTimers();
  OnMenu(this, Exit1, &TForm1::Exit1Click);
  OnMenu(this, English1, &TForm1::English1Click);
  OnMenu(this, About1, &TForm1::About1Click);
  OnMenu(this, Usermanual1, &TForm1::Usermanual1Click);
  OnMenu(this, KeyboardShortcuts1, &TForm1::KeyboardShortcuts1Click);
}

void TForm1::WireLinks() {
  OnClick(this, Butt_open_port2, &TForm1::Butt_open_port2Click);
  OnClick(this, Butt_connect_xport, &TForm1::Butt_connect_xportClick);
  OnClick(this, BitBtn24, &TForm1::BitBtn24Click);
  connect(Comm2, &SerialLink::RxChar, this, &TForm1::Comm2RxChar);
  connect(Comm2, &SerialLink::Lost, this, &TForm1::SerialPortLost);
  connect(Xport_socket, &QTcpSocket::connected, this, &TForm1::Xport_socketConnect);
  connect(Xport_socket, &QTcpSocket::disconnected, this, &TForm1::Xport_socketDisconnect);
  connect(Xport_socket, &QTcpSocket::readyRead, this, &TForm1::Xport_socketRead);
  connect(Xport_socket, &QTcpSocket::errorOccurred, this, &TForm1::Xport_socketError);
}

void TForm1::WireRegisterReader() {
  OnClick(this, BitBtn3, &TForm1::BitBtn3Click);
  OnClick(this, BitBtn4, &TForm1::BitBtn4Click);
  OnClick(this, BitBtn8, &TForm1::BitBtn8Click);
  OnBox(this, CheckBox1, &TForm1::CheckBox1Click);
  connect(CheckFinishEarly, &QCheckBox::toggled, this,
          [this](bool on) { link.SetFinishEarly(on); });
  connect(Edit_auto, &QSpinBox::valueChanged, this, &TForm1::Edit_autoChange);
  OnBox(this, checkInput, &TForm1::checkInputClick);
  OnBox(this, checkHolding, &TForm1::checkHoldingClick);
  OnClick(this, Butt_command_send, &TForm1::Butt_command_sendClick);
  connect(Edit_command, &QLineEdit::returnPressed, this, &TForm1::Butt_command_sendClick);
  OnBox(this, Check_ascii, &TForm1::Check_asciiClick);
  OnBox(this, Check_hex, &TForm1::Check_hexClick);
  OnClick(this, BitBtn5, &TForm1::BitBtn5Click);
  OnClick(this, BitBtn6, &TForm1::BitBtn6Click);
}

void TForm1::WireGateway() {
  OnClick(this, BitBtn9, &TForm1::BitBtn9Click);
  OnClick(this, BitBtn10, &TForm1::BitBtn10Click);
  OnClick(this, BitBtn11, &TForm1::BitBtn11Click);
  OnClick(this, BitBtn12, &TForm1::BitBtn12Click);
  OnClick(this, BitBtn17, &TForm1::BitBtn17Click);
  OnClick(this, BitBtn20, &TForm1::BitBtn20Click);
  OnClick(this, BitBtn25, &TForm1::BitBtn25Click);
  OnBox(this, checkBetween, &TForm1::checkBetweenClick);
  OnBox(this, checkRespond, &TForm1::checkRespondClick);
  OnBox(this, check5B, &TForm1::check5BClick);
  OnBox(this, checkNKE, &TForm1::checkNKEClick);
  OnBox(this, checkStopMbus, &TForm1::checkStopMbusClick);
  OnBox(this, checkSort, &TForm1::checkSortClick);
  OnBox(this, checkDHCP, &TForm1::checkDHCPClick);
  OnBox(this, checkReset, &TForm1::checkResetClick);
  OnClick(this, BitBtn18, &TForm1::BitBtn18Click);
  OnClick(this, Button1, &TForm1::Button1Click);
  OnClick(this, Button2, &TForm1::Button2Click);
  OnClick(this, Button3, &TForm1::Button3Click);
  OnClick(this, Button4, &TForm1::Button4Click);
}

void TForm1::WireDeviceMap() {
  OnClick(this, buttonReadModbus, &TForm1::buttonReadModbusClick);
  connect(GridDevices, &StringGrid::MouseDown, this, &TForm1::GridDevicesMouseDown);
  connect(GridDevices, &StringGrid::MouseUp, this, &TForm1::GridDevicesMouseUp);
  connect(GridDevices, &StringGrid::DoubleClicked, this, &TForm1::GridDevicesDblClick);
  connect(GridDevices, &QTableWidget::currentCellChanged, this,
          [this](int row, int col, int, int) { GridDevicesSelectCell(col, row); });
  OnClick(this, BitBtn13, &TForm1::BitBtn13Click);
  OnMenu(this, Activate1, &TForm1::Activate1Click);
  OnMenu(this, ActivateAllinTable1, &TForm1::ActivateAllinTable1Click);
  OnMenu(this, Removefromtable2, &TForm1::Removefromtable2Click);
  OnMenu(this, Delete1, &TForm1::Delete1Click);
  OnMenu(this, DeleteAll1, &TForm1::DeleteAll1Click);
  OnMenu(this, Exclude2inputs1, &TForm1::Exclude2inputs1Click);
  OnBox(this, checkActivate, &TForm1::checkActivateClick);
  OnBox(this, checkDelete, &TForm1::checkDeleteClick);
  OnBox(this, checkdeactivateInputs, &TForm1::checkdeactivateInputsClick);
  OnClick(this, BitBtn14, &TForm1::BitBtn14Click);
  OnClick(this, BitBtn19, &TForm1::BitBtn19Click);
  OnClick(this, BitBtn15, &TForm1::BitBtn15Click);
  OnClick(this, Butt_activateAll, &TForm1::Butt_activateAllClick);
  OnClick(this, BitBtn16, &TForm1::BitBtn16Click);
  OnClick(this, Butt_import, &TForm1::Butt_importClick);
}

void TForm1::WireNetwork() {
  OnClick(this, BitBtn1, &TForm1::BitBtn1Click);
  OnClick(this, BitBtn2, &TForm1::BitBtn2Click);
  connect(gridLoops, &StringGrid::MouseDown, this, &TForm1::gridLoopsMouseDown);
  connect(gridLoops, &StringGrid::MouseUp, this, &TForm1::gridLoopsMouseUp);
  connect(gridLoops, &QTableWidget::currentCellChanged, this,
          [this](int row, int col, int, int) { gridLoopsSelectCell(col, row); });
  OnMenu(this, Read1, &TForm1::Read1Click);
  OnMenu(this, Removefromtable1, &TForm1::Removefromtable1Click);
  OnMenu(this, ChangePrAddr1, &TForm1::ChangePrAddr1Click);
  OnMenu(this, SetallPrimaryaddresses1, &TForm1::SetallPrimaryaddresses1Click);
  OnMenu(this, Oil1, &TForm1::Oil1Click);
  OnMenu(this, HotWater1, &TForm1::HotWater1Click);
  OnMenu(this, ColdWater1, &TForm1::ColdWater1Click);
  OnMenu(this, Electricity1, &TForm1::Electricity1Click);
  OnMenu(this, Heat1, &TForm1::Heat1Click);
  OnMenu(this, Gas1, &TForm1::Gas1Click);
  OnMenu(this, NA1, &TForm1::NA1Click);
  OnMenu(this, Cleartable1, &TForm1::Cleartable1Click);
  OnMenu(this, Loadfile1, &TForm1::Loadfile1Click);
  OnMenu(this, Savefile1, &TForm1::Savefile1Click);
  OnMenu(this, Open1, &TForm1::Open1Click);
  OnMenu(this, Save1, &TForm1::Save1Click);
  OnClick(this, Butt_save_data, &TForm1::Butt_save_dataClick);
  OnClick(this, Butt_load_data, &TForm1::Butt_load_dataClick);
  OnClick(this, Butt_clear_grid, &TForm1::Butt_clear_gridClick);
  OnClick(this, BitBtn21, &TForm1::BitBtn21Click);
  OnClick(this, BitBtn22, &TForm1::BitBtn22Click);
  OnClick(this, BitBtn23, &TForm1::BitBtn23Click);
  OnClick(this, BitBtn26, &TForm1::BitBtn26Click);
}

void TForm1::WireTimers() {
  OnTick(this, Timer_free_command, &TForm1::Timer_free_commandTimer);
  OnTick(this, Timer_modbus, &TForm1::Timer_modbusTimer);
  OnTick(this, Timer_auto, &TForm1::Timer_autoTimer);
  OnTick(this, Timer_status, &TForm1::Timer_statusTimer);
  OnTick(this, TimerReadDevices, &TForm1::TimerReadDevicesTimer);
  OnTick(this, Timer_mbus, &TForm1::Timer_mbusTimer);
  OnTick(this, Timer_mbusRespond, &TForm1::Timer_mbusRespondTimer);
  OnTick(this, Timer_activateAll, &TForm1::Timer_activateAllTimer);
  OnTick(this, Timer_changePrimaryAll, &TForm1::Timer_changePrimaryAllTimer);
}

// ---- shared helpers ----

QMessageBox::StandardButton TForm1::Box(QWidget* owner, const QString& caption, const QString& text,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString& informative) {
  if (seam.messageBoxInformative)
    return seam.messageBoxInformative(owner, caption, text, informative, icon, buttons);
  if (seam.messageBox) return seam.messageBox(owner, caption, text, icon, buttons);
  QMessageBox mb(icon, caption, text, buttons, owner);
  if (!informative.isEmpty()) mb.setInformativeText(informative);
  if (!owner) mb.setWindowFlag(Qt::WindowStaysOnTopHint);
  return static_cast<QMessageBox::StandardButton>(mb.exec());
}

bool TForm1::CheckLink() {
  if (LinkOpen()) return true;
  MemoAdd(QString(gateway_text::kNoLink));
  return false;
}

QString TForm1::Panel(int i) const { return StatusPanels[static_cast<size_t>(i)]->text(); }

void TForm1::SetPanel(int i, const QString& text) {
  StatusPanels[static_cast<size_t>(i)]->setText(text);
}

void TForm1::MemoTrace::Line(const std::string& line) { form_.MemoAdd(line); }

void TForm1::MemoTrace::CheckState(const std::string& text) {
  form_.SetPanel(2, QString::fromStdString(text));
}

void TForm1::ApplyHeadersAndCaptions() {
  for (int c = 0; c < static_cast<int>(kDeviceTableHeaders.size()); ++c)
    GridDevices->SetCellText(c, 0, kDeviceTableHeaders[static_cast<size_t>(c)]);
  for (int c = 0; c < static_cast<int>(kMeterTableHeaders.size()); ++c)
    gridLoops->SetCellText(c, 0, kMeterTableHeaders[static_cast<size_t>(c)]);
  for (int c = 0; c < static_cast<int>(kRegisterTableHeaders.size()); ++c)
    gridInputRegisters->SetCellText(c, 0, kRegisterTableHeaders[static_cast<size_t>(c)]);
  Butt_clear_grid->setText("Clear table");
  Butt_load_data->setText("Load");
  Butt_save_data->setText("Save");
  Butt_command_send->setText("Send");
  Label4->setText("Send custom command");
  BitBtn7->setText("Print");
  BitBtn6->setText("Save log");
  BitBtn5->setText("Clear log");
}

void TForm1::closeEvent(QCloseEvent* e) {
  if (!closed_) {
    closed_ = true;
    FormClose();
  }
  e->accept();
}

}  // namespace orvio
