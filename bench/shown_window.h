// The main window as the window benchmarks run it: boxes go to standard error, start-up has run,
// and the window is shown at 1024 x 768 and exposed (up to 10 s) before anything is measured.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <cstdio>

#include "app/tform1.h"

namespace orvio::bench {

inline void ShowForBenchmark(QApplication& app, TForm1& form) {
  form.seam.messageBox = [](QWidget*, const QString&, const QString& text, QMessageBox::Icon,
                            QMessageBox::StandardButtons) {
    std::fprintf(stderr, "box: %s\n", qPrintable(text));
    return QMessageBox::Ok;
  };
  form.FormCreate();
  form.resize(1024, 768);
  form.show();
  QElapsedTimer wait;
  wait.start();
  while ((!form.windowHandle() || !form.windowHandle()->isExposed()) && wait.elapsed() < 10000)
    app.processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace orvio::bench
