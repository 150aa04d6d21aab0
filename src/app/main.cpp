#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "app/command_line.h"
#include "app/tfabout.h"
#include "app/tform1.h"

namespace {
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

int Refuse(const QString& message) {
  std::fprintf(stderr, "orvio: %s\n", qPrintable(message));
  return 1;
}

void NameApplication() {
  orvio::SetApplicationIdentity();
  QCoreApplication::setApplicationVersion(ORVIO_FILE_VERSION);
}
}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer on a console without a display.
  if (orvio::AsksForInformationOnly(argc, argv)) {
    QCoreApplication core(argc, argv);
    NameApplication();
    QCommandLineParser parser;
    orvio::DeclareOptions(parser);
    parser.process(core);
    return 0;
  }
  // The options are read and checked before QApplication needs a display: an unknown option, a
  // missing or wrong value ends here with a message and status 1, display or not.
  QCommandLineParser parser;
  orvio::DeclareOptions(parser);
  if (!parser.parse(orvio::ProgramArguments(argc, argv))) return Refuse(parser.errorText());
  const orvio::CommandLine cl = orvio::ReadCommandLine(parser);
  if (!cl.error.isEmpty()) return Refuse(cl.error);

  QApplication app(argc, argv);
  NameApplication();

  orvio::TForm1 form({}, cl.settingsPath);
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

  // Start-up options: the TCP link and the serial port as given.
  if (!cl.portName.isEmpty()) form.Combo_com2_name->setCurrentText(cl.portName);
  if (cl.connect) {
    form.Edit_lanxp_ip->setText(cl.connectHost);
    if (!cl.connectPort.isEmpty()) form.Edit_lanxp_port->setText(cl.connectPort);
    QTimer::singleShot(0, &form, &orvio::TForm1::Butt_connect_xportClick);
  }
  if (cl.openPort)
    QTimer::singleShot(0, &form, [&form] {
      if (!form.link.SerialOpen) form.ToggleSerialPort();
    });
  return app.exec();
}
