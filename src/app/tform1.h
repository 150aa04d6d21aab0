// The main window: owns every control, both links, the timers, the grids and the trace memo.
// Handlers carry the names of the controls they serve; each subsystem implements its handlers in
// its own file (src/link, src/modbus, src/gateway, src/network, src/mbus).
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
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
#include <string>

#include "app/widgets.h"
#include "core/bytes.h"
#include "core/modbus/answer.h"
#include "core/modbus/frames.h"
#include "link/serial_link.h"
#include "link/tcp_end_watch.h"

class QGroupBox;

namespace orvio {

class RecordViews;
class TFAbout;
struct GatewayRequest;

// The one seam through which the window asks the user: tests replace these to answer boxes and
// file dialogs without a modal loop.
struct UiSeam {
  // Message box; returns the button pressed.
  std::function<QMessageBox::StandardButton(QWidget* owner, const QString& caption,
                                            const QString& text, QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons)>
      messageBox;
  // Save and open file dialogs; return the chosen path or "" when cancelled.
  std::function<QString(QWidget* owner, const QString& caption, const QString& dir,
                        const QString& proposedName, const QString& filter,
                        const QString& defaultSuffix)>
      saveFile;
  std::function<QString(QWidget* owner, const QString& caption, const QString& dir,
                        const QString& filter)>
      openFile;
  // Opens a document with the desktop's viewer.
  std::function<void(const QString& path)> openDocument;
  // The computer's local clock (tests inject a known time).
  std::function<std::tm()> localNow;
};

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `appDir` is the executable's folder (settings file, log folder, manual); empty means the
  // folder of the running executable. `settingsPath` empty means <appDir>/<exe base name>.ini.
  explicit TForm1(QString appDir = {}, QString settingsPath = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  UiSeam seam;

  // ---- helpers shared by every subsystem ----
  // Adds one line to the trace memo. Lines reach the widget together, at most 20 ms after the
  // first of them (MemoLines and FlushMemo take them at once).
  void MemoAdd(const QString& line);
  void MemoAdd(const std::string& line) { MemoAdd(QString::fromStdString(line)); }
  void MemoAddLines(const std::vector<std::string>& lines);
  // All memo lines, pending ones included.
  QStringList MemoLines();
  void MemoClear();
  void FlushMemo();
  QMessageBox::StandardButton Box(QWidget* owner, const QString& caption, const QString& text,
                                  QMessageBox::Icon icon = QMessageBox::Warning,
                                  QMessageBox::StandardButtons buttons = QMessageBox::Ok);
  bool LinkOpen() const { return SerialOpen || TcpConnected; }
  // "Serial or TCP port for modbus is not open..." when no link is open; returns LinkOpen().
  bool CheckLink();
  // Clears both receive buffers.
  void ClearBuffers();
  // Clears both buffers and purges the serial port when it is open.
  void ClearBuffersAndPurge();
  const QString& AppDir() const { return appDir_; }
  const QString& SettingsPath() const { return settingsPath_; }
  const QString& SettingsDir() const { return settingsDirValue_; }
  const QString& LogDir() const { return logDir_; }
  const QStringList& ManualCandidates() const { return manualCandidates_; }
  // Runs start-up (restore settings, headers, automatic open). Called by main and by tests.
  void FormCreate();

  // ---- shared state ----
  bool SerialOpen = false;
  bool TcpConnected = false;
  ByteString SerialRxBuffer;
  ByteString TcpRxBuffer;
  uint16_t TransactionId = 1000;

  // Gateway configuration
  bool CommandPending = false;
  uint8_t StatusStep = 15;

  // Device map
  int DeviceRecordSize = 28;
  int ActiveDeviceCount = 0;  // 1 bits of the 256-bit bitmap; a byte would wrap all-set to 0
  int DeviceRecordIndex = 0;  // an 8-bit index would wrap past 255 records and never end
  bool VersionReadPending = false;
  bool DeviceListPending = false;
  int SelectedDeviceRow = 0;
  int SelectedDeviceAddress = -1;
  std::array<bool, 251> RowMarks{};  // rows 1..250
  bool DeviceGridDoubleClicked = false;  // the next mouse-up marks every row
  int ActivateRow = 0;                   // Activate All: row being activated

  // M-Bus network
  bool ScanActive = false;
  bool MatchRowsById = false;
  bool KeepRawAnswer = false;
  bool AttemptFailed = false;
  bool SingleReadActive = false;
  // Written by STOP and polled by the secondary-search worker on its own thread.
  std::atomic<bool> StopRequested = false;
  int SelectedMbusAddress = 0;
  int SelectedMbusRow = 0;
  int RetryCount = 0;
  int ScanAddress = 0;  // int, not 8 bits: a scan to 255 ends after 255 instead of wrapping to 0
  bool AnswerStage = false;     // false: answer status awaited; true: answer bytes awaited
  int AnswerRegisterCount = 0;  // registers of the tunnel block to read for the answer
  int ChangeAllRow = 0;         // row of "Set all Primary addresses"; STOP puts it past the end
  bool ChangeAddressRequested = false;  // the next worker run changes a primary address

  // ---- controls ----
  QTabWidget* PageControl1;
  QWidget* TabSheet1;  // "Quick read/write"
  QWidget* TabSheet2;  // "Settings"
  QPlainTextEdit* Memo_current;
  QLabel* Label4;
  QLineEdit* Edit_command;
  QCheckBox* Check_ascii;
  QCheckBox* Check_hex;
  QPushButton* Butt_command_send;
  QPushButton* BitBtn5;
  QPushButton* BitBtn6;
  QPushButton* BitBtn7;
  QStatusBar* StatusBar1;
  std::array<QLabel*, 4> StatusPanels{};
  QString Panel(int i) const;
  void SetPanel(int i, const QString& text);

  // Serial port settings group
  QGroupBox* GroupBox2;
  QComboBox* Combo_com2_name;
  QComboBox* Combo_com2_speed;
  QComboBox* Combo_com2_parity;
  QComboBox* Combo_com2_stop;
  QPushButton* Butt_open_port2;
  QCheckBox* CB_open_port2;
  QLineEdit* Edit_lanxp_ip;
  QLineEdit* Edit_lanxp_port;
  UpDown* UD_eth_timeout;
  UpDown* Edit_eth_timeout;
  QPushButton* Butt_connect_xport;
  QPushButton* BitBtn24;

  // Register reading
  QLineEdit* EditInputAddress;
  QLineEdit* EditInputCount;
  QCheckBox* checkInput;
  QCheckBox* checkHolding;
  QPushButton* BitBtn3;
  StringGrid* gridInputRegisters;
  QProgressBar* ProgressBar1;
  UpDown* UD_modbusTimeout;
  UpDown* EditTimeoutModbus;
  UpDown* UDmodbusAddress;
  UpDown* EditAddressModbus;
  QPushButton* BitBtn4;
  QPushButton* BitBtn8;
  QCheckBox* CheckBox1;
  UpDown* UD_auto;
  UpDown* Edit_auto;
  QPushButton* BitBtn18;

  // Commands group
  QGroupBox* GroupBox3;
  QPushButton* BitBtn9;
  UpDown* UD_variousTimes;
  UpDown* editTimeouts;
  QCheckBox* checkBetween;
  QCheckBox* checkRespond;
  QPushButton* BitBtn10;
  QComboBox* Combo_baud;
  QComboBox* Combo_parity;
  QCheckBox* checkFPbaud;
  QCheckBox* checkModbusPort;
  QPushButton* BitBtn11;
  QLineEdit* Edit_address;
  QPushButton* BitBtn12;
  UpDown* UDminutes;
  UpDown* editReadoutMinutes;
  QPushButton* BitBtn17;
  QCheckBox* check5B;
  QCheckBox* checkNKE;
  QCheckBox* checkStopMbus;
  QCheckBox* check01;
  QPushButton* BitBtn20;
  QCheckBox* checkSort;
  QCheckBox* checkDHCP;
  QCheckBox* checkReset;
  QCheckBox* Check_realValues;
  QCheckBox* Check_generalValues;
  QPushButton* BitBtn25;

  // TCP settings group
  QGroupBox* GroupBox1;
  QComboBox* Combo_tcpCommand;
  QLineEdit* Edit_ip;
  QPushButton* Button1;
  QLineEdit* Edit_tcpPort;
  QPushButton* Button2;
  QLineEdit* Edit_id;
  QPushButton* Button3;

  // Quick read/write page
  StringGrid* gridLoops;
  UpDown* UDaddressFrom;
  UpDown* editAddressFrom;
  UpDown* UDaddressTo;
  UpDown* editAddressTo;
  UpDown* UD_timeout;
  UpDown* Edit_timeout;
  UpDown* UD_retry;
  UpDown* Edit_retry;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QPushButton* BitBtn13;
  QPushButton* BitBtn16;
  QPushButton* Butt_import;
  QPushButton* Butt_save_data;
  QPushButton* Butt_load_data;
  QPushButton* Butt_clear_grid;
  QLineEdit* editID;
  QPushButton* BitBtn21;
  QPushButton* BitBtn22;
  UpDown* UD_address;
  UpDown* Edit1;
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
  QPushButton* BitBtn14;
  QPushButton* BitBtn15;
  QCheckBox* Check_5B;
  QCheckBox* Check_53;
  QLineEdit* Edit_valuePulses;
  QCheckBox* Check_valueHex;
  QCheckBox* Check_valueBCD;
  QPushButton* Button4;
  StringGrid* GridFullTelegram;
  QPlainTextEdit* Memo_export;

  // Menus
  QAction* Open1;
  QAction* Save1;
  QAction* Exit1;
  QAction* English1;
  QAction* About1;
  QAction* Usermanual1;
  QMenu* ContextMbusMenu;
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
  QAction* Cleartable1;
  QAction* Loadfile1;
  QAction* Savefile1;
  QMenu* ContextModbusMenu;
  QAction* Activate1;
  QAction* ActivateAllinTable1;
  QAction* Removefromtable2;
  QAction* Delete1;
  QAction* DeleteAll1;
  QAction* Exclude2inputs1;

  // Links and timers
  SerialLink* Comm2;
  QTcpSocket* Xport_socket;
  TcpEndWatch* XportEnd;  // tells a reset from an orderly close
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
  // The meters' record views and the last telegram of every gridLoops row.
  RecordViews* MeterRecordViews = nullptr;

  // ---- start-up, shutdown, language ----
  void ApplyHeadersAndCaptions();
  void FormClose();
  // Closes the window for SIGTERM/SIGINT: nobody is there to answer a box, so a failure to save
  // the settings goes to standard error instead and the program ends.
  void CloseFromSignal();
  void Exit1Click();
  void English1Click();
  void About1Click();
  void Usermanual1Click();

  // ---- serial link ----
  void ToggleSerialPort();
  void Butt_open_port2Click();
  void Comm2RxChar(int count);
  // Closes the port after it vanished under us (unplugged converter, closed pseudo-terminal).
  void SerialPortLost(const QString& message);

  // ---- TCP link ----
  void Butt_connect_xportClick();
  void BitBtn24Click();
  void Xport_socketConnect();
  void Xport_socketDisconnect();
  void Xport_socketRead();
  void Xport_socketError(QAbstractSocket::SocketError error);
  // Closes the TCP client on the program's own initiative (shutdown, serial open).
  void CloseTcpLink();

  // ---- request senders (modbus) ----
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

  // ---- register reader, console, log ----
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
  void Timer_free_commandTimer();
  void BitBtn5Click();
  void BitBtn6Click();
  void ExportGridToCsv(StringGrid* grid, const QString& proposedName);
  // Grid mode writes one row per register from `firstRow`; bitmap mode counts the 1 bits into
  // ActiveDeviceCount and logs the hex text.
  enum class RegisterTableMode { Grid, Bitmap };
  void DecodeRegisterTable(const ByteString& answer, RegisterTableMode mode, int firstRegister,
                           int firstRow);
  void AddRegisterRow(uint8_t hi, uint8_t lo, int row, int address);

  // ---- gateway configuration ----
  // Sends a gateway request with the sender of its kind to the slave of UDmodbusAddress.
  void SendGatewayRequest(const GatewayRequest& request);
  // A configuration write: sets CommandPending, clears both buffers, sends, enables
  // Timer_modbus (whose tick logs the answer and clears the flag).
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

  // ---- device map, activation ----
  void buttonReadModbusClick();
  void TimerReadDevicesTimer();
  // The two steps of the readback that run on Timer_free_command's tick.
  void DeviceMapVersionStep(const ByteString& answer);
  void DeviceMapBitmapStep(const ByteString& answer);
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

  // ---- M-Bus network ----
  void BitBtn1Click();
  void BitBtn2Click();
  void Timer_mbusTimer();
  void Timer_mbusRespondTimer();
  void gridLoopsMouseDown(Qt::MouseButton button, int col, int row, bool ctrl);
  void gridLoopsMouseUp(Qt::MouseButton button, int col, int row, bool ctrl);
  void gridLoopsSelectCell(int col, int row);
  void Read1Click();
  void Removefromtable1Click();
  void ChangePrAddr1Click();
  void SetallPrimaryaddresses1Click();
  void Oil1Click();
  void HotWater1Click();
  void ColdWater1Click();
  void Electricity1Click();
  void Heat1Click();
  void Gas1Click();
  void NA1Click();
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
  void BitBtn21Click();
  void BitBtn22Click();
  // The real-address listing that runs on Timer_free_command's tick ("Read real addresses").
  void RealAddressListing(const ByteString& answer);
  void BitBtn23Click();
  void BitBtn26Click();
  void Timer_changePrimaryAllTimer();
  // Decodes a telegram into the memo, GridFullTelegram and gridLoops; returns success.
  bool DecodeTelegram(const ByteString& telegram);
  // Tunnel transaction: writes an M-Bus telegram to the tunnel block of unit UDmodbusAddress.
  void SendTunnelTelegram(const ByteString& telegram);
  // A scan, a one-meter request or a secondary search holds the tunnel.
  bool TunnelBusy() const;
  // Whether SelectedMbusAddress is a primary address a request can carry (one byte); writes
  // "Not a valid device selected..." when it is not.
  bool CheckSelectedMbusAddress();

  // ---- secondary address search worker (SecondaryIDThread, src/network/secondary_search.h) ----
  // The latest worker: created idle at start-up, one new worker per run, deleted when its run
  // has ended.
  QPointer<QThread> SecondaryWorker;
  // From the start of a run until its end section has taken effect on this thread.
  bool SecondarySearchRunning = false;
  // Starts a worker run with the flags as set (ChangeAddressRequested, StopRequested cleared by
  // the caller); false, starting nothing, while the previous run has not ended.
  bool StartSecondaryIDThread();
  // Shutdown: asks the running worker to stop and processes events until it has ended.
  void StopSecondaryIDThread();
  // One-meter request (read, medium change, counter value): sends `telegram` through the tunnel
  // and arms Timer_mbus; a failed attempt is repeated as a read of SelectedMbusAddress.
  void StartSingleMeterRequest(const ByteString& telegram);

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  void BuildMenus();
  void WireHandlers();
  void InstallFilters();
  // Whether the trace view is at its end (or was put there and not moved since).
  bool MemoAtEnd() const;
  void ScrollMemoToEnd();
  void CoupleCheckBoxes();
  // Sends one request of `kind` with the given protocol data unit over the link in use.
  void SendRequest(RequestKind kind, uint8_t slave, const ByteString& pdu);

  QString appDir_;
  QString settingsPath_;
  QString settingsDirValue_;  // "Dir": start folder of the CSV dialogs, written back unchanged
  QString logDir_;            // the folder "Save log" writes log.txt into
  QStringList manualCandidates_;  // where "UsrMan.pdf" is looked for, in order
  QStringList memoPending_;
  bool memoFlushQueued_ = false;
  // Scroll position at which FlushMemo last put the trace at its end; -1 once the user left it.
  int memoEndValue_ = 0;
  bool closing_ = false;
  bool closed_ = false;
  bool closeFromSignal_ = false;
};

// The program's identity for the toolkit, set once after the application object exists: its name
// only. No display name: the platform would append it to every window title and message box
// caption.
void SetApplicationIdentity();

}  // namespace orvio
