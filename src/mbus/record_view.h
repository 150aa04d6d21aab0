// The meter's record view: a window of its own, beside the main window, showing the last
// telegram of one meter of the M-Bus device table read by the full EN 13757-3 rules (the header
// with the status bits named, one row per record, the telegram in hex with the selected record's
// bytes marked), with Copy and saving as CSV or JSON.
//
// RecordViews keeps the last telegram of every table row and opens the views: on a double-click
// or Enter on a row of gridLoops, or "Show records..." of its context menu.
#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "core/bytes.h"
#include "core/mbus/full_decode.h"
#include "core/tables/meter_telegrams.h"

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace orvio {

class TForm1;

// Texts of the record view.
namespace record_text {
inline constexpr char kShowRecords[] = "Show records...";
inline constexpr char kNoTelegram[] =
    "No telegram is kept for this meter: its row was loaded from a table file. Read the meter "
    "to see its records.";
inline constexpr char kNotDecoded[] = "The telegram could not be read: ";
inline constexpr char kSaveCsvCaption[] = "Save records as CSV";
inline constexpr char kSaveJsonCaption[] = "Save records as JSON";
inline constexpr char kJsonFilter[] = "JSON files|*.json";
inline constexpr char kJsonExtension[] = "json";
}  // namespace record_text

class RecordView : public QWidget {
  Q_OBJECT

 public:
  // Header fields, in the order shown.
  enum Field {
    kId,
    kAddress,
    kManufacturer,
    kVersion,
    kMedium,
    kAccessNumber,
    kStatus,
    kSignature,
    kFieldCount
  };

  RecordView(TForm1& form, std::string id, std::string addr);

  // The meter the view shows (the ID and Addr cells of its row).
  const std::string& MeterId() const { return id_; }
  const std::string& MeterAddr() const { return addr_; }
  // Shows `telegram` (nullptr: the meter has none, and the view says so).
  void ShowTelegram(const ByteString* telegram);
  bool HasTelegram() const { return has_telegram_; }
  const ByteString& Telegram() const { return telegram_; }
  const FullDecode& Decoded() const { return decoded_; }

  QString FieldText(Field f) const;
  // The notice above the records: no telegram, or why it could not be read ("" when none).
  QString Notice() const;
  // Byte range of the marked record in the telegram (offset, length); (0, 0) when none is.
  std::pair<size_t, size_t> MarkedBytes() const { return marked_; }
  // The marked bytes as the hex view shows them, in order, blank-separated.
  QString MarkedHex() const;

  // Copies the selected records (all when none is selected) with the column titles to the
  // clipboard, tab-separated.
  void CopyRecords();
  // Ask for a file through the window's save dialog and write the records into it.
  void SaveCsv();
  void SaveJson();

  QTableWidget* Records = nullptr;
  QPlainTextEdit* Hex = nullptr;
  QPushButton* CopyButton = nullptr;
  QPushButton* SaveCsvButton = nullptr;
  QPushButton* SaveJsonButton = nullptr;

 private:
  void MarkRecord(int index);
  void SaveAs(const char* caption, const QString& proposedName, const char* filter,
              const char* extension, const std::string& text);
  QString FileBaseName() const;

  TForm1& form_;
  std::string id_;
  std::string addr_;
  bool has_telegram_ = false;
  ByteString telegram_;
  FullDecode decoded_;
  std::array<QLabel*, kFieldCount> fields_{};
  QLabel* notice_ = nullptr;
  std::pair<size_t, size_t> marked_{0, 0};
};

class RecordViews : public QObject {
  Q_OBJECT

 public:
  // Appends "Show records..." to the M-Bus table's context menu and takes the table's
  // double-click and Enter.
  explicit RecordViews(TForm1& form);

  // Hooks of the M-Bus device table: rows written from a decoded telegram, a row removed, the
  // table cleared or loaded from a file.
  void TelegramPlaced(const std::vector<int>& rows, const ByteString& telegram);
  void RowRemoved(int row);
  void TableCleared();

  // Opens the view of the meter in `row` (raises it when it is open already). Writes "Not a
  // valid device selected..." and returns nullptr when the row holds no meter.
  RecordView* Open(int row);
  // The open views.
  std::vector<RecordView*> Views() const;

  const MeterTelegrams& Telegrams() const { return telegrams_; }
  QAction* ShowRecords1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TForm1& form_;
  MeterTelegrams telegrams_;
};

}  // namespace orvio
