#include "site/site_controller.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "app/tform1.h"
#include "core/bytes.h"
#include "core/gateway/configuration.h"
#include "core/progress/progress.h"
#include "core/settings/atomic_file.h"
#include "core/tables/meter_telegrams.h"
#include "mbus/record_view.h"
#include "report/commissioning_report.h"

namespace orvio {

namespace {

constexpr char kSiteFilter[] = "Site files (*.site.json);;All files (*)";
constexpr char kSiteSuffix[] = "site.json";
constexpr char kPdfFilter[] = "PDF files (*.pdf)";

std::string Utf8(const QString& text) { return text.toStdString(); }
QString Text(const std::string& text) { return QString::fromStdString(text); }

// A name made fit for a file name: the site's name, or "site".
QString FileBase(const QString& siteName) {
  QString base = siteName.trimmed();
  for (QChar& c : base)
    if (c == '/' || c == '\\' || c == ':' || c.isSpace()) c = '_';
  return base.isEmpty() ? QStringLiteral("site") : base;
}

}  // namespace

SiteController::SiteController(TForm1& form) : QObject(&form), form_(form) {
  TimerSite = new DTimer(this);
  TimerSite->setObjectName("TimerSite");
  TimerSite->WaitOn(&form_.link, DTimer::Ends::kWithAnswer);
  answer_ = std::make_unique<Exchange>(form_.link, *TimerSite, form_.trace);
  connect(TimerSite, &DTimer::Timer, this, [this] { answer_->WaitOver(); });
  const auto send = [this](const GatewayRequest& r) { form_.SendGatewayRequest(r); };
  read_ = std::make_unique<SiteRead>(form_.link, *answer_, send, form_.trace);
  restore_ = std::make_unique<SiteRestore>(form_.link, *answer_, send, form_.trace);

  QMenu* file = form_.menuBar()->actions().first()->menu();
  file->addSeparator();
  SaveSite1 = file->addAction("Save site...");
  CompareWithSite1 = file->addAction("Compare with site...");
  RestoreSite1 = file->addAction("Restore site...");
  CommissioningReport1 = file->addAction("Commissioning report...");
  connect(SaveSite1, &QAction::triggered, this, &SiteController::SaveSiteClick);
  connect(CompareWithSite1, &QAction::triggered, this, &SiteController::CompareWithSiteClick);
  connect(RestoreSite1, &QAction::triggered, this, &SiteController::RestoreSiteClick);
  connect(CommissioningReport1, &QAction::triggered, this,
          &SiteController::CommissioningReportClick);
}

SiteController::~SiteController() = default;

void SiteController::SetTechnician(const QString& name) {
  // One line in the settings file: a line break would start a key of its own.
  technician_ = name;
  technician_.replace(QRegularExpression("[\\r\\n]+"), " ");
}

bool SiteController::Running() const { return running_; }

void SiteController::Message(const QString& text, bool error) {
  form_.Box(&form_, "Site", text, error ? QMessageBox::Critical : QMessageBox::Information);
}

bool SiteController::AskDetails(SiteDetails& details) {
  details.technician = technician_;
  if (askDetails) return askDetails(details);
  QDialog dialog(&form_);
  dialog.setWindowTitle("Site");
  auto* form = new QFormLayout(&dialog);
  auto* name = new QLineEdit(details.name);
  auto* notes = new QPlainTextEdit(details.notes);
  auto* technician = new QLineEdit(details.technician);
  form->addRow("Site:", name);
  form->addRow("Notes:", notes);
  form->addRow("Technician:", technician);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return false;
  details = {name->text(), notes->toPlainText(), technician->text()};
  return true;
}

QString SiteController::AskSavePath(const QString& caption, const QString& proposed,
                                    const QString& filter, const QString& suffix) {
  if (form_.seam.saveFile)
    return form_.seam.saveFile(&form_, caption, form_.DialogDir(), proposed, filter, suffix);
  return QFileDialog::getSaveFileName(&form_, caption, QDir(form_.DialogDir()).filePath(proposed),
                                      filter);
}

std::optional<site::Site> SiteController::OpenSiteFile(const QString& caption, QString* path) {
  *path = form_.seam.openFile
              ? form_.seam.openFile(&form_, caption, form_.DialogDir(), kSiteFilter)
              : QFileDialog::getOpenFileName(&form_, caption, form_.DialogDir(), kSiteFilter);
  if (path->isEmpty()) return std::nullopt;
  QFile file(*path);
  if (!file.open(QIODevice::ReadOnly)) {
    Message(QString("%1 cannot be read: %2").arg(*path, file.errorString()), true);
    return std::nullopt;
  }
  const QByteArray bytes = file.readAll();
  site::Loaded loaded = site::ParseSite(std::string_view(bytes.constData(), bytes.size()));
  if (!loaded.site) {
    Message(QString("%1 cannot be used: %2").arg(*path, Text(loaded.error)), true);
    return std::nullopt;
  }
  return std::move(*loaded.site);
}

void SiteController::ReadGateway(const QString& what, std::function<void(site::Site)> done) {
  running_ = true;
  form_.BeginOperation(Op::Site);
  form_.MemoAdd(what);
  SiteRead::Handlers h;
  h.progress = [this](int doneSteps, int total) {
    form_.ReportProgress(
        Job::Site,
        progress::StepsReport("step", doneSteps, total, form_.AnswerWaitMs(TimerSite->Interval())));
  };
  h.end = [this, done = std::move(done)](site::Site gateway, bool answered) {
    if (!answered) {
      Finish();
      Message("The gateway did not answer: nothing was done.", true);
      return;
    }
    done(std::move(gateway));
  };
  read_->Begin(form_.UD_modbusTimeout->Position(), std::move(h));
}

void SiteController::Finish() {
  running_ = false;
  form_.EndOperation(Op::Site);
  emit Ended();
}

void SiteController::Stop() {
  if (!running_) return;
  read_->Stop();
  restore_->Stop();
  form_.MemoAdd(QStringLiteral("Site job stopped"));
  Finish();
}

void SiteController::Complete(site::Site& s, const SiteDetails& details) const {
  s.name = Utf8(details.name);
  s.notes = Utf8(details.notes);
  s.technician = Utf8(details.technician);
  s.saved = Utf8(QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss"));
  s.orvioVersion = Utf8(QCoreApplication::applicationVersion());
  using site::Source;
  const auto written = [&s](const char* key, const char* name, const QString& value) {
    s.settings.push_back({key, name, Utf8(value), Source::kWritten});
  };
  TForm1& f = form_;
  const QString times = QString::number(f.UD_variousTimes->Position());
  if (f.checkBetween->isChecked()) written("mbus_between_readings", "Between 2 readings", times);
  if (f.checkRespond->isChecked()) written("mbus_wait_respond", "Wait respond for", times);
  written("readout_minutes", "Readout/update time (minutes)",
          QString::number(ReadoutPeriodValue(f.UDminutes->Position()).minutes));
  const QString port = f.Combo_baud->currentText() + " " + f.Combo_parity->currentText();
  if (f.checkFPbaud->isChecked())
    written("mbus_port", "M-Bus port", port);
  else
    written("modbus_port", "Modbus port", port);
  if (NewModbusAddress(Utf8(f.Edit_address->text())).ok())
    written("modbus_address", "New Modbus address", f.Edit_address->text());
  // The flag box checked (at most one), by its caption: "Sort 1".
  for (QCheckBox* box :
       {f.checkNKE, f.check5B, f.checkStopMbus, f.checkSort, f.checkDHCP, f.checkReset})
    if (box->isChecked())
      written("flag", "Flag",
              QString("%1 %2").arg(box->text()).arg(f.check01->isChecked() ? 1 : 0));
  if (f.Check_realValues->isChecked()) written("value_encoding", "Values", "real");
  if (f.Check_generalValues->isChecked()) written("value_encoding", "Values", "general");
  if (ListenPort(Utf8(f.Edit_tcpPort->text())).ok())
    written("listen_port", "Listen port", f.Edit_tcpPort->text());

  const StringGrid& loops = *f.gridLoops;
  for (int row = 1; row < loops.RowCount(); ++row) {
    if (!IsMeterRow(loops, row)) continue;
    site::Meter m;
    std::string* cells[] = {&m.id,   &m.address, &m.manufacturer, &m.value,
                            &m.unit, &m.medium,  &m.status,       &m.time};
    for (int col = 0; col < 8; ++col) *cells[col] = loops.Cell(col, row);  // UTF-8 already
    if (const ByteString* t = f.MeterRecordViews->Telegrams().Find(loops, row))
      m.telegram = HexText(*t);
    s.meters.push_back(std::move(m));
  }
}

// ---- Save site ----

void SiteController::SaveSiteClick() {
  if (running_ || !form_.CheckLink()) return;
  SiteDetails details;
  if (!AskDetails(details)) return;
  SetTechnician(details.technician);
  const QString proposed = FileBase(details.name) + "." + kSiteSuffix;
  const QString path = AskSavePath("Save site", proposed, kSiteFilter, kSiteSuffix);
  if (path.isEmpty()) return;
  ReadGateway("Reading the gateway for the site file...", [this, details, path](site::Site s) {
    Complete(s, details);
    Finish();
    if (!WriteFileAtomically(QFile::encodeName(path).toStdString(), site::SiteJson(s))) {
      Message(
          QString("%1 cannot be written: %2").arg(path, QString::fromLocal8Bit(strerror(errno))),
          true);
      return;
    }
    form_.MemoAdd("Site saved: " + path);
  });
}

// ---- Compare with site ----

void SiteController::CompareWithSiteClick() {
  if (running_ || !form_.CheckLink()) return;
  QString path;
  std::optional<site::Site> file = OpenSiteFile("Compare with site", &path);
  if (!file) return;
  ReadGateway("Reading the gateway to compare it with " + path + "...",
              [this, file = std::move(*file)](site::Site gateway) {
                Finish();
                ShowCompare("Compare with site", file, gateway, {});
              });
}

void SiteController::ShowCompare(const QString& title, const site::Site& file,
                                 const site::Site& gateway, const QStringList& notes) {
  const std::vector<site::Difference> differences = site::Compare(file, gateway);
  if (!compareView_) {
    compareView_ = new QDialog(&form_);
    compareView_->setObjectName("CompareView");
    auto* layout = new QVBoxLayout(compareView_);
    compareSummary_ = new QLabel;
    compareSummary_->setWordWrap(true);
    compareTable_ = new QTableWidget(0, 3);
    compareTable_->setObjectName("CompareTable");
    compareTable_->setHorizontalHeaderLabels({"Setting", "File", "Gateway"});
    // The setting's name whole; file and gateway values share the rest (a long value is cut
    // short in the cell and shown whole in its tooltip).
    compareTable_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    compareTable_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    compareTable_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    compareTable_->setTextElideMode(Qt::ElideMiddle);
    compareTable_->setWordWrap(false);
    compareTable_->setSelectionMode(QAbstractItemView::NoSelection);
    compareTable_->setFocusPolicy(Qt::NoFocus);
    compareTable_->verticalHeader()->hide();
    compareTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(close, &QDialogButtonBox::rejected, compareView_, &QDialog::close);
    layout->addWidget(compareSummary_);
    layout->addWidget(compareTable_, 1);
    layout->addWidget(close);
    compareView_->resize(640, 420);
  }
  compareView_->setWindowTitle(title + " - " + Text(file.name));
  compareTable_->setRowCount(static_cast<int>(differences.size()));
  for (int row = 0; row < static_cast<int>(differences.size()); ++row) {
    const site::Difference& d = differences[static_cast<size_t>(row)];
    const auto shown = [](const std::string& v) { return v.empty() ? QString("(none)") : Text(v); };
    const QString cells[] = {Text(d.name), shown(d.fileValue), shown(d.gatewayValue)};
    for (int col = 0; col < 3; ++col) {
      auto* item = new QTableWidgetItem(cells[col]);
      item->setToolTip(cells[col]);
      compareTable_->setItem(row, col, item);
    }
  }
  QStringList summary = notes;
  summary.prepend(differences.empty()
                      ? QString("The gateway matches the site file \"%1\".").arg(Text(file.name))
                      : QString("%1 setting(s) differ from the site file \"%2\".")
                            .arg(differences.size())
                            .arg(Text(file.name)));
  compareSummary_->setText(summary.join('\n'));
  form_.MemoAdd(summary.first());
  compareView_->show();
  compareView_->raise();
}

// ---- Restore site ----

void SiteController::RestoreSiteClick() {
  if (running_ || !form_.CheckLink()) return;
  QString path;
  std::optional<site::Site> file = OpenSiteFile("Restore site", &path);
  if (!file) return;
  site::RestorePlan plan = site::PlanRestore(*file, form_.UDmodbusAddress->Position());
  const std::optional<int> newUnit = plan.newModbusAddress;
  QStringList lines;
  for (const site::RestoreStep& step : plan.steps) lines << Text(step.name);
  for (const std::string& skipped : plan.skipped) lines << "Not written: " + Text(skipped);
  if (form_.Box(&form_, "Restore site",
                QString("Write the site file \"%1\" into the gateway (%2 requests)?")
                    .arg(Text(file->name))
                    .arg(plan.steps.size()),
                QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                lines.join('\n')) != QMessageBox::Yes)
    return;
  running_ = true;
  form_.BeginOperation(Op::Site);
  form_.MemoAdd("Restoring the site file " + path + "...");
  SiteRestore::Handlers h;
  h.progress = [this](int done, int total) {
    form_.ReportProgress(
        Job::Site,
        progress::StepsReport("request", done, total, form_.AnswerWaitMs(TimerSite->Interval())));
  };
  h.end = [this, file = std::move(*file), newUnit,
           skipped = plan.skipped](std::vector<std::string> refused) {
    QStringList notes;
    for (const std::string& r : refused) notes << "Refused: " + Text(r);
    for (const std::string& s : skipped) notes << "Not written: " + Text(s);
    if (newUnit && *newUnit >= 1) {
      // The gateway answers to its new address from now on.
      form_.UDmodbusAddress->SetPosition(*newUnit);
      notes << QString("The gateway now answers to Modbus address %1.").arg(*newUnit);
    }
    ReadGateway("Reading the gateway to compare it with the site file...",
                [this, file, notes](site::Site gateway) {
                  Finish();
                  ShowCompare("Restore site", file, gateway, notes);
                });
  };
  restore_->Begin(std::move(plan.steps), form_.UD_modbusTimeout->Position(), std::move(h));
}

// ---- Commissioning report ----

void SiteController::CommissioningReportClick() {
  if (running_) return;
  if (!form_.LinkOpen()) {
    // Without a gateway the report is made from a site file.
    QString path;
    std::optional<site::Site> file = OpenSiteFile("Commissioning report from a site file", &path);
    if (file) WriteReport(std::move(*file));
    return;
  }
  SiteDetails details;
  if (!AskDetails(details)) return;
  SetTechnician(details.technician);
  ReadGateway("Reading the gateway for the commissioning report...", [this, details](site::Site s) {
    Complete(s, details);
    Finish();
    WriteReport(std::move(s));
  });
}

void SiteController::WriteReport(site::Site s) {
  const QString proposed = FileBase(Text(s.name)) + "-commissioning.pdf";
  const QString path = AskSavePath("Commissioning report", proposed, kPdfFilter, "pdf");
  if (path.isEmpty()) return;
  QString error;
  if (!WriteCommissioningReport(s, path, &error)) {
    Message(error, true);
    return;
  }
  // The same data as CSV beside the PDF.
  const QFileInfo pdf(path);
  const QString csv = pdf.dir().filePath(pdf.completeBaseName() + ".csv");
  if (!WriteFileAtomically(QFile::encodeName(csv).toStdString(), site::ReportCsv(s))) {
    Message(QString("%1 cannot be written: %2").arg(csv, QString::fromLocal8Bit(strerror(errno))),
            true);
    return;
  }
  form_.MemoAdd("Commissioning report written: " + path + " and " + csv);
}

}  // namespace orvio
