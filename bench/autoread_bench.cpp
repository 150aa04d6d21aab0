// Unattended automatic read: drives the trace memo and the register grid as Timer_auto and
// Timer_modbus do for one read per second, faster than real time, on a shown main window, and
// prints the resident memory at the start and its growth over the simulated hours. Not a test.
//
//   bench_autoread [--hours H] [--visible-lines N]
//     H default 24; N the lines the memo widget holds (default the program's; 0: every line, as
//     the memo did before it spooled). QT_QPA_PLATFORM=offscreen or Xvfb.
//
// Target: the growth over 24 hours stays under 30 MB, and "Save log" still writes every line.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/tform1.h"
#include "core/bytes.h"
#include "shown_window.h"

namespace {

double RssMb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  double hours = 24;
  int visible = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--hours")) hours = std::atof(argv[i + 1]);
    if (!std::strcmp(argv[i], "--visible-lines")) visible = std::atoi(argv[i + 1]);
  }
  const long reads = static_cast<long>(hours * 3600);

  QTemporaryDir dir;
  orvio::TForm1 form(dir.path(), dir.path() + "/orvio.ini");
  orvio::bench::ShowForBenchmark(app, form);
  if (visible >= 0) form.Memo_current->SetVisibleLines(visible);
  form.CheckBox1->setChecked(true);    // "Automatic read": each answer replaces the grid's rows
  form.Timer_auto->SetEnabled(false);  // the loop below is the timer

  // Two input registers from 100 of slave 1, as the simulator answers them.
  const orvio::ByteString answer = *orvio::ParseHexBytes("01 04 04 00 0A 01 FF 9A 56");
  const auto read = [&](long n) {
    form.MemoAdd(QStringLiteral("SENT:01 04 00 64 00 02 30 14"));
    form.BitBtn4Click();
    form.DecodeRegisterTable(answer, orvio::TForm1::RegisterTableMode::Grid, 100,
                             form.gridInputRegisters->RowCount() - 1);
    form.MemoAdd(QStringLiteral("UNMD:01 04 04 00 0A 01 FF 9A 56 ") + QString::number(n));
    form.FlushMemo();
    app.processEvents();  // layout and painting, as after each real tick
  };
  // The first simulated hour settles the caches and the widget's line cap; growth counts after.
  const long warmup = std::min<long>(reads, 3600);
  for (long n = 0; n < warmup; ++n) read(n);
  const double start = RssMb();
  QElapsedTimer t;
  t.start();
  for (long n = warmup; n < reads; ++n) {
    read(n);
    if ((n + 1) % (6 * 3600) == 0) std::printf("hour=%ld rss_mb=%.1f\n", (n + 1) / 3600, RssMb());
  }
  const double end = RssMb();
  const double seconds = t.nsecsElapsed() / 1e9;

  // "Save log" writes every line since the start, in order.
  form.BitBtn6Click();
  QFile log(dir.path() + "/files/log.txt");
  bool complete = log.open(QIODevice::ReadOnly);
  long lines = 0;
  while (complete && !log.atEnd()) {
    const QByteArray line = log.readLine();
    const long n = lines / 2;
    complete = lines % 2 ? line == "UNMD:01 04 04 00 0A 01 FF 9A 56 " + QByteArray::number(n) + "\n"
                         : line == "SENT:01 04 00 64 00 02 30 14\n";
    ++lines;
  }
  complete = complete && lines == 2 * reads;

  const double simulated = (reads - warmup) / 3600.0;
  const double growth = end - start;
  std::printf(
      "hours=%.1f reads=%ld wall_s=%.1f rss_start_mb=%.1f rss_end_mb=%.1f growth_mb=%.1f "
      "growth_mb_per_day=%.1f grid_rows=%d log_lines=%ld log_complete=%d target_30mb_met=%d\n",
      hours, reads, seconds, start, end, growth, simulated > 0 ? growth * 24 / simulated : 0,
      form.gridInputRegisters->RowCount(), lines, complete ? 1 : 0,
      simulated > 0 && growth * 24 / simulated < 30 ? 1 : 0);
  return complete ? 0 : 1;
}
