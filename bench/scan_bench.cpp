// Long jobs against the waits the settings prescribe, and the progress view's time left against
// the time the job really took. The real main window (offscreen or Xvfb) talks to the simulated
// gateway over loopback TCP with five meters on its line (primary addresses 1..5): a primary
// scan of 1..30 and a wildcard search.
//
// For each job it prints the wall time against the sum of the prescribed waits (the tunnel
// exchanges the simulator logged, each costing the waits its outcome prescribes), and the time
// left the status bar showed at 25, 50 and 75 % of the job against the time that was really left.
// With fixed waits every wait counts; when waits finish early only the scan-time waits do (the
// Modbus waits end with their answers). Targets: wall time within 5 % of the prescribed waits;
// the scan's time left within 10 %.
//
// It also times a register read (F5) from the key press to the rows shown, with the Modbus
// time-out of the run, in each mode.
//
// Usage: bench_scan [scan-time-ms] [modbus-timeout-ms] [retries] [both|early|fixed]
//                   [last-address] [five|demo] [scan-only]
//        (defaults 300 100 1 both 30 five): `demo` keeps the ten meters of the demo line,
//        `scan-only` leaves out the search and the register read.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/tform1.h"
#include "sim/gateway_sim.h"

namespace {

using orvio::Job;
using orvio::TForm1;

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    QThread::msleep(1);
  }
}

// Where the job stood at a quarter, a half and three quarters, and what the view said was left.
struct Checkpoint {
  double at = 0.25;
  double wallMs = -1;
  orvio::progress::Left shown;
};

struct Run {
  double wallMs = 0;
  std::array<Checkpoint, 3> points{Checkpoint{0.25, -1, {}}, Checkpoint{0.5, -1, {}},
                                   Checkpoint{0.75, -1, {}}};
};

// Runs a job to its end, noting the view's time left when its share done first reaches each
// checkpoint. `share` says how much of the job is done (from the view's state).
Run Measure(TForm1& form, Job job, const std::function<void()>& start,
            const std::function<bool()>& ended,
            const std::function<double(const orvio::progress::JobState&)>& share) {
  Run run;
  QElapsedTimer clock;
  clock.start();
  start();
  while (!ended()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    if (const orvio::progress::JobState* s = form.JobProgress->State(job)) {
      for (Checkpoint& c : run.points) {
        if (c.wallMs >= 0 || share(*s) < c.at) continue;
        c.wallMs = static_cast<double>(clock.elapsed());
        c.shown = orvio::progress::JobLeft(*s, form.JobProgress->JobTimeMs(job));
      }
    }
    QThread::usleep(500);
  }
  run.wallMs = static_cast<double>(clock.elapsed());
  return run;
}

// The waits the settings prescribe for the tunnel exchanges the simulator logged: an exchange
// that drew no answer costs `silent`, one that did `answered`.
double PrescribedMs(const orvio::sim::GatewaySim& sim, double silent, double answered) {
  double sum = 0;
  for (const auto& e : sim.TunnelLog()) sum += e.answer.empty() ? silent : answered;
  return sum;
}

void Print(const char* name, const Run& run, double prescribedMs, bool range) {
  std::printf("%s: wall %.0f ms, prescribed waits %.0f ms, %+.2f %% (target within 5 %%)\n", name,
              run.wallMs, prescribedMs, 100.0 * (run.wallMs - prescribedMs) / prescribedMs);
  for (const Checkpoint& c : run.points) {
    if (c.wallMs < 0 || !c.shown.Known()) {
      std::printf("  at %2.0f %%: not reached\n", 100 * c.at);
      continue;
    }
    const double actual = run.wallMs - c.wallMs;
    if (!range) {
      std::printf("  at %2.0f %%: time left shown %.0f ms, really %.0f ms, error %+.2f %%\n",
                  100 * c.at, c.shown.maxMs, actual, 100.0 * (c.shown.maxMs - actual) / actual);
    } else {
      std::printf("  at %2.0f %%: time left shown %.0f .. %.0f ms, really %.0f ms (%s the range)\n",
                  100 * c.at, c.shown.minMs, c.shown.maxMs, actual,
                  actual >= c.shown.minMs && actual <= c.shown.maxMs ? "within" : "outside");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  orvio::SetApplicationIdentity();
  const int scanTime = argc > 1 ? std::atoi(argv[1]) : 300;
  const int modbusTimeout = argc > 2 ? std::atoi(argv[2]) : 100;
  const int retries = argc > 3 ? std::atoi(argv[3]) : 1;
  const std::string mode = argc > 4 ? argv[4] : "both";
  const int lastAddress = argc > 5 ? std::atoi(argv[5]) : 30;
  const bool demoLine = argc > 6 && std::string(argv[6]) == "demo";
  const bool scanOnly = argc > 7 && std::string(argv[7]) == "scan-only";

  orvio::sim::GatewaySim sim;
  if (!demoLine)
    for (const auto& m : sim.Meters())
      if (m.primary_address > 5) sim.RemoveMeter(m.id);
  const int port = sim.StartTcp(0);

  const QString ini = QDir::tempPath() + "/orvio-scan-bench.ini";
  TForm1 form(QDir::tempPath(), ini);
  form.seam.messageBox = [](QWidget*, const QString&, const QString&, QMessageBox::Icon,
                            QMessageBox::StandardButtons) { return QMessageBox::Yes; };
  form.FormCreate();
  form.show();
  form.Edit_lanxp_ip->setText("127.0.0.1");
  form.Edit_lanxp_port->setText(QString::number(port));
  form.UD_eth_timeout->SetPosition(30);
  form.Butt_connect_xportClick();
  for (int i = 0; i < 500 && !form.link.TcpConnected; ++i) Pump(10);
  if (!form.link.TcpConnected) {
    std::fprintf(stderr, "no connection to the simulator\n");
    return 1;
  }
  form.UD_timeout->setMinimum(std::min(scanTime, form.UD_timeout->minimum()));
  form.UD_timeout->SetPosition(scanTime);
  form.UD_modbusTimeout->SetPosition(modbusTimeout);
  std::printf("%zu meters; scan time %d ms, Modbus time-out %d ms, retry setting %d\n",
              sim.Meters().size(), scanTime, modbusTimeout, retries);

  for (const bool early : {true, false}) {
    if ((early && mode == "fixed") || (!early && mode == "early")) continue;
    form.CheckFinishEarly->setChecked(early);
    const double modbus = early ? 0 : modbusTimeout;
    std::printf("%s\n", early ? "waits finish when the answer is complete (FinishEarly=1)"
                              : "fixed waits (FinishEarly=0)");
    form.UD_retry->SetPosition(retries);

    // Primary scan of 1..last: an attempt is the scan time and a Modbus wait, one more when
    // answered.
    form.UDaddressFrom->SetPosition(1);
    form.UDaddressTo->SetPosition(lastAddress);
    sim.ClearTunnelLog();
    const Run scan = Measure(
        form, Job::Scan, [&] { form.BitBtn1Click(); },
        [&] {
          return !form.tunnel.ScanActive && !form.Timer_mbus->Enabled() &&
                 !form.Timer_mbusRespond->Enabled();
        },
        [](const orvio::progress::JobState& s) {
          return s.last.total > 0 ? static_cast<double>(s.last.done) / s.last.total : 0.0;
        });
    const std::string name = "scan 1.." + std::to_string(lastAddress);
    Print(name.c_str(), scan, PrescribedMs(sim, scanTime + modbus, scanTime + 2.0 * modbus), false);
    std::printf("  %.1f min\n", scan.wallMs / 60000.0);
    Pump(200);
    if (scanOnly) continue;

    // Register read, F5 to the rows shown (best and median of 20).
    std::vector<double> reads;
    form.EditInputAddress->setText("100");
    form.EditInputCount->setText("10");
    for (int i = 0; i < 20; ++i) {
      const int rows = form.gridInputRegisters->RowCount();
      QElapsedTimer clock;
      clock.start();
      QTest::keyClick(&form, Qt::Key_F5);
      while (form.gridInputRegisters->RowCount() == rows && clock.elapsed() < 5 * modbusTimeout)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
      reads.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
      Pump(20);
    }
    std::sort(reads.begin(), reads.end());
    std::printf("register read, F5 to rows shown: best %.1f ms, median %.1f ms\n", reads.front(),
                reads[reads.size() / 2]);

    // Wildcard search: the worker's waits last one 10 ms step short of the scan time; two of
    // them for a selection nobody answers, three when answered; only the first when waits
    // finish early.
    const double wait = orvio::progress::WorkerWaitMs(scanTime, 10);
    form.UD_retry->SetPosition(std::max(retries, 1));
    form.editID->setText("FFFFFFFF");
    sim.ClearTunnelLog();
    const Run search = Measure(
        form, Job::Search, [&] { form.BitBtn21Click(); },
        [&] { return !form.search.SecondarySearchRunning; },
        [](const orvio::progress::JobState& s) {
          return s.last.total > 0 ? static_cast<double>(s.last.done) / s.last.total : 0.0;
        });
    Print("wildcard search", search,
          early ? PrescribedMs(sim, wait, wait) : PrescribedMs(sim, 2.0 * wait, 3.0 * wait), true);
    std::printf("  meters in the table: %d\n", form.gridLoops->RowCount() - 2);
    Pump(200);
  }

  form.close();
  QFile::remove(ini);
  return 0;
}
