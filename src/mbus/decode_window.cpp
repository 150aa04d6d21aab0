// Telegram decoding into the memo and the tables.
#include "mbus/decode_window.h"

#include <QLocale>

#include "app/tform1.h"
#include "core/mbus/records.h"
#include "core/mbus/telegram.h"
#include "core/mbus/tunnel.h"
#include "core/tables/meter_placement.h"
#include "core/text/number.h"
#include "mbus/record_view.h"

namespace orvio {

char DecimalSeparator() { return DecimalSeparatorFrom(QLocale().decimalPoint().toStdString()); }

bool TForm1::DecodeTelegram(const ByteString& telegram, bool matchRowsById) {
  TelegramDecode d = orvio::DecodeTelegram(telegram, DecimalSeparator());
  MemoAddLines(d.trace);
  if (!d.decoded) return false;  // both tables stay as they were

  for (RecordRow& row : d.records) {
    row.value = Latin1ToUtf8(row.value);
    row.unit = Latin1ToUtf8(row.unit);
  }
  FillRecordTable(*GridFullTelegram, d.records);

  MeterSummary summary = d.summary;
  for (std::string& cell : summary) cell = Latin1ToUtf8(cell);
  summary[7] = LongTimeText().toStdString();
  const PlacementResult placed = PlaceMeterSummary(
      *gridLoops, summary, ChooseMeterPlacement(tunnel.ScanActive, matchRowsById));
  MeterRecordViews->TelegramPlaced(placed.rows, telegram);
  if (tunnel.ScanActive) ++tunnel.ScanFound;
  if (placed.address_selected) tunnel.SelectedMbusAddress = placed.selected_address;
  for (int row : placed.select_rows) {
    // Made the current row as if the user had selected it: the selection handling runs even
    // when the row already was the current one.
    const int col = gridLoops->currentColumn() < 0 ? 0 : gridLoops->currentColumn();
    if (gridLoops->currentRow() == row) {
      gridLoopsSelectCell(col, row);
    } else {
      gridLoops->setCurrentCell(row, col);
    }
  }
  return true;
}

ByteString ExtractTunnelledTelegram(TForm1& form, const ByteString& answer, size_t payload_count,
                                    RawAnswer use) {
  TunnelledTelegram t = orvio::ExtractTunnelledTelegram(answer, payload_count);
  if (t.check.statusPanel) form.SetPanel(2, QString::fromStdString(*t.check.statusPanel));
  if (t.check.memoLine) form.MemoAdd(*t.check.memoLine);
  if (!t.check.ok() || use == RawAnswer::kKeep) return t.telegram;
  form.MemoAdd(std::string(kTelegramDecodeLine));
  if (!form.DecodeTelegram(t.telegram)) form.tunnel.AttemptFailed = true;
  return t.telegram;
}

}  // namespace orvio
