// Renders the main window's two pages, a meter's record view and a primary scan in progress (the
// status bar's progress view) with live data from the simulated gateway into PNG files for the
// documentation. Usage: orvio_docshots OUTDIR [--manual]
// (run under xvfb-run or offscreen). --manual adds the About box and the Settings page's groups
// for the user manual.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QTableWidget>
#include <QThread>
#include <functional>

#include "app/tfabout.h"
#include "app/tform1.h"
#include "mbus/record_view.h"
#include "sim/gateway_sim.h"
#include "site/site_controller.h"

namespace {
void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
}

bool WaitFor(const std::function<bool()>& cond, int ms) {
  QElapsedTimer t;
  t.start();
  while (!cond() && t.elapsed() < ms) Pump(10);
  return cond();
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  orvio::SetApplicationIdentity();
  const QString out = argc > 1 ? argv[1] : "docs";
  const bool manual = argc > 2 && QString(argv[2]) == "--manual";
  QDir().mkpath(out);
  orvio::sim::GatewaySim sim;
  const int port = sim.StartTcp(0);
  QDir tmp(QDir::tempPath());
  orvio::TForm1 form(QDir::tempPath(), QDir::tempPath() + "/orvio-docshots.ini");
  form.FAbout = new orvio::TFAbout(&form);
  form.seam.messageBox = [](QWidget*, const QString&, const QString&, QMessageBox::Icon,
                            QMessageBox::StandardButtons) { return QMessageBox::Yes; };
  form.FormCreate();
  form.resize(1180, 860);
  form.show();
  form.Edit_lanxp_ip->setText("127.0.0.1");
  form.Edit_lanxp_port->setText(QString::number(port));
  form.UD_eth_timeout->SetPosition(30);
  form.Butt_connect_xportClick();
  WaitFor([&] { return form.link.TcpConnected; }, 5000);
  form.UD_modbusTimeout->SetPosition(300);
  form.EditInputAddress->setText("32768");
  form.EditInputCount->setText("8");
  form.BitBtn3Click();
  Pump(600);
  form.BitBtn18Click();
  Pump(14 * 350);
  form.buttonReadModbusClick();
  Pump(4000);
  form.tunnel.ScanActive = true;
  for (const auto& meter : sim.Meters()) {
    form.DecodeTelegram(meter.Telegram());
    Pump(20);
  }
  form.tunnel.ScanActive = false;
  form.FlushMemo();
  Pump(200);
  form.PageControl1->setCurrentWidget(form.TabSheet2);
  Pump(200);
  form.grab().save(out + "/main-settings.png");
  if (manual) {
    form.GroupBox2->grab().save(out + "/group-serial.png");
    form.GroupBox1->grab().save(out + "/group-tcp.png");
    form.GroupBox3->grab().save(out + "/group-commands.png");
  }
  form.PageControl1->setCurrentWidget(form.TabSheet1);
  Pump(200);
  form.grab().save(out + "/main-quick.png");
  // The heat meter's record view, its volume record marked.
  if (orvio::RecordView* view = form.MeterRecordViews->Open(1)) {
    view->resize(1000, 620);
    view->Records->setCurrentCell(1, 0);
    Pump(200);
    view->grab().save(out + "/record-view.png");
    view->close();
  }
  // A scan of 1..250 a few meters in: the progress view beside the status panels (the window a
  // little wider, so that the view's whole line shows).
  form.resize(1280, 860);
  form.UDaddressFrom->SetPosition(1);
  form.UDaddressTo->SetPosition(250);
  form.UD_retry->SetPosition(2);
  form.UD_timeout->SetPosition(300);
  form.UD_modbusTimeout->SetPosition(300);
  form.BitBtn1Click();
  WaitFor([&] { return form.tunnel.ScanFound >= 3 && form.Tunnel->ReadingBlock(); }, 20000);
  Pump(700);  // the time left counts down once
  form.FlushMemo();
  form.grab().save(out + "/scan-progress.png");
  form.BitBtn2Click();
  if (manual) {
    // A site saved, the gateway changed since, and the comparison with the site file.
    const QString siteFile = QDir::tempPath() + "/orvio-docshots.site.json";
    form.Sites->askDetails = [](orvio::SiteDetails& d) {
      d = {"Boiler house", "Cellar, left rack", "A. Tech"};
      return true;
    };
    form.seam.saveFile = [&](QWidget*, const QString&, const QString&, const QString&,
                             const QString&, const QString&) { return siteFile; };
    form.seam.openFile = [&](QWidget*, const QString&, const QString&, const QString&) {
      return siteFile;
    };
    WaitFor([&] { return !form.Tunnel->Running(); }, 5000);
    form.Sites->SaveSiteClick();
    WaitFor([&] { return !form.Sites->Running(); }, 10000);
    sim.SetHoldingRegister(55400, 0x0A01);  // IP 10.1.1.100
    sim.DeactivateDevice(4);
    form.Sites->CompareWithSiteClick();
    WaitFor([&] { return !form.Sites->Running(); }, 10000);
    form.Sites->CompareView()->resize(640, 360);
    Pump(200);
    form.Sites->CompareView()->grab().save(out + "/site-compare.png");
    form.Sites->CompareView()->close();
    QFile::remove(siteFile);
    form.About1Click();
    Pump(200);
    form.FAbout->grab().save(out + "/about.png");
    form.FAbout->hide();
  }
  form.close();
  QFile::remove(QDir::tempPath() + "/orvio-docshots.ini");
  return 0;
}
