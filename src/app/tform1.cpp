// Construction of the main window: controls, captions, limits, filters, menus, timers, wiring.
#include "app/tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "app/locations.h"
#include "app/tfabout.h"
#include "core/gateway/configuration.h"
#include "core/settings/control_ranges.h"
#include "mbus/record_view.h"

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
  Timer_free_command = new DTimer(this, 5);
  Timer_modbus = new DTimer(this);
  Timer_auto = new DTimer(this);
  Timer_status = new DTimer(this);
  TimerReadDevices = new DTimer(this);
  Timer_mbus = new DTimer(this);
  Timer_mbusRespond = new DTimer(this);
  Timer_activateAll = new DTimer(this);
  Timer_changePrimaryAll = new DTimer(this);

  BuildWindow();
  BuildMenus();
  InstallFilters();
  CoupleCheckBoxes();
  WireHandlers();
  MeterRecordViews = new RecordViews(*this);
  resize(1180, 860);
}

TForm1::~TForm1() = default;

void TForm1::BuildWindow() {
  auto* central = new QWidget;
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(4, 4, 4, 4);
  auto* split = new QSplitter(Qt::Vertical);
  v->addWidget(split, 1);

  PageControl1 = new QTabWidget;
  TabSheet2 = new QWidget;
  TabSheet1 = new QWidget;
  PageControl1->addTab(TabSheet2, "   Settings     ");
  PageControl1->addTab(TabSheet1, "   Quick read/write   ");
  split->addWidget(PageControl1);

  Memo_current = new QPlainTextEdit;
  Memo_current->setObjectName("Memo_current");
  Memo_current->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo_current->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo_current->setUndoRedoEnabled(false);
  Memo_current->setMaximumBlockCount(0);
  Memo_current->viewport()->installEventFilter(this);
  split->addWidget(Memo_current);
  split->setStretchFactor(0, 4);
  split->setStretchFactor(1, 1);

  // Custom-command strip.
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
  v->addLayout(strip);
  setCentralWidget(central);

  StatusBar1 = new QStatusBar;
  const int widths[4] = {200, 200, 300, 50};
  for (int i = 0; i < 4; ++i) {
    StatusPanels[i] = new QLabel;
    StatusPanels[i]->setMinimumWidth(widths[i]);
    StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar1->addWidget(StatusPanels[i], i == 3 ? 1 : 0);
  }
  setStatusBar(StatusBar1);

  // ---- Settings page ----
  auto* settings = new QGridLayout(TabSheet2);

  GroupBox2 = new QGroupBox("   Serial port settings   ");
  {
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
  }
  settings->addWidget(GroupBox2, 0, 0);

  // Register reading.
  auto* regBox = new QWidget;
  {
    EditInputAddress = E("1", 5);
    EditInputCount = E("125", 3);
    checkInput = C("Input", true);
    checkHolding = C("Holding");
    BitBtn3 = B("Read registers");
    gridInputRegisters = new StringGrid(6, 2, 1);
    gridInputRegisters->setObjectName("gridInputRegisters");
    ProgressBar1 = new QProgressBar;
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setVisible(false);
    UD_modbusTimeout = EditTimeoutModbus = RangeUpDown(control_range::kModbusTimeout, 50, 50, true);
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
    g->addLayout(Row({L("Timeout, ms"), EditTimeoutModbus, L("Address"), EditAddressModbus,
                      BitBtn4, BitBtn8}));
    g->addLayout(Row({CheckBox1, Edit_auto, L("s"), BitBtn18}));
  }
  settings->addWidget(regBox, 0, 1, 2, 1);

  GroupBox3 = new QGroupBox("   Commands   ");
  {
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
  }
  settings->addWidget(GroupBox3, 1, 0);

  GroupBox1 = new QGroupBox("   TCP settings   ");
  {
    Combo_tcpCommand = Combo({"IP address", "Gateway", "Mask", "Control IP #1", "Control IP #2",
                              "Operator IP #1", "Operator IP #2", "Operator IP #3",
                              "Operator IP #4", "Net number (optional)"},
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
  }
  settings->addWidget(GroupBox1, 2, 0, 1, 2);
  settings->setColumnStretch(1, 1);

  // ---- Quick read/write page ----
  auto* quick = new QVBoxLayout(TabSheet1);
  gridLoops = new StringGrid(8, 2, 1);
  gridLoops->setObjectName("gridLoops");
  gridLoops->setSelectionBehavior(QAbstractItemView::SelectRows);
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
  GridDevices = new StringGrid(15, 2, 1);
  GridDevices->setObjectName("GridDevices");
  GridDevices->setSelectionBehavior(QAbstractItemView::SelectRows);
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
  BitBtn15->setToolTip("Copy the M-Bus device table into the activated devices");
  Check_5B = C("0x5B");
  Check_53 = C("0x53");
  Check_53->setVisible(false);
  Edit_valuePulses = E("0", 8);
  Check_valueHex = C("Hex", true);
  Check_valueBCD = C("BCD");
  Button4 = B("Set new value");
  GridFullTelegram = new StringGrid(7, 1, 0);
  GridFullTelegram->setVisible(false);
  Memo_export = new QPlainTextEdit;
  Memo_export->setVisible(false);

  quick->addWidget(L("M-bus devices "));
  quick->addWidget(gridLoops, 3);
  quick->addLayout(Row({L("From:"), editAddressFrom, L("to"), editAddressTo, L("Scan time,"),
                        Edit_timeout, L("in ms"), L("Retry"), Edit_retry, L("times"), BitBtn1,
                        BitBtn2, BitBtn13, BitBtn16, Butt_import, Butt_save_data, Butt_load_data,
                        Butt_clear_grid}));
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
  for (QWidget* w : {static_cast<QWidget*>(Combo_com2_speed), static_cast<QWidget*>(Combo_com2_stop),
                     static_cast<QWidget*>(Edit_lanxp_port), static_cast<QWidget*>(EditInputAddress),
                     static_cast<QWidget*>(EditInputCount), static_cast<QWidget*>(EditTimeoutModbus),
                     static_cast<QWidget*>(EditAddressModbus),
                     static_cast<QWidget*>(editReadoutMinutes), static_cast<QWidget*>(editTimeouts),
                     static_cast<QWidget*>(Edit_address), static_cast<QWidget*>(Edit_tcpPort),
                     static_cast<QWidget*>(Edit_id), static_cast<QWidget*>(Edit_timeout),
                     static_cast<QWidget*>(editAddressFrom), static_cast<QWidget*>(editAddressTo),
                     static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit_valuePulses)})
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

void TForm1::WireHandlers() {
  auto click = [this](QPushButton* b, void (TForm1::*h)()) {
    connect(b, &QPushButton::clicked, this, h);
  };
  auto menu = [this](QAction* a, void (TForm1::*h)()) { connect(a, &QAction::triggered, this, h); };
  auto box = [this](QCheckBox* c, void (TForm1::*h)()) {
    connect(c, &QCheckBox::clicked, this, h);
  };

  click(Butt_open_port2, &TForm1::Butt_open_port2Click);
  click(Butt_connect_xport, &TForm1::Butt_connect_xportClick);
  click(BitBtn24, &TForm1::BitBtn24Click);
  connect(Comm2, &SerialLink::RxChar, this, &TForm1::Comm2RxChar);
  connect(Comm2, &SerialLink::Lost, this, &TForm1::SerialPortLost);
  connect(Xport_socket, &QTcpSocket::connected, this, &TForm1::Xport_socketConnect);
  connect(Xport_socket, &QTcpSocket::disconnected, this, &TForm1::Xport_socketDisconnect);
  connect(Xport_socket, &QTcpSocket::readyRead, this, &TForm1::Xport_socketRead);
  connect(Xport_socket, &QTcpSocket::errorOccurred, this, &TForm1::Xport_socketError);

  click(BitBtn3, &TForm1::BitBtn3Click);
  click(BitBtn4, &TForm1::BitBtn4Click);
  click(BitBtn8, &TForm1::BitBtn8Click);
  box(CheckBox1, &TForm1::CheckBox1Click);
  connect(Edit_auto, &QSpinBox::valueChanged, this, &TForm1::Edit_autoChange);
  box(checkInput, &TForm1::checkInputClick);
  box(checkHolding, &TForm1::checkHoldingClick);
  click(Butt_command_send, &TForm1::Butt_command_sendClick);
  connect(Edit_command, &QLineEdit::returnPressed, this, &TForm1::Butt_command_sendClick);
  box(Check_ascii, &TForm1::Check_asciiClick);
  box(Check_hex, &TForm1::Check_hexClick);
  click(BitBtn5, &TForm1::BitBtn5Click);
  click(BitBtn6, &TForm1::BitBtn6Click);

  click(BitBtn9, &TForm1::BitBtn9Click);
  click(BitBtn10, &TForm1::BitBtn10Click);
  click(BitBtn11, &TForm1::BitBtn11Click);
  click(BitBtn12, &TForm1::BitBtn12Click);
  click(BitBtn17, &TForm1::BitBtn17Click);
  click(BitBtn20, &TForm1::BitBtn20Click);
  click(BitBtn25, &TForm1::BitBtn25Click);
  box(checkBetween, &TForm1::checkBetweenClick);
  box(checkRespond, &TForm1::checkRespondClick);
  box(check5B, &TForm1::check5BClick);
  box(checkNKE, &TForm1::checkNKEClick);
  box(checkStopMbus, &TForm1::checkStopMbusClick);
  box(checkSort, &TForm1::checkSortClick);
  box(checkDHCP, &TForm1::checkDHCPClick);
  box(checkReset, &TForm1::checkResetClick);
  click(BitBtn18, &TForm1::BitBtn18Click);
  click(Button1, &TForm1::Button1Click);
  click(Button2, &TForm1::Button2Click);
  click(Button3, &TForm1::Button3Click);
  click(Button4, &TForm1::Button4Click);

  click(buttonReadModbus, &TForm1::buttonReadModbusClick);
  connect(GridDevices, &StringGrid::MouseDown, this, &TForm1::GridDevicesMouseDown);
  connect(GridDevices, &StringGrid::MouseUp, this, &TForm1::GridDevicesMouseUp);
  connect(GridDevices, &StringGrid::DoubleClicked, this, &TForm1::GridDevicesDblClick);
  connect(GridDevices, &QTableWidget::currentCellChanged, this,
          [this](int row, int col, int, int) { GridDevicesSelectCell(col, row); });
  click(BitBtn13, &TForm1::BitBtn13Click);
  menu(Activate1, &TForm1::Activate1Click);
  menu(ActivateAllinTable1, &TForm1::ActivateAllinTable1Click);
  menu(Removefromtable2, &TForm1::Removefromtable2Click);
  menu(Delete1, &TForm1::Delete1Click);
  menu(DeleteAll1, &TForm1::DeleteAll1Click);
  menu(Exclude2inputs1, &TForm1::Exclude2inputs1Click);
  box(checkActivate, &TForm1::checkActivateClick);
  box(checkDelete, &TForm1::checkDeleteClick);
  box(checkdeactivateInputs, &TForm1::checkdeactivateInputsClick);
  click(BitBtn14, &TForm1::BitBtn14Click);
  click(BitBtn19, &TForm1::BitBtn19Click);
  click(BitBtn15, &TForm1::BitBtn15Click);
  click(Butt_activateAll, &TForm1::Butt_activateAllClick);

  click(BitBtn1, &TForm1::BitBtn1Click);
  click(BitBtn2, &TForm1::BitBtn2Click);
  connect(gridLoops, &StringGrid::MouseDown, this, &TForm1::gridLoopsMouseDown);
  connect(gridLoops, &StringGrid::MouseUp, this, &TForm1::gridLoopsMouseUp);
  connect(gridLoops, &QTableWidget::currentCellChanged, this,
          [this](int row, int col, int, int) { gridLoopsSelectCell(col, row); });
  menu(Read1, &TForm1::Read1Click);
  menu(Removefromtable1, &TForm1::Removefromtable1Click);
  menu(ChangePrAddr1, &TForm1::ChangePrAddr1Click);
  menu(SetallPrimaryaddresses1, &TForm1::SetallPrimaryaddresses1Click);
  menu(Oil1, &TForm1::Oil1Click);
  menu(HotWater1, &TForm1::HotWater1Click);
  menu(ColdWater1, &TForm1::ColdWater1Click);
  menu(Electricity1, &TForm1::Electricity1Click);
  menu(Heat1, &TForm1::Heat1Click);
  menu(Gas1, &TForm1::Gas1Click);
  menu(NA1, &TForm1::NA1Click);
  menu(Cleartable1, &TForm1::Cleartable1Click);
  menu(Loadfile1, &TForm1::Loadfile1Click);
  menu(Savefile1, &TForm1::Savefile1Click);
  menu(Open1, &TForm1::Open1Click);
  menu(Save1, &TForm1::Save1Click);
  menu(Exit1, &TForm1::Exit1Click);
  menu(English1, &TForm1::English1Click);
  menu(About1, &TForm1::About1Click);
  menu(Usermanual1, &TForm1::Usermanual1Click);
  click(BitBtn16, &TForm1::BitBtn16Click);
  click(Butt_import, &TForm1::Butt_importClick);
  click(Butt_save_data, &TForm1::Butt_save_dataClick);
  click(Butt_load_data, &TForm1::Butt_load_dataClick);
  click(Butt_clear_grid, &TForm1::Butt_clear_gridClick);
  click(BitBtn21, &TForm1::BitBtn21Click);
  click(BitBtn22, &TForm1::BitBtn22Click);
  click(BitBtn23, &TForm1::BitBtn23Click);
  click(BitBtn26, &TForm1::BitBtn26Click);

  connect(Timer_free_command, &DTimer::Timer, this, &TForm1::Timer_free_commandTimer);
  connect(Timer_modbus, &DTimer::Timer, this, &TForm1::Timer_modbusTimer);
  connect(Timer_auto, &DTimer::Timer, this, &TForm1::Timer_autoTimer);
  connect(Timer_status, &DTimer::Timer, this, &TForm1::Timer_statusTimer);
  connect(TimerReadDevices, &DTimer::Timer, this, &TForm1::TimerReadDevicesTimer);
  connect(Timer_mbus, &DTimer::Timer, this, &TForm1::Timer_mbusTimer);
  connect(Timer_mbusRespond, &DTimer::Timer, this, &TForm1::Timer_mbusRespondTimer);
  connect(Timer_activateAll, &DTimer::Timer, this, &TForm1::Timer_activateAllTimer);
  connect(Timer_changePrimaryAll, &DTimer::Timer, this, &TForm1::Timer_changePrimaryAllTimer);
}

// ---- shared helpers ----

namespace {
constexpr int kMemoFlushMs = 20;  // the longest a trace line waits for the widget
}  // namespace

void TForm1::MemoAdd(const QString& line) {
  // Some messages end in a carriage return of their own ("Error in CRC field\r"). The widget
  // takes a lone CR for a line break, so kept it would add an empty line after the message when
  // it ends a batch and none when it does not; the memo line is the text without it.
  if (line.endsWith(QLatin1Char('\r')))
    memoPending_ << line.chopped(1);
  else
    memoPending_ << line;
  if (!memoFlushQueued_) {
    memoFlushQueued_ = true;
    // Lines written within a short while go to the widget together: every hand-over lays out
    // and repaints the memo, and a busy session writes a line or two per event-loop pass.
    // MemoLines() and the log save take pending lines at once.
    QTimer::singleShot(kMemoFlushMs, this, &TForm1::FlushMemo);
  }
}

void TForm1::MemoAddLines(const std::vector<std::string>& lines) {
  for (const auto& l : lines) MemoAdd(QString::fromStdString(l));
}

void TForm1::FlushMemo() {
  memoFlushQueued_ = false;
  if (memoPending_.isEmpty()) return;
  // One call per batch: laying out each line separately is what makes long sessions slow.
  // The view follows the end while it is there; a user reading further up is not moved.
  const bool atEnd = MemoAtEnd();
  Memo_current->appendPlainText(memoPending_.join('\n'));
  memoPending_.clear();
  if (atEnd)
    ScrollMemoToEnd();
  else
    memoEndValue_ = -1;
}

bool TForm1::MemoAtEnd() const {
  // Still where the view was last put at the end counts as the end: a line wider than the view
  // brings up the horizontal scroll bar, which lowers the view by a line and so raises the
  // maximum without the user scrolling anywhere.
  const QScrollBar* bar = Memo_current->verticalScrollBar();
  return bar->value() >= bar->maximum() || bar->value() == memoEndValue_;
}

void TForm1::ScrollMemoToEnd() {
  QTextCursor end(Memo_current->document());
  end.movePosition(QTextCursor::End);
  Memo_current->setTextCursor(end);
  Memo_current->ensureCursorVisible();
  QScrollBar* bar = Memo_current->verticalScrollBar();
  bar->setValue(bar->maximum());
  memoEndValue_ = bar->value();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // The memo's view changes height (the horizontal scroll bar comes or goes, the window or the
  // splitter is resized): a view at the end stays at the end once the memo has laid itself out.
  if (watched == Memo_current->viewport() && event->type() == QEvent::Resize && MemoAtEnd())
    QTimer::singleShot(0, this, [this] {
      if (memoPending_.isEmpty()) ScrollMemoToEnd();
    });
  return QMainWindow::eventFilter(watched, event);
}

QStringList TForm1::MemoLines() {
  FlushMemo();
  QString text = Memo_current->toPlainText();
  if (text.isEmpty()) return {};
  return text.split('\n');
}

void TForm1::MemoClear() {
  memoPending_.clear();
  Memo_current->clear();
  memoEndValue_ = 0;
}

QMessageBox::StandardButton TForm1::Box(QWidget* owner, const QString& caption, const QString& text,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons) {
  if (seam.messageBox) return seam.messageBox(owner, caption, text, icon, buttons);
  QMessageBox mb(icon, caption, text, buttons, owner);
  if (!owner) mb.setWindowFlag(Qt::WindowStaysOnTopHint);
  return static_cast<QMessageBox::StandardButton>(mb.exec());
}

bool TForm1::CheckLink() {
  if (LinkOpen()) return true;
  MemoAdd(QString(gateway_text::kNoLink));
  return false;
}

void TForm1::ClearBuffers() {
  SerialRxBuffer.clear();
  TcpRxBuffer.clear();
}

void TForm1::ClearBuffersAndPurge() {
  ClearBuffers();
  if (SerialOpen) Comm2->Purge();
}

QString TForm1::Panel(int i) const { return StatusPanels[static_cast<size_t>(i)]->text(); }

void TForm1::SetPanel(int i, const QString& text) {
  StatusPanels[static_cast<size_t>(i)]->setText(text);
}

void TForm1::ApplyHeadersAndCaptions() {
  const char* devices[] = {"ID ",        "Addr ",      "Mfr ",      "Medium ",    "Unit ",
                           "MValue ",    "T1 Value ",  "T2 Value ", "T3 Value ",  "T4 Value ",
                           "Status ",    "Main VIF ",  "Aux VIFs ",
                           "Tarriff Start1/2/3/4-End1/2/3/4 ", "Flow (25th reg.) "};
  for (int c = 0; c < 15; ++c) GridDevices->SetCellText(c, 0, devices[c]);
  const char* loops[] = {"ID ", "Addr ", "Mfr ", "Value ", "Unit ", "Medium ", "Status ", "Time "};
  for (int c = 0; c < 8; ++c) gridLoops->SetCellText(c, 0, loops[c]);
  const char* regs[] = {"Addr. modbus", "High ", "Notes/Decode ", "Low ", "Notes/Decode ", "Time "};
  for (int c = 0; c < 6; ++c) gridInputRegisters->SetCellText(c, 0, regs[c]);
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
