// Secondary address search: "Find by ID" and the worker that runs selections by secondary
// address through the tunnel registers (exact read, wildcard search, change of a primary
// address by secondary address).
#include "network/secondary_search.h"

#include <QCoreApplication>
#include <QDate>
#include <QEventLoop>
#include <QLocale>
#include <QSemaphore>
#include <exception>
#include <memory>
#include <mutex>

#include "app/tform1.h"
#include "core/gateway/register_map.h"
#include "core/mbus/requests.h"
#include "core/tables/meter_table.h"
#include "engine/tunnel.h"
#include "mbus/decode_window.h"

namespace orvio {

namespace {

// The worker waits one step short of the scan time, in steps of this size.
constexpr int kWaitStepMs = 10;

uint8_t Unit(const TForm1& f) { return static_cast<uint8_t>(f.UDmodbusAddress->Position()); }

// Sends an M-Bus telegram through the tunnel. Nothing goes out without a link, nor once STOP was
// pressed (a send the worker queued before STOP reached this thread would otherwise still go
// out); the deselection that closes a run is the exception, so that no meter stays selected.
void SendWorkerTelegram(TForm1& f, const ByteString& telegram, bool evenAfterStop = false) {
  if (!f.LinkOpen() || (f.search.StopRequested && !evenAfterStop)) return;
  f.SendTunnelTelegram(telegram);
}

}  // namespace

// ---- the worker ----

SecondaryIDThread::SecondaryIDThread(TForm1& form, QObject* parent)
    : QThread(parent), form_(form) {}

bool SecondaryIDThread::OnUi(const std::function<void(TForm1&)>& f) {
  // The call's state outlives this frame: a call given up while the window closes may still be
  // taken from the queue later, and must then do nothing.
  struct Call {
    QSemaphore served;
    std::mutex running;
    bool abandoned = false;
    std::exception_ptr error;
  };
  auto call = std::make_shared<Call>();
  TForm1* form = &form_;
  QMetaObject::invokeMethod(
      form,
      [call, &f, form] {
        std::lock_guard<std::mutex> lock(call->running);
        if (call->abandoned) return;
        try {
          f(*form);
        } catch (...) {
          call->error = std::current_exception();
        }
        call->served.release();
      },
      Qt::QueuedConnection);
  while (!call->served.tryAcquire(1, kWaitStepMs)) {
    if (!form_.search.Closing) continue;
    // The window is closing and waits for this thread to end: nothing more is served.
    std::lock_guard<std::mutex> lock(call->running);
    if (call->served.tryAcquire()) break;
    call->abandoned = true;
    return false;
  }
  if (call->error) std::rethrow_exception(call->error);
  return true;
}

void SecondaryIDThread::PostUi(std::function<void(TForm1&)> f) {
  TForm1* form = &form_;
  QMetaObject::invokeMethod(
      form,
      [form, f = std::move(f)] {
        try {
          f(*form);
        } catch (...) {  // nothing to report it to: the worker has moved on
        }
      },
      Qt::QueuedConnection);
}

void SecondaryIDThread::Memo(const std::string& line) {
  PostUi([line](TForm1& f) { f.MemoAdd(line); });
}

bool SecondaryIDThread::StopRequested() const { return form_.search.StopRequested; }

void SecondaryIDThread::ReceiveReset() {
  PostUi([](TForm1& f) { f.ClearBuffersAndPurge(); });
}

void SecondaryIDThread::SendReadRequest(uint8_t address) {
  OnUi([address](TForm1& f) {
    SendWorkerTelegram(f, ReqUd2Frame(address, f.Check_5B->isChecked()));
  });
}

void SecondaryIDThread::SendSelection(const SearchDigitArray& digits) {
  const ByteString telegram = SelectionTelegram(digits);
  OnUi([&telegram](TForm1& f) {
    try {
      SendWorkerTelegram(f, telegram);
    } catch (const std::exception& e) {
      f.MemoAdd(search_text::kWriteException + std::string(e.what()));
    }
  });
}

void SecondaryIDThread::SendDeselect(uint8_t address) {
  OnUi([address](TForm1& f) { SendWorkerTelegram(f, SndNkeFrame(address), true); });
}

void SecondaryIDThread::SendSetAddress(uint8_t address, uint8_t newAddress) {
  OnUi([&](TForm1& f) { SendWorkerTelegram(f, SetAddressTelegram(address, newAddress)); });
}

void SecondaryIDThread::LogChecking(const SearchDigitArray& digits) { Memo(CheckingLine(digits)); }

progress::Waits SecondaryIDThread::Waits() const {
  return {progress::WorkerWaitMs(settings_.scanTimeMs, kWaitStepMs), 0, settings_.retrySetting,
          settings_.answerWaitMs};
}

void SecondaryIDThread::PostProgress(const progress::Report& report) {
  PostUi([report](TForm1& f) { f.ReportProgress(Job::Search, report); });
}

void SecondaryIDThread::ReportSearch(const SearchDigitArray& digits) {
  PostProgress(progress::SearchReport(digits, Waits(), selections_, found_, waitsSinceReport_,
                                      answerWaitsSinceReport_));
  waitsSinceReport_ = answerWaitsSinceReport_ = 0;
}

// One tunnel transaction, the same as a scan's (src/engine/tunnel.h), run on the user-interface
// thread while this thread waits for its end. Every wait lasts the worker's scan time; the waits
// for an answer end early when finishing early is on. Once STOP is seen nothing more is asked.
void SecondaryIDThread::WaitAndFetch() {
  QSemaphore ended;
  TunnelResult result;
  result.end = TunnelResult::End::kStopped;
  const int waitMs = progress::WorkerWaitMs(settings_.scanTimeMs, kWaitStepMs);
  const bool begun = OnUi([&](TForm1& f) {
    if (f.search.StopRequested) {
      ended.release();
      return;
    }
    TunnelSetup setup;
    setup.unit = Unit(f);
    setup.scanWaitMs = setup.answerWaitMs = waitMs;
    setup.trace = TunnelTrace::kTaken;
    setup.sendOnlyWithLink = true;
    f.Tunnel->Begin(setup, [&](const TunnelResult& r) {
      result = r;
      ended.release();
    });
  });
  if (!begun) return;  // the window closes; a transaction begun was ended by its close
  ended.acquire();
  ++waitsSinceReport_;
  switch (result.end) {
    case TunnelResult::End::kStopped: return;
    case TunnelResult::End::kNoStatus: answerWaitsSinceReport_ += 1; return;
    case TunnelResult::End::kNoAnswer: answerWaitsSinceReport_ += 2; return;
    case TunnelResult::End::kAnswer: answerWaitsSinceReport_ += 2; break;
  }
  OnUi([this, &result](TForm1& f) {
    WorkerAnswer = ExtractTunnelledTelegram(
        f, result.answer, 2 * static_cast<size_t>(result.registerCount), RawAnswer::kKeep);
  });
}

bool SecondaryIDThread::ReadSelectedMeter() {
  try {
    ReceiveReset();
    WorkerAnswer.clear();
    SendReadRequest(kSelectedMeterAddress);
    WaitAndFetch();
  } catch (...) {
    Memo(search_text::kUnknownException1004);
  }
  if (WorkerAnswer.empty()) return false;
  bool valid = false;
  OnUi([this, &valid](TForm1& f) {
    try {
      valid = f.DecodeTelegram(WorkerAnswer, /*matchRowsById=*/true);
    } catch (...) {
      f.MemoAdd(QString(search_text::kUnknownException1003));
    }
  });
  return valid;
}

bool SecondaryIDThread::SelectAttempt(const SearchDigitArray& digits) {
  ++selections_;
  ReceiveReset();
  WorkerAnswer.clear();
  try {
    SendSelection(digits);
    WaitAndFetch();
  } catch (...) {
    Memo(search_text::kUnknownException1001);
    form_.search.StopRequested = true;
    return false;
  }
  return !WorkerAnswer.empty();
}

SearchSteps SecondaryIDThread::Steps() {
  return {
      [this] { return StopRequested(); },
      [this](const SearchDigitArray& d) {
        SearchDigits = d;
        LogChecking(d);
        ReportSearch(d);
      },
      [this](const SearchDigitArray& d) { return SelectAttempt(d); },
      [this] {
        const bool valid = ReadSelectedMeter();
        found_ += valid ? 1 : 0;
        return valid;
      },
  };
}

bool SecondaryIDThread::SelectWithRepeats() {
  for (int retry = 0; retry <= settings_.retrySetting; ++retry) {
    ReceiveReset();
    WorkerAnswer.clear();
    SendSelection(SearchDigits);
    WaitAndFetch();
    if (StopRequested()) return false;
    if (!WorkerAnswer.empty()) return true;
  }
  return false;
}

void SecondaryIDThread::ExactRun() {
  const auto digits = SearchDigitsFromId(settings_.id);
  if (!digits) return;
  SearchDigits = *digits;
  PostProgress(progress::ExactSearchReport(settings_.id, Waits()));
  if (SelectWithRepeats()) ReadSelectedMeter();  // its result is not needed here
  SendDeselect(kSelectedMeterAddress);
}

void SecondaryIDThread::WildcardRun() {
  WildcardSearch(startPosition_, settings_.retrySetting, Steps());
}

void SecondaryIDThread::ChangeAddressRun() {
  const auto digits = SearchDigitsFromId(settings_.changeId);
  if (!digits) return;  // no meter ID in the row: nothing to select
  SearchDigits = *digits;
  const auto newAddress = static_cast<uint8_t>(settings_.newAddress);
  bool changed = false;
  if (SelectWithRepeats()) {
    SendSetAddress(kSelectedMeterAddress, newAddress);
    WaitAndFetch();
    changed = true;
  }
  if (changed) {
    PostUi([](TForm1& f) { f.ClearBuffers(); });
    WorkerAnswer.clear();
    SendDeselect(kSelectedMeterAddress);
    WaitAndFetch();
  }
  if (StopRequested()) return;
  WorkerAnswer.clear();
  PostUi([](TForm1& f) { f.ClearBuffers(); });
  if (changed) {
    SendReadRequest(newAddress);
    WaitAndFetch();
    if (StopRequested()) return;
  }
  if (WorkerAnswer.empty()) return;
  OnUi([this](TForm1& f) { f.DecodeTelegram(WorkerAnswer, /*matchRowsById=*/true); });
}

void SecondaryIDThread::EndSection() {
  PostUi([](TForm1& f) {
    f.StopTunnel();
    f.EndOperation(Op::Search);
    f.ClearBuffersAndPurge();
    f.MemoAdd(QString(search_text::kTerminated));
    f.search.SecondarySearchRunning = false;
  });
}

void SecondaryIDThread::run() {
  startPosition_ = 1;
  selections_ = found_ = waitsSinceReport_ = answerWaitsSinceReport_ = 0;
  try {
    ReceiveReset();
    WorkerAnswer.clear();
    if (!StopRequested()) {
      if (settings_.changeAddress) {
        ChangeAddressRun();
        PostUi([](TForm1& f) { f.search.ChangeAddressRequested = false; });
      } else if (settings_.id != kWildcardIdText) {
        ExactRun();
      } else {
        WildcardRun();
      }
    }
  } catch (...) {
    // No exception may leave the thread: the end section has to run whatever happened.
    Memo(search_text::kUnknownException1001);
  }
  form_.search.StopRequested = true;
  // The run ends once its last telegram (the deselection) has left the serial port.
  while (form_.link.Transmitting() && !form_.search.Closing) msleep(1);
  EndSection();
}

// ---- the window's side ----

void TForm1::PrepareSecondaryWorker() {
  // Created idle; a search starts it (and every later search makes a new one).
  if (!search.SecondaryWorker) search.SecondaryWorker = new SecondaryIDThread(*this, this);
}

bool TForm1::StartSecondaryIDThread() {
  if (search.SecondarySearchRunning) return false;
  auto* worker = qobject_cast<SecondaryIDThread*>(search.SecondaryWorker.data());
  // The worker made at start-up serves the first run; every later run gets a new one (a worker
  // that ended deletes itself).
  if (worker == nullptr || worker->isRunning() || worker->isFinished()) {
    worker = new SecondaryIDThread(*this);
    search.SecondaryWorker = worker;
  }
  SecondarySearchSettings s;
  s.scanTimeMs = UD_timeout->Position();
  s.retrySetting = UD_retry->Position();
  s.id = editID->text().toStdString();
  s.newAddress = UD_address->Position();
  if (link.FinishEarly()) s.answerWaitMs = AnswerWaitMs(s.scanTimeMs);
  s.changeAddress = search.ChangeAddressRequested;
  const int row = SelectedMbusRow();
  if (row >= 1 && row < gridLoops->RowCount()) s.changeId = gridLoops->Cell(0, row);
  worker->Configure(s);
  // A running thread must not be deleted with the window: it deletes itself once it has ended,
  // and shutdown waits for that.
  worker->setParent(nullptr);
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
  search.SecondarySearchRunning = true;
  worker->start();
  return true;
}

void TForm1::StopSecondaryIDThread() {
  if (!search.SecondaryWorker || !search.SecondaryWorker->isRunning()) return;
  search.StopRequested = true;
  // The worker stops asking this thread for anything and ends within one of its wait steps; the
  // transaction it may have begun ends here.
  search.Closing = true;
  Tunnel->Stop();
  search.SecondaryWorker->wait();
}

void TForm1::PrepareChangeAddressRun() {
  search.ChangeAddressRequested = true;
  search.StopRequested = false;
}

void TForm1::RequestSearchStop() {
  search.StopRequested = true;
  EndOperation(Op::Search);
}

void TForm1::BitBtn21Click() {
  if (!CheckLink()) return;
  // A scan, a one-meter request or a search still winding down after STOP holds the tunnel.
  if (TunnelBusy()) return;
  const std::string id = editID->text().toStdString();
  if (id == kWildcardIdText &&
      Box(this, meter_text::kClearCaption, meter_text::kClearQuestion, QMessageBox::Warning,
          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
    Butt_clear_gridClick();
  }
  if (ClassifyIdText(id) == IdRequest::kWrong) {
    MemoAdd(QString(search_text::kWrongId));
    return;
  }
  MemoAdd(QString(search_text::kStartedAt) +
          QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) +
          QStringLiteral(",") + LongTimeText());
  search.ChangeAddressRequested = false;
  search.StopRequested = false;
  if (UD_retry->Position() < 1) UD_retry->SetPosition(1);
  BeginOperation(Op::Search);
  StartSecondaryIDThread();
}

}  // namespace orvio
