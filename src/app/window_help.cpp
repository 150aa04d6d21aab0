// What the window tells about itself: the tooltips of the controls that have no caption of their
// own, and the keyboard shortcuts with the list Help shows. Each is one table here.
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/tform1.h"

namespace orvio {

void TForm1::ApplyToolTips() {
  const struct {
    QWidget* control;
    const char* tip;
  } tips[] = {
      // Serial port settings
      {Combo_com2_name,
       "Serial port: COM1 to COM20 (COM1 is /dev/ttyS0), a device path, or a name "
       "in /dev such as ttyUSB0"},
      {Combo_com2_speed, "Baud rate of the serial port"},
      {Combo_com2_parity, "Parity of the serial port"},
      {Combo_com2_stop, "Stop bits of the serial port"},
      {Edit_lanxp_ip, "IP address of the gateway for Modbus TCP"},
      {Edit_lanxp_port, "TCP port of the gateway for Modbus TCP (usually 502)"},
      {Edit_eth_timeout, "How long a TCP connection attempt may take, in tens of milliseconds"},
      // Register reading
      {EditInputAddress, "First register to read"},
      {EditInputCount, "How many registers to read (at most 125)"},
      {gridInputRegisters, "The registers read: one row per register, high and low byte"},
      {ProgressBar1, "Progress of the running operation"},
      {EditTimeoutModbus,
       "How long a request waits at most for the gateway's answer, in milliseconds"},
      {CheckFinishEarly,
       "Checked: a Modbus request's wait ends as soon as its whole answer is in (by its length "
       "and checksum over RTU, its length and transaction id over TCP). Unchecked: every wait "
       "runs the whole time-out, as the first versions did. The scan time of the M-Bus tunnel "
       "is always waited in full."},
      {EditAddressModbus, "Modbus address of the gateway every request goes to"},
      {Edit_auto, "Seconds between two automatic reads"},
      // Commands
      {editTimeouts,
       "The time to write, in tenths of a second: between two readings or the wait "
       "for a meter's answer, as checked below"},
      {Combo_baud, "Baud rate to write into the gateway, for the port checked beside"},
      {Combo_parity, "Parity to write into the gateway, for the port checked beside"},
      {Edit_address, "The gateway's new Modbus address"},
      {editReadoutMinutes, "How often the gateway reads its meters, in minutes"},
      // TCP settings
      {Combo_tcpCommand, "Which of the gateway's IP settings to program"},
      {Edit_ip, "The IP address to program into the gateway"},
      {Edit_tcpPort, "The TCP port the gateway listens on"},
      {Edit_id, "The gateway's serial number"},
      // Quick read/write
      {gridLoops,
       "The meters on the M-Bus line: double-click a row for its records, right-click "
       "for reading, address and medium changes and the table's files"},
      {editAddressFrom, "First primary address to scan"},
      {editAddressTo, "Last primary address to scan"},
      {Edit_timeout, "How long the scan waits for each meter's answer, in milliseconds"},
      {Edit_retry, "How often the scan asks a silent address again"},
      {editID, "Meter ID to find: its eight digits, or FFFFFFFF to search for every meter"},
      {Edit1, "New primary address for the selected meter"},
      {Edit_valuePulses, "Counter value to write into the selected meter"},
      {BitBtn15, "Copy the M-Bus device table into the activated devices"},
      {GridDevices, "The devices activated in the gateway: right-click to activate or delete"},
      {GridFullTelegram, "The records of the last decoded telegram"},
      {Memo_export, "The lines of the last table file"},
      // Trace and custom command
      {Memo_current, "Trace of every request, answer and message"},
      {Edit_command, "Command to send: hex bytes or ASCII text, as checked beside (Enter sends)"},
  };
  for (const auto& t : tips) t.control->setToolTip(t.tip);
}

void TForm1::InstallShortcuts() {
  // The desktops' usual keys where there are such (open, save, find, quit, help); function keys
  // for the frequent requests; none that an edit or a grid takes for itself. Written out, as a
  // platform without a binding for a standard key would leave it empty.
  shortcuts_ = {
      {"Open or close the serial port", QKeySequence("Ctrl+Shift+O"), Butt_open_port2},
      {"Connect TCP", QKeySequence("Ctrl+T"), Butt_connect_xport},
      {"Disconnect TCP", QKeySequence("Ctrl+Shift+T"), BitBtn24},
      {"Read registers", QKeySequence(Qt::Key_F5), BitBtn3},
      {"Read Status of ZELK-64", QKeySequence(Qt::Key_F6), BitBtn18},
      {"Scan mbus", QKeySequence(Qt::Key_F7), BitBtn1},
      {"STOP (scan, search, setting all addresses)", QKeySequence("Shift+F7"), BitBtn2},
      {"Find by ID", QKeySequence("Ctrl+F"), BitBtn21},
      {"Read the selected meter", QKeySequence("Ctrl+R"), nullptr, Read1},
      {"Read modbus devices", QKeySequence(Qt::Key_F8), buttonReadModbus},
      {"Clear log", QKeySequence("Ctrl+L"), BitBtn5},
      {"Save log", QKeySequence("Ctrl+Shift+S"), BitBtn6},
      {"Settings page", QKeySequence("Ctrl+1"), nullptr, nullptr, TabSheet2},
      {"Quick read/write page", QKeySequence("Ctrl+2"), nullptr, nullptr, TabSheet1},
      {"Open mbus file", QKeySequence("Ctrl+O"), nullptr, Open1},
      {"Save mbus file", QKeySequence("Ctrl+S"), nullptr, Save1},
      {"Exit", QKeySequence("Ctrl+Q"), nullptr, Exit1},
      {"User manual", QKeySequence(Qt::Key_F1), nullptr, Usermanual1},
  };
  const QList<QAction*> menuBarItems = {Open1, Save1, Exit1, Usermanual1};
  for (WindowShortcut& s : shortcuts_) {
    const QString keys = s.keys.toString(QKeySequence::NativeText);
    if (s.action && menuBarItems.contains(s.action)) {
      // A menu bar item carries its keys itself, and its menu shows them.
      s.action->setShortcut(s.keys);
      s.installed = s.action;
      continue;
    }
    s.installed = new QAction(s.what, this);
    s.installed->setShortcut(s.keys);
    addAction(s.installed);
    QAbstractButton* button = s.button;
    QAction* action = s.action;
    QWidget* page = s.page;
    connect(s.installed, &QAction::triggered, this, [this, button, action, page] {
      if (button) {
        // A disabled button (held by a running operation) ignores its keys as it ignores clicks.
        if (!button->isEnabled()) return;
        for (QWidget* p : {TabSheet1, TabSheet2})
          if (p->isAncestorOf(button)) PageControl1->setCurrentWidget(p);
        button->click();
      }
      if (action) action->trigger();
      if (page) PageControl1->setCurrentWidget(page);
    });
    // What the keys do rather than the caption, which may change ("Disconnect").
    if (button) button->setToolTip(QString("%1 (%2)").arg(s.what, keys));
  }
}

void TForm1::KeyboardShortcuts1Click() {
  if (!ShortcutsDialog) {
    ShortcutsDialog = new QDialog(this);
    ShortcutsDialog->setObjectName("ShortcutsDialog");
    ShortcutsDialog->setWindowTitle("Keyboard shortcuts");
    auto* list = new QTableWidget(static_cast<int>(shortcuts_.size()), 2);
    list->setObjectName("ShortcutList");
    list->setHorizontalHeaderLabels({"Action", "Keys"});
    list->verticalHeader()->setVisible(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < list->rowCount(); ++row) {
      const WindowShortcut& s = shortcuts_[static_cast<size_t>(row)];
      list->setItem(row, 0, new QTableWidgetItem(s.what));
      list->setItem(row, 1, new QTableWidgetItem(s.keys.toString(QKeySequence::NativeText)));
    }
    list->resizeColumnsToContents();
    list->resizeRowsToContents();
    list->horizontalHeader()->setStretchLastSection(true);
    // The dialog opens as large as the whole list (as far as the screen allows).
    list->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, ShortcutsDialog, &QDialog::hide);
    auto* v = new QVBoxLayout(ShortcutsDialog);
    v->addWidget(list);
    v->addWidget(buttons);
    ShortcutsDialog->adjustSize();
  }
  ShortcutsDialog->show();
  ShortcutsDialog->raise();
  ShortcutsDialog->activateWindow();
}

}  // namespace orvio
