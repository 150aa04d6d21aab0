// The trace memo over a long session, on a shown main window: append N trace lines in event-loop
// passes of B lines (as handlers write them), then "Save log". Not a test: prints one line of
// figures (key=value) for bench/memo_bench.sh to compare.
//
//   bench_memo --mode memo|perline --lines N --batch B
//
// memo: the window's MemoAdd, which hands the lines to the widget once per event-loop pass.
// perline: one appendPlainText call per line on the same widget (the widget's plain use).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/tform1.h"
#include "shown_window.h"

namespace {

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// A trace line as the register reader and the tunnel write them, numbered so that the saved
// log shows whether every line is there, in order.
QString TraceLine(int i) {
  return (i % 2 ? QStringLiteral("UNMD:01 04 04 00 0A 01 FF 9A 56 %1")
                : QStringLiteral("SENT:01 04 00 64 00 02 30 14 %1"))
      .arg(i, 7, 10, QLatin1Char('0'));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::string mode = "memo";
  int lines = 200000;
  int batch = 100;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--mode")) mode = argv[i + 1];
    if (!std::strcmp(argv[i], "--lines")) lines = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--batch")) batch = std::max(1, std::atoi(argv[i + 1]));
  }
  const bool perLine = mode == "perline";

  QTemporaryDir dir;
  orvio::TForm1 form(dir.path(), dir.path() + "/orvio.ini");
  orvio::bench::ShowForBenchmark(app, form);

  QStringList text;
  text.reserve(lines);
  for (int i = 0; i < lines; ++i) text << TraceLine(i);
  const long rssBefore = PeakRssKb();

  QElapsedTimer t;
  t.start();
  for (int i = 0; i < lines; i += batch) {
    const int end = std::min(lines, i + batch);
    for (int k = i; k < end; ++k) {
      if (perLine)
        form.Memo_current->appendPlainText(text[k]);
      else
        form.MemoAdd(text[k]);
    }
    app.processEvents();  // one pass: the memo's hand-over, layout and painting
  }
  form.FlushMemo();
  app.processEvents();
  const double appendS = t.nsecsElapsed() / 1e9;

  t.restart();
  form.BitBtn6Click();
  const double saveS = t.nsecsElapsed() / 1e9;

  // Every line in the saved log, in order.
  QFile log(dir.path() + "/files/log.txt");
  bool inOrder = log.open(QIODevice::ReadOnly);
  int n = 0;
  while (inOrder && !log.atEnd()) {
    const QString line = QString::fromLocal8Bit(log.readLine()).chopped(1);
    inOrder = n < lines && line == text[n];
    ++n;
  }
  inOrder = inOrder && n == lines;

  // Lines appended to the widget directly bypass the memo's log (the widget holds the latest
  // only), so the order of the saved log is the memo's figure alone.
  std::printf(
      "mode=%s lines=%d batch=%d append_s=%.3f lines_per_s=%.0f save_s=%.3f "
      "peak_rss_mb=%.1f rss_before_mb=%.1f in_order=%s\n",
      mode.c_str(), lines, batch, appendS, lines / appendS, saveS, PeakRssKb() / 1024.0,
      rssBefore / 1024.0, perLine ? "na" : (inOrder ? "1" : "0"));
  return perLine || inOrder ? 0 : 1;
}
