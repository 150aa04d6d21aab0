// The secondary-address search worker: selections by secondary address run through the
// gateway's tunnel registers on a thread of their own, so the window stays live during a search
// that may take minutes.
//
// Everything the worker does to the links, the receive buffers, the memo, the grids and the
// buttons takes effect on the user-interface thread, in the order it was issued: a blocking
// queued call where it needs an answer (sending, taking a buffer, decoding), a queued call
// otherwise. Its tunnel transactions run there too, as a scan's do; the worker waits for their
// end, counts and reads the window's StopRequested.
#pragma once

#include <QThread>
#include <functional>
#include <string>

#include "core/bytes.h"
#include "core/mbus/secondary_search.h"
#include "core/progress/progress.h"

namespace orvio {

class TForm1;

// The controls a run reads, taken on the user-interface thread when it starts.
struct SecondarySearchSettings {
  int scanTimeMs = 1000;       // UD_timeout: every wait of a tunnel transaction
  int retrySetting = 1;        // UD_retry
  std::string id;              // editID: eight digits, or "FFFFFFFF" for the wildcard search
  int newAddress = 1;          // UD_address: the change-address run's new primary address
  bool changeAddress = false;  // ChangeAddressRequested
  std::string changeId;        // ID cell of the row SelectedMbusRow (change-address run)
  int answerWaitMs = -1;  // what a wait for an answer is expected to last (below 0: the scan time)
};

class SecondaryIDThread : public QThread {
  Q_OBJECT

 public:
  explicit SecondaryIDThread(TForm1& form, QObject* parent = nullptr);
  // Takes the settings of the next run; called on the user-interface thread before start().
  void Configure(const SecondarySearchSettings& settings) { settings_ = settings; }

  // The last tunnelled answer fetched by WaitAndFetch (worker thread only).
  ByteString WorkerAnswer;

 protected:
  void run() override;

 private:
  // ---- on the worker's thread ----
  bool StopRequested() const;
  void WaitAndFetch();
  bool ReadSelectedMeter();
  void SendReadRequest(uint8_t address);
  void SendSelection(const SearchDigitArray& digits);
  void SendDeselect(uint8_t address);
  void SendSetAddress(uint8_t address, uint8_t newAddress);
  void LogChecking(const SearchDigitArray& digits);
  // The status bar's progress of "Find by ID": where the search stands before a selection.
  void ReportSearch(const SearchDigitArray& digits);
  void PostProgress(const progress::Report& report);
  // The waits of a run: the worker's own wait for the scan time, the retry setting.
  progress::Waits Waits() const;
  void ReceiveReset();
  // One selection attempt of the search: receive reset, selection, answer fetched; true when
  // anything answered.
  bool SelectAttempt(const SearchDigitArray& digits);
  // Selects SearchDigits with up to retry setting + 1 attempts; true when something answered
  // before STOP.
  bool SelectWithRepeats();
  void ExactRun();
  void WildcardRun();
  void ChangeAddressRun();
  void EndSection();
  SearchSteps Steps();

  // Runs `f` on the user-interface thread and waits until it has run; false (not run) when the
  // window closed meanwhile.
  bool OnUi(const std::function<void(TForm1&)>& f);
  // Queues `f` for the user-interface thread and goes on.
  void PostUi(std::function<void(TForm1&)> f);
  void Memo(const std::string& line);

  TForm1& form_;
  SecondarySearchSettings settings_;
  SearchDigitArray SearchDigits{};
  uint8_t startPosition_ = 1;
  // For the progress view: selections sent, meters read, waits since the last report.
  int selections_ = 0;
  int found_ = 0;
  int waitsSinceReport_ = 0;        // scan-time waits
  int answerWaitsSinceReport_ = 0;  // waits for an answer
};

}  // namespace orvio
