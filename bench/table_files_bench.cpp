// Loading and importing table files on a shown main window: the worst files the readers admit
// (just under the size limit) for both tables. Not a test: prints one line per file and action,
//
//   file=<kind> action=load|import bytes=N lines=N rows=N best_ms=X worst_ms=Y
//
// and a closing "max_ms=" line; the target is 200 ms for every file and action. The time runs
// from the button press until the window has handled every event the action left behind
// (repaint of the table included).
//
//   bench_table_files [--runs N]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/tform1.h"
#include "core/tables/table_file.h"

namespace {

constexpr std::size_t kLimit = orvio::kTableFileMaxBytes;

// Repeats `line` as often as it fits below the size limit.
QByteArray Filled(const QByteArray& line) {
  return line.repeated(static_cast<qsizetype>(kLimit / static_cast<std::size_t>(line.size())));
}

struct File {
  const char* kind;
  QByteArray bytes;
};

std::vector<File> WorstFiles() {
  QByteArray meters;
  for (int i = 0; meters.size() + 16 < static_cast<qsizetype>(kLimit); ++i)
    meters += QByteArray::number(i % 100) + ";" + QByteArray::number(i % 250) + ";\r\n";
  const QByteArray cell(50, 'W');
  QByteArray wide;
  for (int c = 0; c < 8; ++c) wide += cell + ";";
  return {
      {"short_meter_lines", meters},
      {"line_breaks_only", Filled("\n")},
      {"semicolon_lines", Filled(";;;;;;;;\r\n")},
      {"eight_wide_cells_per_line", Filled(wide + "\r\n")},
      {"one_line_without_break", Filled("q").left(static_cast<qsizetype>(kLimit) - 1) + ";"},
      {"ninth_field_late",
       Filled("1;2;\r\n").left(static_cast<qsizetype>(kLimit) - 40) + "1;2;3;4;5;6;7;8;9;\r\n"},
  };
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int runs = 3;
  for (int i = 1; i + 1 < argc; i += 2)
    if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[i + 1]));

  QTemporaryDir dir;
  orvio::TForm1 form(dir.path(), dir.path() + "/orvio.ini");
  form.seam.messageBox = [](QWidget*, const QString&, const QString&, QMessageBox::Icon,
                            QMessageBox::StandardButtons) { return QMessageBox::Ok; };
  QString chosen;
  form.seam.openFile = [&chosen](QWidget*, const QString&, const QString&, const QString&) {
    return chosen;
  };
  form.FormCreate();
  form.resize(1100, 800);
  form.show();
  QApplication::processEvents();

  double maxMs = 0;
  for (const File& file : WorstFiles()) {
    chosen = dir.filePath(QString::fromLatin1(file.kind) + ".csv");
    QFile out(chosen);
    if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size()) return 1;
    out.close();
    for (const char* action : {"load", "import"}) {
      const bool load = !std::strcmp(action, "load");
      orvio::StringGrid* grid = load ? form.gridLoops : form.GridDevices;
      form.PageControl1->setCurrentWidget(form.TabSheet1);  // both tables are on this page
      QApplication::processEvents();
      double best = 1e9, worst = 0;
      for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        if (load)
          form.Butt_load_dataClick();
        else
          form.Butt_importClick();
        QApplication::processEvents();
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        best = std::min(best, ms);
        worst = std::max(worst, ms);
      }
      maxMs = std::max(maxMs, worst);
      std::printf("file=%s action=%s bytes=%lld lines=%lld rows=%d best_ms=%.1f worst_ms=%.1f\n",
                  file.kind, action, static_cast<long long>(file.bytes.size()),
                  static_cast<long long>(file.bytes.count('\n')), grid->rowCount(), best, worst);
      std::fflush(stdout);
    }
  }
  std::printf("max_ms=%.1f target_ms=200 %s\n", maxMs, maxMs <= 200 ? "within" : "OVER");
  return 0;
}
