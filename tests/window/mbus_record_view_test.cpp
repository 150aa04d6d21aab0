// The meter's record view in the real window against the simulated gateway: opened from the
// M-Bus device table (double-click, Enter, "Show records..."), showing the telegram the meter
// sent through the tunnel by the full record rules, Copy and the CSV and JSON files; rows loaded
// from a table file, removed rows and newer answers.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest/QTest>
#include <nlohmann/json.hpp>

#include "core/mbus/full_report.h"
#include "mbus/record_view.h"
#include "mbus_line_fixture.h"

namespace orvio::test {
namespace {

QByteArray ReadWhole(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class RecordViewTest : public MbusLineTest {
 protected:
  void Scan(int from, int to) {
    answer = QMessageBox::Yes;  // clear the table first
    form->UDaddressFrom->SetPosition(from);
    form->UDaddressTo->SetPosition(to);
    form->UD_retry->SetPosition(0);
    form->BitBtn1Click();
    ASSERT_TRUE(WaitFor([&] { return !form->tunnel.ScanActive && TunnelIdle(); }, 60000));
    boxes.clear();
  }

  void ReadRow(int row) {
    Loops()->setCurrentCell(row, 0);
    form->UD_retry->SetPosition(0);
    form->Read1Click();
    ASSERT_TRUE(WaitFor([&] { return !form->tunnel.SingleReadActive && TunnelIdle(); }, 30000));
  }

  // The telegram the meter at `address` sent last on the simulated line.
  std::string LastAnswerOf(int address) {
    std::string last;
    for (const auto& e : sim.TunnelLog()) {
      if (e.request.size() == 5 && static_cast<uint8_t>(e.request[2]) == address &&
          !e.answer.empty())
        last = e.answer;
    }
    return last;
  }

  std::vector<RecordView*> Views() { return form->MeterRecordViews->Views(); }

  static QString Cell(const RecordView* v, int row, int col) {
    const QTableWidgetItem* it = v->Records->item(row, col);
    return it ? it->text() : QString();
  }

  // Double-clicks a row of gridLoops with the mouse.
  void DoubleClickRow(int row) {
    form->PageControl1->setCurrentWidget(form->TabSheet1);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QPoint at = Loops()->visualItemRect(Loops()->item(row, 0)).center();
    QTest::mouseDClick(Loops()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
};

TEST_P(RecordViewTest, ScannedMeterShowsEveryRecordOfItsTelegram) {
  Scan(1, 2);
  ASSERT_EQ(Loops()->Cell(0, 1), "12345678");
  DoubleClickRow(1);
  ASSERT_EQ(Views().size(), 1u);
  RecordView* v = Views().front();
  EXPECT_TRUE(v->isVisible());
  EXPECT_FALSE(v->isModal());
  EXPECT_EQ(v->windowTitle(), "Records of meter 12345678, address 1");

  // Exactly the bytes the heat meter sent through the tunnel.
  const std::string sent = LastAnswerOf(1);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(v->Telegram(), sent);
  EXPECT_EQ(v->Notice(), "");
  EXPECT_EQ(v->FieldText(RecordView::kId), "12345678");
  EXPECT_EQ(v->FieldText(RecordView::kAddress), "1");
  EXPECT_EQ(v->FieldText(RecordView::kManufacturer), "KAM");
  EXPECT_EQ(v->FieldText(RecordView::kVersion), "26");
  EXPECT_EQ(v->FieldText(RecordView::kMedium), "04 Heat (outlet)");
  EXPECT_EQ(v->FieldText(RecordView::kAccessNumber),
            QString::number(static_cast<uint8_t>(sent[15])));
  EXPECT_EQ(v->FieldText(RecordView::kStatus), "00 (no bit set)");
  EXPECT_EQ(v->FieldText(RecordView::kSignature), "0000");

  // Seven records: energy, volume, flow, two temperatures, the time, last year's energy.
  ASSERT_EQ(v->Records->rowCount(), 7);
  EXPECT_EQ(Cell(v, 0, kRecordValue), "12345000");
  EXPECT_EQ(Cell(v, 0, kRecordUnit), "Wh");
  EXPECT_EQ(Cell(v, 0, kRecordQuantity), "Energy");
  EXPECT_EQ(Cell(v, 0, kRecordDif), "04");
  EXPECT_EQ(Cell(v, 0, kRecordVif), "06");
  EXPECT_EQ(Cell(v, 0, kRecordData), "39 30 00 00");
  EXPECT_EQ(Cell(v, 6, kRecordStorage), "1");
  EXPECT_EQ(Cell(v, 6, kRecordFunction), "Instantaneous value");
  EXPECT_EQ(Cell(v, 5, kRecordValue).left(10), "2024-01-15");

  // The first record is marked at once; selecting another marks its bytes, one line of the hex
  // view or two.
  EXPECT_EQ(v->MarkedBytes(), (std::pair<size_t, size_t>{19, 6}));
  for (int row : {1, 3, 6}) {
    v->Records->setCurrentCell(row, 0);
    const FullRecord& r = v->Decoded().records[static_cast<size_t>(row)];
    EXPECT_EQ(v->MarkedBytes(), (std::pair<size_t, size_t>{r.offset, r.length})) << row;
    EXPECT_EQ(v->MarkedHex().toStdString(), HexBlanks(sent.substr(r.offset, r.length))) << row;
  }
  EXPECT_TRUE(v->Hex->toPlainText().startsWith("   0  68 "));

  // Copy: the titles and the selected records, tab-separated.
  v->Records->clearSelection();
  v->Records->selectRow(1);
  v->CopyButton->click();
  const QStringList copied = QApplication::clipboard()->text().split("\r\n");
  ASSERT_EQ(copied.size(), 3);  // titles, the record, the empty text after the last line end
  EXPECT_TRUE(copied[0].startsWith("No\tOffset\tLength\tFunction\t"));
  EXPECT_TRUE(copied[1].startsWith("2\t25\t6\tInstantaneous value\t0\t0\t0\t456.789\tm^3\t"));

  // CSV: semicolon-separated, the file the dialog was answered with.
  saveAnswer = dir.filePath("heat.csv");
  v->SaveCsvButton->click();
  EXPECT_EQ(proposedName, "records_12345678_1.csv");
  const QByteArray csv = ReadWhole(saveAnswer);
  EXPECT_EQ(csv.toStdString(), FullRecordsCsv(DecodeFull(sent)));
  EXPECT_EQ(csv.count("\r\n"), 8);
  EXPECT_TRUE(csv.contains(
      "\r\n1;19;6;Instantaneous value;0;0;0;12345000;Wh;Energy;04;06;;39 30 00 00\r\n"));

  // JSON: the object orvio-cli decode --full --json writes for the telegram.
  saveAnswer = dir.filePath("heat.json");
  v->SaveJsonButton->click();
  EXPECT_EQ(proposedName, "records_12345678_1.json");
  const QByteArray json = ReadWhole(saveAnswer);
  EXPECT_EQ(json.toStdString(), JsonLine(FullDecodeJson(DecodeFull(sent))) + "\n");
  const auto j = nlohmann::json::parse(json.toStdString());
  EXPECT_EQ(j["header"]["id"], "12345678");
  EXPECT_EQ(j["header"]["manufacturer"], "KAM");
  ASSERT_EQ(j["records"].size(), 7u);
  EXPECT_EQ(j["records"][1]["value"], "456.789");
  EXPECT_EQ(j["records"][6]["storage"], 1);
  EXPECT_TRUE(boxes.empty());  // both files written

  // The summary decode is as it always was.
  EXPECT_EQ(Loops()->Cell(3, 1), "12345.000");
  EXPECT_FALSE(form->GridFullTelegram->isVisible());
  ExpectSerialPortKept();
}

TEST_P(RecordViewTest, NewerAnswerReplacesTheTelegramAlsoInTheOpenView) {
  Scan(1, 2);
  Loops()->setFocus();
  Loops()->setCurrentCell(2, 0);
  QTest::keyClick(Loops(), Qt::Key_Return);
  ASSERT_EQ(Views().size(), 1u);
  RecordView* v = Views().front();
  EXPECT_EQ(v->FieldText(RecordView::kId), "23456789");
  const std::string first = v->Telegram();
  v->Records->setCurrentCell(2, 0);

  sim.UpdateMeter("23456789", [](sim::Meter& m) { m.status = 0x14; });
  ReadRow(2);
  const std::string newer = LastAnswerOf(2);
  ASSERT_NE(newer, first);
  EXPECT_EQ(v->Telegram(), newer);
  EXPECT_EQ(v->FieldText(RecordView::kStatus), "14 (power low, temporary error)");
  EXPECT_EQ(v->FieldText(RecordView::kAccessNumber),
            QString::number(static_cast<uint8_t>(newer[15])));
  EXPECT_EQ(v->Records->currentRow(), 2);  // still the record the user looked at
  // Opening the meter again raises the same view, with the newer telegram.
  EXPECT_EQ(form->MeterRecordViews->Open(2), v);
  EXPECT_EQ(Views().size(), 1u);
  EXPECT_EQ(v->Telegram(), newer);
  // The other meter's telegram is its own.
  RecordView* other = form->MeterRecordViews->Open(1);
  ASSERT_NE(other, v);
  EXPECT_EQ(other->Telegram(), LastAnswerOf(1));
  EXPECT_EQ(Views().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Links, RecordViewTest, ::testing::Values(Transport::kTcp, Transport::kRtu),
                         TransportName);

// Table edits: loads, removals and clearing keep the telegrams with their rows (one link is
// enough: the rows are what matters).
class RecordViewRows : public RecordViewTest {};

TEST_P(RecordViewRows, LoadedRowSaysItHasNoTelegram) {
  Scan(1, 1);
  const QString file = dir.filePath("meters.csv");
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("12345678;1;KAM;12345.000;kWh;Heat (rt);00;10:00:00;\r\n");
  f.close();
  openAnswer = file;
  form->Loadfile1Click();
  ASSERT_EQ(Loops()->Cell(0, 1), "12345678");

  form->tunnel.SelectedMbusRow = 1;
  form->MeterRecordViews->ShowRecords1->trigger();
  ASSERT_EQ(Views().size(), 1u);
  RecordView* v = Views().front();
  EXPECT_FALSE(v->HasTelegram());
  EXPECT_EQ(v->Notice(), record_text::kNoTelegram);
  EXPECT_EQ(v->FieldText(RecordView::kId), "12345678");
  EXPECT_EQ(v->FieldText(RecordView::kAddress), "1");
  EXPECT_EQ(v->Records->rowCount(), 0);
  EXPECT_EQ(v->Hex->toPlainText(), "");
  for (QPushButton* b : {v->CopyButton, v->SaveCsvButton, v->SaveJsonButton})
    EXPECT_FALSE(b->isEnabled());

  // Reading the meter gives the row, and the open view, its telegram.
  ReadRow(1);
  EXPECT_TRUE(v->HasTelegram());
  EXPECT_EQ(v->Notice(), "");
  EXPECT_EQ(v->Telegram(), LastAnswerOf(1));
}

TEST_P(RecordViewRows, TelegramsFollowTheirRowsThroughRemovalAndClearing) {
  Scan(1, 3);
  form->tunnel.SelectedMbusRow = 1;
  form->Removefromtable1Click();
  ASSERT_EQ(Loops()->Cell(0, 1), "23456789");
  RecordView* v = form->MeterRecordViews->Open(1);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->Telegram(), LastAnswerOf(2));
  EXPECT_EQ(form->MeterRecordViews->Open(2)->Telegram(), LastAnswerOf(3));
  v->close();

  // The open row and the header hold no meter.
  form->MemoClear();
  EXPECT_EQ(form->MeterRecordViews->Open(3), nullptr);
  EXPECT_EQ(form->MeterRecordViews->Open(0), nullptr);
  EXPECT_EQ(TextLines(),
            (QStringList{"Not a valid device selected...", "Not a valid device selected..."}));

  form->Butt_clear_gridClick();
  EXPECT_EQ(form->MeterRecordViews->Telegrams().Size(), 0u);
}

TEST_P(RecordViewRows, ShowRecordsComesAfterTheTableMenuItems) {
  QStringList items;
  for (QAction* a : form->ContextMbusMenu->actions())
    if (!a->isSeparator()) items << a->text();
  EXPECT_EQ(items, (QStringList{"Read", "Remove from table", "Change Primary",
                                "Set all Primary addresses", "Change Medium", "Clear table",
                                "Load file", "Save file", "Show records..."}));
}

INSTANTIATE_TEST_SUITE_P(Link, RecordViewRows, ::testing::Values(Transport::kTcp), TransportName);

}  // namespace
}  // namespace orvio::test
