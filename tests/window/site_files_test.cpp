// The File menu's site files against the simulator, over both links: save, a restore into a
// gateway that forgot everything, the comparison, a refused register, unusable files, STOP and
// the commissioning report.
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTableWidget>

#include "core/site/site_file.h"
#include "gateway_fixture.h"
#include "site/site_controller.h"

namespace orvio::test {

namespace {

class SiteFiles : public GatewayWindowTest {
 protected:
  void SetUp() override {
    GatewayWindowTest::SetUp();
    form->Sites->askDetails = [](SiteDetails& d) {
      d = {"Müller Straße 5", "Cellar, left rack\nKey at the porter", "A. Técnico"};
      return true;
    };
    // One meter of the line in the M-Bus table, with its telegram, as a scan places it.
    meter = sim.Meters().front();
    form->tunnel.ScanActive = true;
    ASSERT_TRUE(form->DecodeTelegram(meter.Telegram()));
    form->tunnel.ScanActive = false;
  }

  bool RunJob(const std::function<void()>& start) {
    bool ended = false;
    QObject::connect(
        form->Sites, &SiteController::Ended, form.get(), [&] { ended = true; },
        Qt::SingleShotConnection);
    start();
    return WaitFor([&] { return ended; }, 60000);
  }

  site::Site SaveSite() {
    saveAnswer = dir.filePath("plant.site.json");
    EXPECT_TRUE(RunJob([&] { form->Sites->SaveSiteClick(); }));
    QFile f(saveAnswer);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    site::Loaded loaded = site::ParseSite(std::string_view(bytes.constData(), bytes.size()));
    EXPECT_TRUE(loaded.site) << loaded.error;
    return loaded.site.value_or(site::Site{});
  }

  static std::string Value(const site::Site& s, const std::string& key) {
    for (const auto& setting : s.settings)
      if (setting.key == key) return setting.value;
    return "<none>";
  }

  // The gateway as a replacement comes out of the box: no devices, other addresses and flags.
  void ForgetEverything() {
    sim.DeactivateDevice(255);
    sim.SetHoldingRegister(55400, 0x0A01);  // IP 10.1.1.1
    sim.SetHoldingRegister(55401, 0x0101);
    sim.SetMbusFlags(0);
  }

  sim::Meter meter;
};

TEST_P(SiteFiles, SavedSiteRestoresIntoAGatewayThatForgotEverything) {
  const site::Site saved = SaveSite();
  EXPECT_EQ(saved.name, "Müller Straße 5");
  EXPECT_EQ(saved.technician, "A. Técnico");
  EXPECT_EQ(form->Sites->Technician(), "A. Técnico");
  EXPECT_EQ(Value(saved, "ip"), "192.168.1.100");
  EXPECT_EQ(Value(saved, "mbus_flags"), "SND_NKE,0x7B");
  EXPECT_EQ(Value(saved, "card_version"), "1.3");
  EXPECT_EQ(Value(saved, "readout_minutes"), std::to_string(form->UDminutes->Position()));
  EXPECT_EQ(saved.devices.size(), 5u);
  ASSERT_EQ(saved.meters.size(), 1u);
  EXPECT_EQ(saved.meters[0].id, meter.id);
  EXPECT_FALSE(saved.meters[0].telegram.empty());
  EXPECT_TRUE(MemoHas("Site saved: " + saveAnswer));

  ForgetEverything();
  openAnswer = saveAnswer;
  answer = QMessageBox::Yes;
  sim.ClearRequests();
  ASSERT_TRUE(RunJob([&] { form->Sites->RestoreSiteClick(); }));
  // The preview listed the requests before anything was written.
  ASSERT_FALSE(boxes.empty());
  EXPECT_TRUE(boxes.front().informative.contains("IP 192.168.1.100"));
  EXPECT_EQ(sim.ActivatedDevices(), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(sim.HoldingRegister(55400), 0xC0A8);
  EXPECT_EQ(sim.MbusFlags() & 3, 3);
  ASSERT_NE(form->Sites->CompareView(), nullptr);
  EXPECT_TRUE(form->Sites->CompareView()->isVisible());
  EXPECT_EQ(form->Sites->CompareTable()->rowCount(), 0);
  EXPECT_TRUE(form->Sites->CompareSummary()->text().startsWith("The gateway matches"));
}

TEST_P(SiteFiles, CompareShowsEachDifferenceRowByRow) {
  SaveSite();
  sim.SetHoldingRegister(55400, 0x0A01);
  sim.SetHoldingRegister(55401, 0x0101);
  sim.DeactivateDevice(3);
  openAnswer = saveAnswer;
  ASSERT_TRUE(RunJob([&] { form->Sites->CompareWithSiteClick(); }));
  QTableWidget* table = form->Sites->CompareTable();
  std::map<QString, std::pair<QString, QString>> rows;
  for (int r = 0; r < table->rowCount(); ++r)
    rows[table->item(r, 0)->text()] = {table->item(r, 1)->text(), table->item(r, 2)->text()};
  EXPECT_EQ(rows["IP"], std::make_pair(QString("192.168.1.100"), QString("10.1.1.1")));
  ASSERT_TRUE(rows.count("Device at address 3"));
  EXPECT_EQ(rows["Device at address 3"].second, "(none)");
  EXPECT_FALSE(rows.count("Working days"));  // a counter, not a setting
}

TEST_P(SiteFiles, ARefusedRegisterIsNamedAndTheRestoreGoesOn) {
  SaveSite();
  ForgetEverything();
  sim::Fault refuse;
  refuse.function = 0x06;
  refuse.address = 3;  // the readout period
  refuse.exception = 2;
  refuse.count = 0;
  sim.InjectFault(refuse);
  openAnswer = saveAnswer;
  ASSERT_TRUE(RunJob([&] { form->Sites->RestoreSiteClick(); }));
  sim.ClearFaults();
  EXPECT_TRUE(form->Sites->CompareSummary()->text().contains(
      "Refused: Readout/update time (minutes) " + QString::number(form->UDminutes->Position()) +
      ": ILLEGAL DATA ADDRESS"))
      << form->Sites->CompareSummary()->text().toStdString();
  EXPECT_EQ(sim.ActivatedDevices().size(), 5u);  // the activations after it went out
}

TEST_P(SiteFiles, UnusableFilesAreRefusedAndNothingIsWritten) {
  const QString newer = dir.filePath("newer.site.json");
  const QString damaged = dir.filePath("damaged.site.json");
  for (const auto& [path, text] :
       {std::pair{newer, QByteArray(R"({"format": 99})")},
        std::pair{damaged, QByteArray(R"({"format": 1, "settings": [)")}}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  sim.ClearRequests();
  for (const QString& path : {newer, damaged}) {
    boxes.clear();
    openAnswer = path;
    form->Sites->RestoreSiteClick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(path + " cannot be used: "))
        << boxes[0].text.toStdString();
  }
  EXPECT_TRUE(boxes[0].text.contains("not a site file"));
  Pump(300);
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_FALSE(form->Sites->Running());
}

TEST_P(SiteFiles, StopEndsASaveAndWritesNothing) {
  saveAnswer = dir.filePath("stopped.site.json");
  sim::Fault slow;  // every answer late, so that the read is still running at STOP
  slow.delay_ms = 100;
  slow.count = 0;
  sim.InjectFault(slow);
  bool ended = false;
  QObject::connect(form->Sites, &SiteController::Ended, form.get(), [&] { ended = true; });
  form->Sites->SaveSiteClick();
  ASSERT_TRUE(WaitFor([&] { return sim.Requests().size() >= 3; }));
  form->BitBtn2Click();  // STOP
  EXPECT_TRUE(ended);
  const size_t sent = sim.Requests().size();
  Pump(500);
  EXPECT_LE(sim.Requests().size(), sent + 1);  // at most the request already on its way
  EXPECT_FALSE(QFile::exists(saveAnswer));
  EXPECT_TRUE(form->buttonReadModbus->isEnabled());
}

TEST_P(SiteFiles, CommissioningReportHoldsTheMetersAndSettings) {
  saveAnswer = dir.filePath("report.pdf");
  ASSERT_TRUE(RunJob([&] { form->Sites->CommissioningReportClick(); }));
  ASSERT_TRUE(QFile::exists(saveAnswer));
  QProcess text;
  text.start("pdftotext", {"-layout", "-enc", "UTF-8", saveAnswer, "-"});
  ASSERT_TRUE(text.waitForFinished(30000));
  const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
  EXPECT_TRUE(pdf.contains(QString::fromStdString(meter.id)));
  EXPECT_TRUE(pdf.contains("192.168.1.100"));
  EXPECT_TRUE(pdf.contains("Müller Straße 5"));
  QFile csv(dir.filePath("report.csv"));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QString rows = QString::fromUtf8(csv.readAll());
  EXPECT_TRUE(rows.contains(QString::fromStdString(meter.id)));
  EXPECT_TRUE(rows.contains("192.168.1.100"));
}

INSTANTIATE_TEST_SUITE_P(Links, SiteFiles, ::testing::Values(Transport::kTcp, Transport::kRtu),
                         TransportName);

}  // namespace
}  // namespace orvio::test
