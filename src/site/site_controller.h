// The window's site files (File menu): "Save site..." reads the gateway and writes what a site
// file keeps of it, "Compare with site..." reads it and shows what differs from a file, "Restore
// site..." writes a file into it and compares again, "Commissioning report..." writes the PDF
// and CSV a customer is handed. The jobs are the engine's (SiteRead, SiteRestore); they wait on
// TimerSite, show their progress as the job "Site" and end with STOP.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/site/site_file.h"
#include "engine/exchange.h"
#include "engine/site_jobs.h"
#include "engine/wait_timer.h"

class QAction;
class QDialog;
class QLabel;
class QTableWidget;

namespace orvio {

class TForm1;

// What the technician types for a site: asked once per save or report.
struct SiteDetails {
  QString name;
  QString notes;
  QString technician;
};

class SiteController : public QObject {
  Q_OBJECT
 public:
  explicit SiteController(TForm1& form);
  ~SiteController() override;

  // The File menu's items, after the menu's own.
  QAction* SaveSite1 = nullptr;
  QAction* CompareWithSite1 = nullptr;
  QAction* RestoreSite1 = nullptr;
  QAction* CommissioningReport1 = nullptr;
  DTimer* TimerSite = nullptr;  // the jobs' wait for each answer

  void SaveSiteClick();
  void CompareWithSiteClick();
  void RestoreSiteClick();
  void CommissioningReportClick();
  // STOP: the running job ends; nothing is written.
  void Stop();
  bool Running() const;

  // The technician's name, kept in the settings.
  QString Technician() const { return technician_; }
  void SetTechnician(const QString& name);

  // Tests answer the details dialog here (false: cancelled).
  std::function<bool(SiteDetails& details)> askDetails;
  // The compare view shown last (null before the first).
  QDialog* CompareView() const { return compareView_; }
  QTableWidget* CompareTable() const { return compareTable_; }
  QLabel* CompareSummary() const { return compareSummary_; }

 signals:
  // A job has ended (written, shown, refused or stopped).
  void Ended();

 private:
  bool AskDetails(SiteDetails& details);
  std::optional<site::Site> OpenSiteFile(const QString& caption, QString* path);
  // Reads the gateway; `done` gets the site as read (settings read, devices) unless stopped or
  // silent (then the job ends with a message).
  void ReadGateway(const QString& what, std::function<void(site::Site)> done);
  // What the technician typed, the date and version, the written settings from the Commands and
  // network controls, the meters of the M-Bus table with their last telegrams.
  void Complete(site::Site& site, const SiteDetails& details) const;
  QString AskSavePath(const QString& caption, const QString& proposed, const QString& filter,
                      const QString& suffix);
  void Finish();
  void ShowCompare(const QString& title, const site::Site& file, const site::Site& gateway,
                   const QStringList& notes);
  void WriteReport(site::Site site);
  void Message(const QString& text, bool error);

  TForm1& form_;
  std::unique_ptr<Exchange> answer_;
  std::unique_ptr<SiteRead> read_;
  std::unique_ptr<SiteRestore> restore_;
  QString technician_;
  bool running_ = false;
  QDialog* compareView_ = nullptr;
  QTableWidget* compareTable_ = nullptr;
  QLabel* compareSummary_ = nullptr;
};

}  // namespace orvio
