// Start-up, shutdown, the Exit confirmation, the language menu, About and the user manual.
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/manual_window.h"
#include "app/tfabout.h"
#include "app/tform1.h"
#include "core/settings/settings.h"
#include "site/site_controller.h"

namespace orvio {

void SetApplicationIdentity() { QCoreApplication::setApplicationName("Orvio"); }

void TForm1::FormCreate() {
  QDir::setCurrent(appDir_);
  Settings s =
      ReadSettings(settingsPath_.toStdString(), DefaultSettings(settingsDirValue_.toStdString()));
  auto q = [](const std::string& t) { return QString::fromStdString(t); };
  Combo_com2_name->setCurrentText(q(s.portName));
  Combo_com2_speed->setCurrentText(q(s.portSpeed));
  Combo_com2_parity->setCurrentText(q(s.portParity));
  Combo_com2_stop->setCurrentText(q(s.portStopBits));
  CB_open_port2->setChecked(s.autoOpen);
  UD_timeout->SetPosition(s.mbusTimeout);
  UDaddressFrom->SetPosition(s.searchFrom);
  UDaddressTo->SetPosition(s.searchTo);
  UD_retry->SetPosition(s.retry);
  UD_modbusTimeout->SetPosition(s.modbusTimeout);
  CheckFinishEarly->setChecked(s.finishEarly);
  link.SetFinishEarly(s.finishEarly);
  UDmodbusAddress->SetPosition(s.modbusAddress);
  EditInputAddress->setText(q(s.startRegister));
  EditInputCount->setText(q(s.registerCount));
  settingsDirValue_ = q(s.dataDir);
  Edit_lanxp_ip->setText(q(s.tcpIp));
  Edit_lanxp_port->setText(q(s.tcpPort));
  UD_eth_timeout->SetPosition(s.ethTimeout);
  Sites->SetTechnician(QString::fromStdString(s.technician));

  devices.DeviceRecordSize = 28;
  English1->setChecked(true);
  ApplyHeadersAndCaptions();
  Check_hex->setChecked(true);
  if (CB_open_port2->isChecked()) ToggleSerialPort();
  devices.SelectedDeviceAddress = -1;
  devices.RowMarks.fill(false);
  PrepareSecondaryWorker();
  PageControl1->setCurrentWidget(TabSheet2);
}

void TForm1::FormClose() {
  // Before the links close: the worker's last requests still go out or are dropped in order.
  StopSecondaryIDThread();
  QDir::setCurrent(appDir_);
  Settings s;
  auto t = [](const QString& q) { return q.toStdString(); };
  s.portName = t(Combo_com2_name->currentText());
  s.portSpeed = t(Combo_com2_speed->currentText());
  s.portParity = t(Combo_com2_parity->currentText());
  s.portStopBits = t(Combo_com2_stop->currentText());
  s.autoOpen = CB_open_port2->isChecked();
  s.mbusTimeout = UD_timeout->Position();
  s.searchFrom = UDaddressFrom->Position();
  s.searchTo = UDaddressTo->Position();
  s.retry = UD_retry->Position();
  s.modbusTimeout = UD_modbusTimeout->Position();
  s.finishEarly = CheckFinishEarly->isChecked();
  s.modbusAddress = UDmodbusAddress->Position();
  s.startRegister = t(EditInputAddress->text());
  s.registerCount = t(EditInputCount->text());
  s.dataDir = t(settingsDirValue_);
  s.tcpIp = t(Edit_lanxp_ip->text());
  s.tcpPort = t(Edit_lanxp_port->text());
  s.ethTimeout = UD_eth_timeout->Position();
  s.technician = Sites->Technician().toStdString();
  // An installed copy's settings folder (~/.config/orvio) may not exist yet.
  QDir().mkpath(QFileInfo(settingsPath_).absolutePath());
  if (!WriteSettingsFile(settingsPath_.toStdString(), RenderSettings(s))) {
    const int error = errno;
    if (closeFromSignal_)
      std::fprintf(stderr, "%s: %s: %s (%s: %s)\n", qPrintable(QCoreApplication::applicationName()),
                   kSavingSettingsCaption, kSavingSettingsText,
                   QFile::encodeName(settingsPath_).constData(), std::strerror(error));
    else
      Box(nullptr, kSavingSettingsCaption, kSavingSettingsText);
    if (link.SerialOpen) ToggleSerialPort();
  }
  if (link.SerialOpen) ToggleSerialPort();
  if (link.TcpConnected) CloseTcpLink();
  for (DTimer* timer :
       {Timer_free_command, Timer_modbus, Timer_auto, Timer_status, TimerReadDevices, Timer_mbus,
        Timer_mbusRespond, Timer_activateAll, Timer_changePrimaryAll})
    timer->Stop();
}

void TForm1::CloseFromSignal() {
  closeFromSignal_ = true;
  close();
  // A box or dialog open at this moment runs an event loop of its own that would keep the
  // program alive; ending the application ends every loop.
  QCoreApplication::exit(0);
}

void TForm1::Exit1Click() {
  if (Box(this, "Exit Confirmation", "Are you sure you want to exit?", QMessageBox::Warning,
          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
    close();
}

void TForm1::English1Click() {
  English1->setChecked(true);
  ApplyHeadersAndCaptions();
}

void TForm1::About1Click() {
  if (!FAbout) return;
  FAbout->show();
  FAbout->raise();
}

namespace {

constexpr char kManualNotShown[] = "The user manual cannot be shown.";
constexpr char kManualMissing[] = "The manual is not installed";
constexpr char kNoOpener[] = "No program to open documents (xdg-open) is installed";
constexpr char kNoPdfViewer[] = "No PDF viewer is installed";
constexpr char kDesktopRefused[] = "The desktop could not open it";

// Opens `path` with the desktop's viewer when there is one; `why` says why not otherwise.
// (QDesktopServices reports success once xdg-open has started, even when xdg-open then finds no
// viewer and says so on standard error only.)
bool OpenWithDesktop(const QString& path, QString* why) {
  if (QStandardPaths::findExecutable("xdg-open").isEmpty()) {
    *why = kNoOpener;
    return false;
  }
  if (!QStandardPaths::findExecutable("xdg-mime").isEmpty()) {
    QProcess query;
    query.start("xdg-mime", {"query", "default", "application/pdf"});
    if (query.waitForFinished(3000) && query.exitCode() == 0 &&
        query.readAllStandardOutput().trimmed().isEmpty()) {
      *why = kNoPdfViewer;
      return false;
    }
  }
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return true;
  *why = kDesktopRefused;
  return false;
}

}  // namespace

void TForm1::Usermanual1Click() {
  QDir::setCurrent(appDir_);
  // The first manual found; none found opens the one beside the executable, which shows nothing.
  QString path = manualCandidates_.value(0, QDir(appDir_).filePath("UsrMan.pdf"));
  for (const QString& candidate : manualCandidates_)
    if (QFileInfo::exists(candidate)) {
      path = candidate;
      break;
    }
  QString why;
  bool opened = false;
  if (seam.openDocument) {
    opened = seam.openDocument(path);
    if (!opened) why = kDesktopRefused;
  } else if (!QFileInfo::exists(path)) {
    why = kManualMissing;
  } else {
    opened = OpenWithDesktop(path, &why);
  }
  if (opened) return;

  // The desktop cannot show it: the manual's text (UsrMan.md, installed beside the PDF) in a
  // window of Orvio's own, else a box with the reason and where the manual was looked for.
  QStringList texts;
  for (const QString& candidate : QStringList(path) + manualCandidates_) {
    QString text = candidate;
    text.replace(QRegularExpression("\\.pdf$"), ".md");
    if (!texts.contains(text)) texts << text;
  }
  for (const QString& text : texts) {
    if (!QFileInfo::exists(text)) continue;
    if (!ManualView) ManualView = new ManualWindow(this);
    if (!ManualView->Load(text)) continue;
    MemoAdd(why + ": " + path + "; the manual is shown in Orvio's own window.");
    ManualView->show();
    ManualView->raise();
    return;
  }
  MemoAdd(why + ": " + path);
  Box(this, QCoreApplication::applicationName(), kManualNotShown, QMessageBox::Warning,
      QMessageBox::Ok, why + ".\n" + path);
}

}  // namespace orvio
