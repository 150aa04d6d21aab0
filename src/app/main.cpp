#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>

#include "app/tfabout.h"
#include "app/tform1.h"

namespace {
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orvio");
  QApplication::setApplicationDisplayName("Orvio");

  orvio::TForm1 form;
  form.FAbout = new orvio::TFAbout(&form);
  form.FormCreate();

  // SIGTERM and SIGINT close the main window the normal way, so settings are saved.
  if (::pipe(signalPipe) == 0) {
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
      char c;
      [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
      form.close();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
  }

  form.show();
  return app.exec();
}
