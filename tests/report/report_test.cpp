// The commissioning report as its reader gets it: the PDF's text layer, read back with pdftotext.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#include "report/commissioning_report.h"

namespace {

using orvio::site::Setting;
using orvio::site::Site;
using orvio::site::Source;

Site FullSite() {
  Site site;
  site.name = "Zählerraum Müller";
  site.notes = "Keller, zweite Tür links\nZähler 7 hinter dem Regal";
  site.technician = "Jürgen Weiß";
  site.saved = "2024-03-05 14:07:31";
  site.orvioVersion = "1.0.1.81";
  site.settings = {
      {"active_devices", "Active devices", "61", Source::kRead},
      {"mbus_flags", "M-Bus flags", "0x0013", Source::kRead},
      {"working_days", "Working days", "1234", Source::kRead},
      {"active_bitmap", "Active devices bitmap", "FFFFFFFF0F000000", Source::kRead},
      {"card_version", "Card version", "V3.07b", Source::kRead},
      {"identification", "Identification", "GW-4711-Nord", Source::kRead},
      {"ip", "IP", "192.168.1.100", Source::kRead},
      {"gateway", "Gateway", "192.168.1.1", Source::kRead},
      {"mask", "Mask", "255.255.255.0", Source::kRead},
      {"control_ip_1", "Control IP 1", "10.0.0.21", Source::kRead},
      {"control_ip_2", "Control IP 2", "10.0.0.22", Source::kRead},
      {"data_ip_1", "Data IP 1", "10.0.0.31", Source::kRead},
      {"data_ip_2", "Data IP 2", "10.0.0.32", Source::kRead},
      {"network_number", "Network number", "17", Source::kRead},
      {"readout_minutes", "Readout/update time (minutes)", "15", Source::kWritten},
      {"mbus_port", "M-Bus port", "2400 Even", Source::kWritten},
      {"modbus_address", "Modbus address", "247", Source::kWritten},
      {"value_encoding", "Value encoding", "general", Source::kWritten},
  };
  for (int i = 0; i < 12; ++i)
    site.devices.push_back({"7700" + std::to_string(1000 + i), std::to_string(i + 1), "WEB", "Heat",
                            "kWh", "123.456", "", "", "", "", "OK", "06", "", "", ""});
  for (int i = 0; i < 60; ++i)
    site.meters.push_back({"6600" + std::to_string(2000 + i), std::to_string(i + 1), "KAM",
                           std::to_string(10 * i) + ".5", "m³", "Wasser", "OK",
                           "2024-03-05 13:" + std::to_string(10 + i % 50) + ":00", ""});
  return site;
}

QString Output(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString() << " did not run";
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of each page.
QStringList PdfPages(const QString& pdf) {
  QStringList pages =
      Output("pdftotext", {"-layout", "-enc", "UTF-8", pdf, "-"}).split(QChar('\f'));
  if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
  return pages;
}

TEST(CommissioningReport, HoldsEverySettingAndMeterOnRepeatedTablePages) {
  QTemporaryDir dir;
  const QString pdf = dir.filePath("report.pdf");
  {
    QFile old(pdf);  // an earlier report of that name is replaced
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
  }
  const Site site = FullSite();
  QString error;
  ASSERT_TRUE(orvio::WriteCommissioningReport(site, pdf, &error)) << error.toStdString();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.pdf"});

  const QStringList pages = PdfPages(pdf);
  ASSERT_GT(pages.size(), 1);
  const QString text = pages.join('\n');
  for (int i = 0; i < pages.size(); ++i)
    EXPECT_TRUE(pages[i].contains(QString("Page %1 of %2").arg(i + 1).arg(pages.size()))) << i;
  for (const char* expected :
       {"Commissioning report", "Zählerraum Müller", "Keller, zweite Tür links",
        "Zähler 7 hinter dem Regal", "Jürgen Weiß", "2024-03-05 14:07:31", "1.0.1.81", "Technician",
        "Customer", "Signature", "Identification", "M-Bus flags"})  // no ligatures
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
  for (const Setting& s : site.settings)
    EXPECT_TRUE(text.contains(QString::fromStdString(s.value))) << s.key;
  EXPECT_EQ(text.count("written, not read back"), 4);
  for (const auto& device : site.devices)
    EXPECT_EQ(text.count(QString::fromStdString(device[0])), 1) << device[0];
  // Each meter once (no row drawn on two pages), and the meters' header row on every page that
  // holds some of them.
  const QRegularExpression meterHeader(R"(\bID\s+Addr\s+Mfr\s+Medium\s+Value\s+Unit\s+Status)");
  for (const auto& meter : site.meters) {
    EXPECT_EQ(text.count(QString::fromStdString(meter.id)), 1) << meter.id;
    for (const QString& page : pages) {
      if (page.contains(QString::fromStdString(meter.id))) {
        EXPECT_TRUE(page.contains(meterHeader)) << meter.id;
      }
    }
  }
  EXPECT_EQ(text.count("m³"), 60);

  const QString info = Output("pdfinfo", {"-enc", "UTF-8", pdf});
  EXPECT_TRUE(info.contains(QRegularExpression(
      QString::fromUtf8(R"(Title:\s+Commissioning report – Zählerraum Müller\n)"))))
      << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression(R"(Creator:\s+Orvio\n)")));
  EXPECT_TRUE(
      info.contains(QRegularExpression(R"(Page size:\s+595(\.\d+)? x 84[12](\.\d+)? pts \(A4\))")));
}

TEST(CommissioningReport, EmptySectionsSayNone) {
  QTemporaryDir dir;
  Site site;
  site.name = "Empty";
  const QString pdf = dir.filePath("empty.pdf");
  QString error;
  ASSERT_TRUE(orvio::WriteCommissioningReport(site, pdf, &error)) << error.toStdString();
  const QStringList pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 1);
  // Identity and status, network, written settings, device map, meters.
  EXPECT_EQ(
      pages[0].count(QRegularExpression(R"(^\s*none\s*$)", QRegularExpression::MultilineOption)), 5)
      << pages[0].toStdString();
  EXPECT_TRUE(pages[0].contains("Page 1 of 1"));
}

TEST(CommissioningReport, UnwritablePathFailsWithReasonAndLeavesNoFile) {
  QTemporaryDir dir;
  QFile blocker(dir.filePath("plain"));  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString pdf = dir.filePath("plain/report.pdf");
  QString error;
  EXPECT_FALSE(orvio::WriteCommissioningReport(FullSite(), pdf, &error));
  EXPECT_TRUE(error.startsWith("Cannot write the commissioning report to " + pdf + ": "))
      << error.toStdString();
  EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))))
      << error.toStdString();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
            QStringList{"plain"});
  EXPECT_FALSE(orvio::WriteCommissioningReport(FullSite(), pdf, nullptr));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // fonts need it
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
