// The main window: owns every control, the links, the timers, the grids and the trace memo, and
// the state of each subsystem in one group per subsystem. Handlers carry the names of the controls
// they serve; each subsystem implements its handlers in its own file(s), named at its group
// below, and reaches another subsystem through that subsystem's named methods, never through its
// fields. The groups are public because the window tests inspect them.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>
#include <QTcpSocket>
#include <QThread>
#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/operations.h"
#include "app/progress_widget.h"
#include "app/trace_memo.h"
#include "app/widgets.h"
#include "core/bytes.h"
#include "core/modbus/answer.h"
#include "core/modbus/frames.h"
#include "engine/exchange.h"
#include "engine/gateway_jobs.h"
#include "engine/link.h"
#include "engine/serial_link.h"
#include "engine/tcp_end_watch.h"
#include "engine/trace.h"
#include "engine/tunnel.h"

class QDialog;
class QGroupBox;
class QSplitter;

namespace orvio {

class RecordViews;
class SiteController;
class TFAbout;
class ManualWindow;
struct GatewayRequest;

// The one seam through which the window asks the user: tests replace these to answer boxes and
// file dialogs without a modal loop.
struct UiSeam {
  // Message box; returns the button pressed.
  std::function<QMessageBox::StandardButton(QWidget* owner, const QString& caption,
                                            const QString& text, QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons)>
      messageBox;
  // The same with the box's informative text (empty when it has none). When it is not set, every
  // box goes to messageBox, without its informative text.
  std::function<QMessageBox::StandardButton(
      QWidget* owner, const QString& caption, const QString& text, const QString& informative,
      QMessageBox::Icon icon, QMessageBox::StandardButtons buttons)>
      messageBoxInformative;
  // Save and open file dialogs; return the chosen path or "" when cancelled.
  std::function<QString(QWidget* owner, const QString& caption, const QString& dir,
                        const QString& proposedName, const QString& filter,
                        const QString& defaultSuffix)>
      saveFile;
  std::function<QString(QWidget* owner, const QString& caption, const QString& dir,
                        const QString& filter)>
      openFile;
  // Opens a document with the desktop's viewer; returns whether the desktop took it.
  std::function<bool(const QString& path)> openDocument;
  // The computer's local clock (tests inject a known time).
  std::function<std::tm()> localNow;
};

// ---- state, one group per subsystem ----

// Gateway configuration and status: src/gateway/config_commands.cpp, network_settings.cpp,
// status_readout.cpp, gateway_requests.cpp.
struct GatewayState {
  // A configuration command's (or the real-address listing's) answer is awaited.
  bool CommandPending = false;
  uint8_t StatusStep = 15;
};

// Device map and activation: src/gateway/device_map.cpp (readback, Timer_free_command's
// collector, GridDevices selection), src/gateway/activation.cpp.
struct DeviceMapState {
  int DeviceRecordSize = 28;
  int ActiveDeviceCount = 0;  // 1 bits of the 256-bit bitmap; a byte would wrap all-set to 0
  int DeviceRecordIndex = 0;  // an 8-bit index would wrap past 255 records and never end
  bool VersionReadPending = false;
  bool DeviceListPending = false;
  int SelectedDeviceRow = 0;
  int SelectedDeviceAddress = -1;
  std::array<bool, 251> RowMarks{};      // rows 1..250
  bool DeviceGridDoubleClicked = false;  // the next mouse-up marks every row
  int ActivateRow = 0;                   // Activate All: row being activated
  int ActivateRetries = 0;               // Activate All: failed attempts at ActivateRow
  int ActivatedCount = 0;                // Activate All: rows activated so far
};

// Tunnel with scan and one-meter read: src/network/scan.cpp, src/network/device_read.cpp,
// src/mbus/decode_window.cpp (the tunnelled answer's decode).
struct TunnelState {
  bool ScanActive = false;
  bool AttemptFailed = false;
  bool SingleReadActive = false;
  int SelectedMbusAddress = 0;
  int SelectedMbusRow = 0;
  int RetryCount = 0;
  int ScanAddress = 0;  // int, not 8 bits: a scan to 255 ends after 255 instead of wrapping to 0
  int ScanFound = 0;    // meters the running scan placed in the table
};

// Secondary search: src/network/secondary_search.cpp (the worker and its start and stop).
struct SearchState {
  // Written by STOP and polled by the worker on its own thread.
  std::atomic<bool> StopRequested = false;
  // The window closes: the worker's calls into the user-interface thread are no longer served.
  std::atomic<bool> Closing = false;
  // The next worker run changes a primary address (cleared when that run ends).
  bool ChangeAddressRequested = false;
  // The latest worker: created idle at start-up, one new worker per run, deleted when its run
  // has ended.
  QPointer<QThread> SecondaryWorker;
  // From the start of a run until its end section has taken effect on this thread.
  bool SecondarySearchRunning = false;
};

// Address and medium changes: src/network/address_changes.cpp.
struct ChangeState {
  int ChangeAllRow = 0;  // row of "Set all Primary addresses"; STOP puts it past the end
};

// A keyboard shortcut of the main window: what it does, its keys, and what it sets off: a button
// clicked (its page shown first), a menu item triggered or a page shown.
struct WindowShortcut {
  QString what;
  QKeySequence keys;
  QAbstractButton* button = nullptr;
  QAction* action = nullptr;
  QWidget* page = nullptr;
  QAction* installed = nullptr;  // the action that carries the keys
};

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `appDir` is the executable's folder (settings file, log folder, manual); empty means the
  // folder of the running executable. `settingsPath` empty means <appDir>/<exe base name>.ini.
  explicit TForm1(QString appDir = {}, QString settingsPath = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  UiSeam seam;

  Link link;  // src/engine/link.h (the link in use); src/link: the handlers of each link
  // The window's trace for the engine's jobs: the memo and status panel 2.
  class MemoTrace : public Trace {
   public:
    explicit MemoTrace(TForm1& form) : form_(form) {}
    void Line(const std::string& line) override;
    void CheckState(const std::string& text) override;

   private:
    TForm1& form_;
  };
  MemoTrace trace{*this};
  // The tunnel transaction of scans, one-meter requests and the secondary search, on Timer_mbus
  // and Timer_mbusRespond.
  TunnelTransaction* Tunnel = nullptr;
  // What the answer each answer-collecting timer waits for is for (src/engine/exchange.h): the
  // flags below are the state the window shows, not what a tick dispatches on.
  std::unique_ptr<Exchange> freeCommandAnswer;  // Timer_free_command
  std::unique_ptr<Exchange> modbusAnswer;       // Timer_modbus
  std::unique_ptr<Exchange> statusAnswer;       // Timer_status
  std::unique_ptr<Exchange> recordAnswer;       // TimerReadDevices
  // The status readout (Timer_status) and the device-map readback (Timer_free_command, then
  // TimerReadDevices).
  std::unique_ptr<RequestSequence> statusReadout;
  std::unique_ptr<DeviceMapReadback> deviceMapReadback;
  GatewayState gateway;
  DeviceMapState devices;
  TunnelState tunnel;
  SearchState search;
  ChangeState changes;

  // ---- helpers shared by every subsystem (src/app/tform1.cpp) ----
  // Adds one line to the trace memo (TraceMemo: lines reach the widget together, at most 20 ms
  // after the first of them; MemoLines and FlushMemo take them at once).
  void MemoAdd(const QString& line) { Memo_current->Add(line); }
  void MemoAdd(const std::string& line) { MemoAdd(QString::fromStdString(line)); }
  void MemoAddLines(const std::vector<std::string>& lines) { Memo_current->AddLines(lines); }
  // All memo lines, pending ones included.
  QStringList MemoLines() { return Memo_current->Lines(); }
  void MemoClear() { Memo_current->Clear(); }
  void FlushMemo() { Memo_current->Flush(); }
  // `informative`, when given, is shown below the text (the reason of a failure).
  QMessageBox::StandardButton Box(QWidget* owner, const QString& caption, const QString& text,
                                  QMessageBox::Icon icon = QMessageBox::Warning,
                                  QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                  const QString& informative = QString());
  QString Panel(int i) const;
  void SetPanel(int i, const QString& text);
  const QString& AppDir() const { return appDir_; }
  const QString& SettingsPath() const { return settingsPath_; }
  const QString& SettingsDir() const { return settingsDirValue_; }
  // The folder the CSV dialogs start in: the "Dir" setting when this user may write to it, else
  // the documents, home or temporary folder (src/app/locations.cpp).
  QString DialogDir() const;
  const QString& LogDir() const { return logDir_; }
  const QStringList& ManualCandidates() const { return manualCandidates_; }
  // Runs start-up (restore settings, headers, automatic open). Called by main and by tests.
  void FormCreate();

  // ---- long operations (src/app/operations.cpp) ----
  // A running operation keeps the controls of its row in the operation table disabled; a control
  // is enabled again once no running operation holds it.
  void BeginOperation(Op op);
  void EndOperation(Op op);
  bool OperationRunning(Op op) const { return operations_.Running(op); }
  // Its Started and Ended signals report every operation's start and end.
  const OperationTable& Operations() const { return operations_; }
  // The status bar's view of the long jobs' progress: a job calls this after each step (reports of
  // a job that does not run are dropped).
  void ReportProgress(Job job, const progress::Report& report) { JobProgress->Update(job, report); }
  // What a job expects a Modbus wait of `timeoutMs` to last: the whole time-out with fixed waits,
  // a moment when waits finish early.
  int AnswerWaitMs(int timeoutMs) const;
  // The waits the settings prescribe now (scan time, Modbus wait, retry setting).
  progress::Waits PrescribedWaits() const;
  progress::Waits ActivateAllWaits() const;
  progress::Waits TunnelWaits() const;

  // ---- links (src/link, src/modbus/senders.cpp) ----
  bool LinkOpen() const { return link.Open(); }
  // "Serial or TCP port for modbus is not open..." when no link is open; returns LinkOpen().
  bool CheckLink();
  // Clears both receive buffers.
  void ClearBuffers() { link.Clear(); }
  // Clears both buffers and purges the serial port when it is open.
  void ClearBuffersAndPurge() { link.ClearAndPurge(); }
  // The receive buffer of the link in use, as it arrived (for TCP with its MBAP header).
  const ByteString& RawReceived() const { return link.Received(); }
  void ToggleSerialPort();
  void Butt_open_port2Click();
  void Comm2RxChar(int count);
  // Closes the port after it vanished under us (unplugged converter, closed pseudo-terminal).
  void SerialPortLost(const QString& message);
  void Butt_connect_xportClick();
  void BitBtn24Click();
  void Xport_socketConnect();
  void Xport_socketDisconnect();
  void Xport_socketRead();
  void Xport_socketError(QAbstractSocket::SocketError error);
  // Closes the TCP client on the program's own initiative (shutdown, serial open).
  void CloseTcpLink();
  void SendReadHoldingRegisters(uint8_t slave, uint16_t first, uint16_t count);
  void SendReadInputRegisters(uint8_t slave, uint16_t first, uint16_t count);
  void SendWriteSingleRegister(uint8_t slave, uint16_t reg, uint8_t hi, uint8_t lo);
  void SendWriteMultipleRegisters(uint8_t slave, uint16_t first, const ByteString& data);
  void SendWriteDateTime(uint8_t slave, uint16_t first, int count);
  void SendReadDeviceIdentification(uint8_t slave, uint8_t code);
  // Takes the answer of the link in use (a Modbus TCP answer turned into RTU form).
  ByteString TakeAnswer();
  // ValidateAnswer with its memo line and status panel written; returns the check.
  AnswerCheck ValidateAnswer(const ByteString& answer, CheckForm form = CheckForm::kFull);
  // ReadFirstRegister with the check's texts written.
  FirstRegister ReadFirstRegister(const ByteString& answer, CheckForm form = CheckForm::kFull);

  // ---- start-up, shutdown, language (src/app/startup.cpp) ----
  void ApplyHeadersAndCaptions();
  void FormClose();
  // Closes the window for SIGTERM/SIGINT: nobody is there to answer a box, so a failure to save
  // the settings goes to standard error instead and the program ends.
  void CloseFromSignal();
  void Exit1Click();
  void English1Click();
  void About1Click();
  void Usermanual1Click();

  // ---- tooltips and keyboard shortcuts (src/app/window_help.cpp) ----
  // The window's shortcuts, as installed.
  const std::vector<WindowShortcut>& Shortcuts() const { return shortcuts_; }
  // Help, Keyboard shortcuts: shows the list of shortcuts (not modal).
  void KeyboardShortcuts1Click();

  // ---- register reader, console, log (src/modbus/register_reader.cpp, console.cpp) ----
  void BitBtn3Click();
  void Timer_modbusTimer();
  void Timer_autoTimer();
  void BitBtn4Click();
  void BitBtn8Click();
  void CheckBox1Click();
  void Edit_autoChange();
  void checkInputClick();
  void checkHoldingClick();
  void Butt_command_sendClick();
  void Check_asciiClick();
  void Check_hexClick();
  void BitBtn5Click();
  void BitBtn6Click();
  void ExportGridToCsv(StringGrid* grid, const QString& proposedName);
  // Grid mode writes one row per register from `firstRow`; bitmap mode counts the 1 bits into
  // the device map's ActiveDeviceCount and logs the hex text.
  enum class RegisterTableMode { Grid, Bitmap };
  void DecodeRegisterTable(const ByteString& answer, RegisterTableMode mode, int firstRegister,
                           int firstRow);
  void AddRegisterRow(uint8_t hi, uint8_t lo, int row, int address);

  // ---- gateway configuration and status (src/gateway) ----
  // Sends a gateway request with the sender of its kind to the slave of UDmodbusAddress.
  void SendGatewayRequest(const GatewayRequest& request);
  // Marks a configuration command's answer as awaited (Timer_modbus's next answer is logged, not
  // decoded) and clears both buffers.
  void ExpectCommandAnswer();
  // The real-address listing's answer is awaited (the buffers were cleared before its request).
  void SetCommandPending() { gateway.CommandPending = true; }
  // The awaited command answer has been taken (or another request replaced it).
  void ClearCommandPending() { gateway.CommandPending = false; }
  // A configuration write: ExpectCommandAnswer, send, enable Timer_modbus (whose tick logs the
  // answer and clears the flag).
  // Timer_modbus's answer: the grid is cleared under "Automatic read", the registers decoded when
  // `registers` (a register read's answer, not a command's), the "UNMD:" line added.
  void ModbusAnswer(const ByteString& answer, bool registers);
  // One step of the status readout answered (the step of gateway.StatusStep).
  void StatusStepAnswered(const ByteString& answer);
  void SendConfigurationCommand(const GatewayRequest& request);
  void BitBtn9Click();
  void BitBtn10Click();
  void BitBtn11Click();
  void BitBtn12Click();
  void BitBtn17Click();
  void BitBtn20Click();
  void BitBtn25Click();
  void checkBetweenClick();
  void checkRespondClick();
  void check5BClick();
  void checkNKEClick();
  void checkStopMbusClick();
  void checkSortClick();
  void checkDHCPClick();
  void checkResetClick();
  void BitBtn18Click();
  void Timer_statusTimer();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();

  // ---- device map, activation (src/gateway/device_map.cpp, activation.cpp) ----
  // What Timer_free_command's next tick collects: a console answer or the real-address listing
  // (the readback's first two steps and the activation commands start it themselves).
  enum class FreeCommand { Console, RealAddresses };
  // Sets the flags for `what`, gives Timer_free_command `intervalMs` and starts it for the
  // answer's use.
  void StartFreeCommand(FreeCommand what, int intervalMs);
  void Timer_free_commandTimer();
  void buttonReadModbusClick();
  void TimerReadDevicesTimer();
  // The readback's answers (the job is DeviceMapReadback; the first two arrive on
  // Timer_free_command's tick, the records on TimerReadDevices').
  void DeviceMapVersionStep(int recordSize);
  void DeviceMapBitmapStep(int count);
  void DeviceMapRecordStep(int index, const DeviceRowCells* cells);
  // The count of active devices the bitmap or the status readout gave.
  void SetActiveDeviceCount(int count) { devices.ActiveDeviceCount = count; }
  // Marked rows white on the selection-highlight colour, the others black on white.
  void RepaintDeviceGrid();
  void GridDevicesMouseDown(Qt::MouseButton button, int col, int row, bool ctrl);
  void GridDevicesMouseUp(Qt::MouseButton button, int col, int row, bool ctrl);
  void GridDevicesDblClick();
  void GridDevicesSelectCell(int col, int row);
  void BitBtn13Click();
  void Activate1Click();
  void ActivateAllinTable1Click();
  void Removefromtable2Click();
  void Delete1Click();
  void DeleteAll1Click();
  void Exclude2inputs1Click();
  void checkActivateClick();
  void checkDeleteClick();
  void checkdeactivateInputsClick();
  void BitBtn14Click();
  void BitBtn19Click();
  void BitBtn15Click();
  void Butt_activateAllClick();
  void Timer_activateAllTimer();

  // ---- tunnel, scan, one-meter read, table files (src/network, src/mbus) ----
  void BitBtn1Click();
  void BitBtn2Click();
  void Timer_mbusTimer();
  void Timer_mbusRespondTimer();
  void gridLoopsMouseDown(Qt::MouseButton button, int col, int row, bool ctrl);
  void gridLoopsMouseUp(Qt::MouseButton button, int col, int row, bool ctrl);
  void gridLoopsSelectCell(int col, int row);
  void Read1Click();
  void Removefromtable1Click();
  void Cleartable1Click();
  void Loadfile1Click();
  void Savefile1Click();
  void Open1Click();
  void Save1Click();
  void BitBtn16Click();
  void Butt_importClick();
  void Butt_save_dataClick();
  void Butt_load_dataClick();
  void Butt_clear_gridClick();
  void BitBtn22Click();
  // The real-address listing that runs on Timer_free_command's tick ("Read real addresses").
  void RealAddressListing(const ByteString& answer);
  // Decodes a telegram into the memo, GridFullTelegram and gridLoops; returns success. A
  // secondary-address read matches the table rows by the meter's ID (`matchRowsById`).
  bool DecodeTelegram(const ByteString& telegram, bool matchRowsById = false);
  // Tunnel transaction: writes an M-Bus telegram to the tunnel block of unit UDmodbusAddress.
  void SendTunnelTelegram(const ByteString& telegram);
  // After SendTunnelTelegram: the rest of the transaction for a scan or a one-meter request,
  // with the waits Timer_mbus and Timer_mbusRespond were set to; its end runs the outcome step.
  void BeginTunnelTransaction();
  void TunnelTransactionEnded(const TunnelResult& result);
  // A scan, a one-meter request or a secondary search holds the tunnel.
  bool TunnelBusy() const;
  // Ends the tunnel's timers and the scan (STOP, end of a secondary-search run).
  void StopTunnel();
  // Whether SelectedMbusAddress is a primary address a request can carry (one byte); writes
  // "Not a valid device selected..." when it is not.
  bool CheckSelectedMbusAddress();
  // One-meter request (read, medium change, counter value): sends `telegram` through the tunnel
  // and arms Timer_mbus; a failed attempt is repeated as a read of SelectedMbusAddress.
  void StartSingleMeterRequest(const ByteString& telegram);
  // The selected row of gridLoops (table row) and its meter's primary address.
  int SelectedMbusRow() const { return tunnel.SelectedMbusRow; }
  void SetSelectedMbusRow(int row) { tunnel.SelectedMbusRow = row; }
  int SelectedMbusAddress() const { return tunnel.SelectedMbusAddress; }

  // ---- secondary search (src/network/secondary_search.cpp) ----
  void BitBtn21Click();
  // Start-up: the first worker, idle.
  void PrepareSecondaryWorker();
  // Starts a worker run with the flags as set (ChangeAddressRequested, StopRequested cleared by
  // the caller); false, starting nothing, while the previous run has not ended.
  bool StartSecondaryIDThread();
  // Shutdown: asks the running worker to stop and processes events until it has ended.
  void StopSecondaryIDThread();
  // STOP: the running worker ends at its next step; its buttons come back at once.
  void RequestSearchStop();
  bool SearchRunning() const { return search.SecondarySearchRunning; }
  bool SearchStopRequested() const { return search.StopRequested; }
  // The next run changes the primary address of the selected row's meter.
  void PrepareChangeAddressRun();

  // ---- address and medium changes (src/network/address_changes.cpp) ----
  void ChangePrAddr1Click();
  void SetallPrimaryaddresses1Click();
  void BitBtn23Click();
  void BitBtn26Click();
  void Timer_changePrimaryAllTimer();
  // STOP: "Set all Primary addresses" ends after the running worker.
  void StopSetAll();
  void Oil1Click();
  void HotWater1Click();
  void ColdWater1Click();
  void Electricity1Click();
  void Heat1Click();
  void Gas1Click();
  void NA1Click();

  // ---- controls tests drive (and the handlers of other subsystems reach) ----
  QTabWidget* PageControl1;
  QWidget* TabSheet1;        // "Quick read/write"
  QWidget* TabSheet2;        // "Settings"
  QSplitter* TraceSplitter;  // the pages above, the trace memo below
  TraceMemo* Memo_current;
  QLabel* Label4;
  QLineEdit* Edit_command;
  QCheckBox* Check_ascii;
  QCheckBox* Check_hex;
  QPushButton* Butt_command_send;
  QPushButton* BitBtn5;
  QPushButton* BitBtn6;
  std::array<QLabel*, 4> StatusPanels{};
  ProgressWidget* JobProgress = nullptr;  // permanent widget of the status bar

  // The Settings page's groups (the documentation's screenshots)
  QGroupBox* GroupBox2;  // "Serial port settings"
  QGroupBox* GroupBox3;  // "Commands"
  QGroupBox* GroupBox1;  // "TCP settings"

  // Serial port and TCP link
  QComboBox* Combo_com2_name;
  QComboBox* Combo_com2_speed;
  QComboBox* Combo_com2_parity;
  QComboBox* Combo_com2_stop;
  QPushButton* Butt_open_port2;
  QCheckBox* CB_open_port2;
  // Beside the Modbus time-out: a Modbus wait ends once its answer is complete (else it always
  // runs the whole time-out). Public for the tests that run a job in both wait modes.
  QCheckBox* CheckFinishEarly;
  QLineEdit* Edit_lanxp_ip;
  QLineEdit* Edit_lanxp_port;
  UpDown* UD_eth_timeout;
  QPushButton* Butt_connect_xport;

  // Register reading
  QLineEdit* EditInputAddress;
  QLineEdit* EditInputCount;
  QCheckBox* checkInput;
  QCheckBox* checkHolding;
  QPushButton* BitBtn3;
  StringGrid* gridInputRegisters;
  UpDown* UD_modbusTimeout;
  UpDown* UDmodbusAddress;
  QPushButton* BitBtn4;
  QPushButton* BitBtn8;
  QCheckBox* CheckBox1;
  UpDown* UD_auto;
  UpDown* Edit_auto;

  // Commands group
  UpDown* UD_variousTimes;
  QCheckBox* checkBetween;
  QCheckBox* checkRespond;
  QComboBox* Combo_baud;
  QComboBox* Combo_parity;
  QCheckBox* checkFPbaud;
  QCheckBox* checkModbusPort;
  QLineEdit* Edit_address;
  UpDown* UDminutes;
  QCheckBox* check5B;
  QCheckBox* checkNKE;
  QCheckBox* checkStopMbus;
  QCheckBox* check01;
  QCheckBox* checkSort;
  QCheckBox* checkDHCP;
  QCheckBox* checkReset;
  QCheckBox* Check_realValues;
  QCheckBox* Check_generalValues;

  // TCP settings group
  QComboBox* Combo_tcpCommand;
  QLineEdit* Edit_ip;
  QLineEdit* Edit_tcpPort;
  QLineEdit* Edit_id;

  // Quick read/write page
  StringGrid* gridLoops;
  UpDown* UDaddressFrom;
  UpDown* UDaddressTo;
  UpDown* UD_timeout;
  UpDown* UD_retry;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QPushButton* Butt_save_data;
  QPushButton* Butt_clear_grid;
  QLineEdit* editID;
  QPushButton* BitBtn21;
  QPushButton* BitBtn22;
  UpDown* UD_address;
  QPushButton* BitBtn23;
  QPushButton* BitBtn26;
  QLabel* Label16;
  StringGrid* GridDevices;
  QLabel* Label11;
  QPushButton* buttonReadModbus;
  QPushButton* BitBtn19;
  QPushButton* Butt_activateAll;
  QCheckBox* checkActivate;
  QCheckBox* checkDelete;
  QCheckBox* checkdeactivateInputs;
  QCheckBox* Check_5B;
  QLineEdit* Edit_valuePulses;
  QCheckBox* Check_valueHex;
  QCheckBox* Check_valueBCD;
  QPushButton* Button4;
  StringGrid* GridFullTelegram;
  QPlainTextEdit* Memo_export;

  // Menus
  QMenu* ContextMbusMenu;
  QMenu* ContextModbusMenu;
  QAction* Save1;
  QAction* English1;
  QAction* Cleartable1;
  QAction* Savefile1;
  QAction* KeyboardShortcuts1;  // Help, "Keyboard shortcuts"
  QDialog* ShortcutsDialog = nullptr;

  // Links and timers
  SerialLink* Comm2;
  DTimer* Timer_free_command;
  DTimer* Timer_modbus;
  DTimer* Timer_auto;
  DTimer* Timer_status;
  DTimer* TimerReadDevices;
  DTimer* Timer_mbus;
  DTimer* Timer_mbusRespond;
  DTimer* Timer_activateAll;
  DTimer* Timer_changePrimaryAll;

  TFAbout* FAbout = nullptr;
  // The manual in Orvio's own window, made when the desktop cannot open the PDF.
  QPointer<ManualWindow> ManualView;
  // The meters' record views and the last telegram of every gridLoops row (src/mbus/record_view).
  RecordViews* MeterRecordViews = nullptr;
  SiteController* Sites = nullptr;  // src/site: the File menu's site files

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  // Window building (src/app/tform1.cpp, one function per page and group).
  void BuildWindow();
  void BuildCommandStrip(QLayout* into);
  void BuildStatusBar();
  QWidget* BuildSerialGroup();
  QWidget* BuildRegisterReader();
  QWidget* BuildCommandsGroup();
  QWidget* BuildTcpGroup();
  void BuildSettingsPage();
  void BuildMbusTable();
  void BuildDeviceTable();
  void BuildQuickPage();
  void BuildMenus();
  void BuildContextMenus();
  void WireHandlers();
  void WireLinks();
  void WireRegisterReader();
  void WireGateway();
  void WireDeviceMap();
  void WireNetwork();
  void WireTimers();
  void InstallFilters();
  void CoupleCheckBoxes();
  void FillOperationTable();  // src/app/operations.cpp
  void ApplyToolTips();       // src/app/window_help.cpp
  void InstallShortcuts();    // src/app/window_help.cpp
  // Sends one request of `kind` with the given protocol data unit over the link in use.
  void SendRequest(RequestKind kind, uint8_t slave, const ByteString& pdu);

  // ---- controls only the window's own code reaches ----
  QPushButton* BitBtn7;
  QStatusBar* StatusBar1;
  UpDown* Edit_eth_timeout;
  QPushButton* BitBtn24;
  QProgressBar* ProgressBar1;
  UpDown* EditTimeoutModbus;
  UpDown* EditAddressModbus;
  QPushButton* BitBtn18;
  QPushButton* BitBtn9;
  UpDown* editTimeouts;
  QPushButton* BitBtn10;
  QPushButton* BitBtn11;
  QPushButton* BitBtn12;
  UpDown* editReadoutMinutes;
  QPushButton* BitBtn17;
  QPushButton* BitBtn20;
  QPushButton* BitBtn25;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  UpDown* editAddressFrom;
  UpDown* editAddressTo;
  UpDown* Edit_timeout;
  UpDown* Edit_retry;
  QPushButton* BitBtn13;
  QPushButton* BitBtn16;
  QPushButton* Butt_import;
  QPushButton* Butt_load_data;
  UpDown* Edit1;
  QPushButton* BitBtn14;
  QPushButton* BitBtn15;
  QCheckBox* Check_53;
  QAction* Open1;
  QAction* Exit1;
  QAction* About1;
  QAction* Usermanual1;
  QAction* Read1;
  QAction* Removefromtable1;
  QAction* ChangePrAddr1;
  QAction* SetallPrimaryaddresses1;
  QMenu* ChangeMedium1;
  QAction* Oil1;
  QAction* HotWater1;
  QAction* ColdWater1;
  QAction* Electricity1;
  QAction* Heat1;
  QAction* Gas1;
  QAction* NA1;
  QAction* Loadfile1;
  QAction* Activate1;
  QAction* ActivateAllinTable1;
  QAction* Removefromtable2;
  QAction* Delete1;
  QAction* DeleteAll1;
  QAction* Exclude2inputs1;
  QTcpSocket* Xport_socket;
  TcpEndWatch* XportEnd;  // tells a reset from an orderly close

  OperationTable operations_;
  std::vector<WindowShortcut> shortcuts_;
  QString appDir_;
  QString settingsPath_;
  QString settingsDirValue_;      // "Dir": start folder of the CSV dialogs, written back unchanged
  QString logDir_;                // the folder "Save log" writes log.txt into
  QStringList manualCandidates_;  // where "UsrMan.pdf" is looked for, in order
  bool closing_ = false;
  bool closed_ = false;
  bool closeFromSignal_ = false;
};

// The program's identity for the toolkit, set once after the application object exists: its name
// only. No display name: the platform would append it to every window title and message box
// caption.
void SetApplicationIdentity();

}  // namespace orvio
