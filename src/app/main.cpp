#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
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
  orvio::SetApplicationIdentity();

  // --settings FILE keeps the settings in another file than the one beside the executable (the
  // demo run uses this so that a technician's own settings stay untouched).
  QString settingsPath;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i + 1 < args.size(); ++i)
    if (args[i] == "--settings") settingsPath = QFileInfo(args[i + 1]).absoluteFilePath();

  orvio::TForm1 form({}, settingsPath);
  form.FAbout = new orvio::TFAbout(&form);
  form.FormCreate();

  // SIGTERM and SIGINT close the main window the normal way, so settings are saved; no box waits
  // for an answer then.
  if (::pipe(signalPipe) == 0) {
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
      char c;
      [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
      form.CloseFromSignal();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
  }

  // Start-up measurements end at the first paint of the main window.
  if (qEnvironmentVariableIsSet("ORVIO_EXIT_AT_FIRST_PAINT")) {
    struct FirstPaint : QObject {
      bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) QTimer::singleShot(0, [] { ::_exit(0); });
        return QObject::eventFilter(o, e);
      }
    };
    form.installEventFilter(new FirstPaint);
  }
  form.show();

  // --connect HOST:PORT connects the TCP link at start; --port NAME opens the serial port;
  // --port-name NAME only fills the port box.
  for (int i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == "--connect") {
      const QString target = args[i + 1];
      const int colon = target.lastIndexOf(':');
      form.Edit_lanxp_ip->setText(colon < 0 ? target : target.left(colon));
      if (colon >= 0) form.Edit_lanxp_port->setText(target.mid(colon + 1));
      QTimer::singleShot(0, &form, &orvio::TForm1::Butt_connect_xportClick);
    } else if (args[i] == "--port-name") {
      form.Combo_com2_name->setCurrentText(args[i + 1]);
    } else if (args[i] == "--port") {
      form.Combo_com2_name->setCurrentText(args[i + 1]);
      QTimer::singleShot(0, &form, [&form] {
        if (!form.SerialOpen) form.ToggleSerialPort();
      });
    }
  }
  return app.exec();
}
