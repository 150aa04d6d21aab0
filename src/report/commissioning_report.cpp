#include "report/commissioning_report.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "core/tables/table_headers.h"

namespace orvio {
namespace {

using Rows = std::vector<QStringList>;

QString Text(const std::string& s) { return QString::fromStdString(s); }

QString Header(const char* cell) { return QString::fromLatin1(cell).trimmed(); }

// The read settings of each section, in this order. Read settings of neither list (the bitmap of
// active devices) follow the identity and status ones.
constexpr std::array<std::string_view, 5> kIdentityKeys = {
    "card_version", "identification", "active_devices", "mbus_flags", "working_days"};
constexpr std::array<std::string_view, 8> kNetworkKeys = {
    "ip",           "gateway",   "mask",      "control_ip_1",
    "control_ip_2", "data_ip_1", "data_ip_2", "network_number"};

template <size_t N>
bool Listed(const std::array<std::string_view, N>& keys, const std::string& key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The rows (name, value) of the read settings with the keys given, in the keys' order; with
// `others`, then every read setting of no list.
template <size_t N>
Rows ReadSettingRows(const site::Site& site, const std::array<std::string_view, N>& keys,
                     bool others) {
  Rows rows;
  for (const std::string_view key : keys)
    for (const site::Setting& s : site.settings)
      if (s.source == site::Source::kRead && s.key == key)
        rows.push_back({Text(s.name), Text(s.value)});
  if (others)
    for (const site::Setting& s : site.settings)
      if (s.source == site::Source::kRead && !Listed(kIdentityKeys, s.key) &&
          !Listed(kNetworkKeys, s.key))
        rows.push_back({Text(s.name), Text(s.value)});
  return rows;
}

// Lays the report out in a text document, section by section; `mm` is one millimetre in the
// lengths of its formats.
class Builder {
 public:
  Builder(QTextDocument& doc, qreal mm) : doc_(doc), cursor_(&doc), mm_(mm) {}

  // One edit: the document lays itself out once, at its end, not after each insertion.
  void BeginEdit() { cursor_.beginEditBlock(); }
  void EndEdit() { cursor_.endEditBlock(); }

  void Title(const QString& title, const QString& subtitle) {
    QTextBlockFormat block;
    block.setHeadingLevel(1);
    block.setBottomMargin(1 * mm_);
    Block(block, Font(18, true));
    cursor_.insertText(title);
    block.setBottomMargin(2 * mm_);
    Block(block, Font(13, false));
    cursor_.insertText(subtitle);
  }

  void Heading(const QString& text) {
    QTextBlockFormat block;
    block.setHeadingLevel(2);
    block.setTopMargin(5 * mm_);
    block.setBottomMargin(1.5 * mm_);
    Block(block, Font(12, true));
    heading_ = cursor_.position();
    cursor_.insertText(text);
  }

  void Paragraph(const QString& text) {
    QTextBlockFormat block;
    block.setBottomMargin(1.5 * mm_);
    Block(block, Font(9, false));
    Keep({heading_, cursor_.block().position(), nullptr, false});
    cursor_.insertText(text);
  }

  // A table with a header row that each page it continues on repeats; "none" without rows.
  // `widths` are the columns' shares of the width in percent (empty: as the text needs).
  void Table(const QStringList& headers, const Rows& rows, const std::vector<qreal>& widths = {}) {
    if (rows.empty()) {
      Paragraph(QStringLiteral("none"));
      return;
    }
    QTextTableFormat format = TableFormat();
    format.setHeaderRowCount(1);
    QList<QTextLength> constraints;
    for (const qreal width : widths)
      constraints << QTextLength(QTextLength::PercentageLength, width);
    format.setColumnWidthConstraints(constraints);
    QTextTable* table =
        cursor_.insertTable(static_cast<int>(rows.size()) + 1, headers.size(), format);
    for (int c = 0; c < headers.size(); ++c) {
      QTextTableCell cell = table->cellAt(0, c);
      QTextCharFormat shaded = cell.format();
      shaded.setBackground(QColor(225, 225, 225));
      cell.setFormat(shaded);
      cell.firstCursorPosition().insertText(headers[c], Font(8.5, true));
    }
    const QTextCharFormat body = Font(8.5, false);
    for (size_t r = 0; r < rows.size(); ++r)
      for (int c = 0; c < headers.size() && c < rows[r].size(); ++c) {
        QString text = rows[r][c];
        text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QChar('\r'), QChar('\n'));
        table->cellAt(static_cast<int>(r) + 1, c).firstCursorPosition().insertText(text, body);
      }
    Keep({heading_, 0, table, false});
    cursor_.movePosition(QTextCursor::End);
  }

  // Technician and customer side by side, each with lines for name, date and signature.
  void Signatures() {
    QTextTableFormat format;
    format.setBorder(0);
    format.setCellSpacing(0);
    format.setCellPadding(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 46),
                                      QTextLength(QTextLength::PercentageLength, 8),
                                      QTextLength(QTextLength::PercentageLength, 46)});
    QTextTable* table = cursor_.insertTable(4, 3, format);
    const std::array<QString, 2> parties = {QStringLiteral("Technician"),
                                            QStringLiteral("Customer")};
    const std::array<QString, 3> lines = {QStringLiteral("Name"), QStringLiteral("Date"),
                                          QStringLiteral("Signature")};
    for (int side = 0; side < 2; ++side) {
      const int column = side * 2;
      table->cellAt(0, column).firstCursorPosition().insertText(parties[side], Font(10, true));
      for (int i = 0; i < 3; ++i) {
        QTextTableCell cell = table->cellAt(i + 1, column);
        QTextTableCellFormat line = cell.format().toTableCellFormat();
        line.setTopPadding((i == 2 ? 14 : 9) * mm_);
        line.setBottomBorder(0.25 * mm_);
        line.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        line.setBottomBorderBrush(Qt::black);
        cell.setFormat(line);
        cell.firstCursorPosition().insertText(lines[i], Font(7.5, false));
      }
    }
    Keep({heading_, 0, table, true});
    cursor_.movePosition(QTextCursor::End);
    // The block a document keeps after its last table takes no room, lest it open a page.
    QTextCharFormat tiny = Font(1, false);
    cursor_.setBlockCharFormat(tiny);
    cursor_.setCharFormat(tiny);
  }

  // A heading stays on the page of the start of what it heads (its paragraph, its table's header
  // row and first row, the whole signature block): a heading that would end a page opens the
  // next one instead.
  void KeepHeadingsWithContent(qreal pageHeight) {
    QAbstractTextDocumentLayout* layout = doc_.documentLayout();
    const auto page = [&](qreal y) { return static_cast<int>(y / pageHeight); };
    for (const Kept& kept : keeps_) {
      const QTextBlock heading = doc_.findBlock(kept.heading);
      const qreal top = layout->blockBoundingRect(heading).top();
      qreal end = 0;
      if (!kept.table) {
        end = layout->blockBoundingRect(doc_.findBlock(kept.block)).bottom();
      } else if (kept.wholeTable) {
        end = layout->frameBoundingRect(kept.table).bottom();
      } else {
        // The rectangles of a table's cells leave out where pages break the table (the frame's
        // does not): two rows as tall as the header row, below the frame's top.
        const auto rowTop = [&](int row) {
          return layout->blockBoundingRect(kept.table->cellAt(row, 0).firstCursorPosition().block())
              .top();
        };
        end = layout->frameBoundingRect(kept.table).top() + 2 * (rowTop(1) - rowTop(0));
      }
      if (page(top) == page(end - 0.5)) continue;
      QTextCursor cursor(heading);
      QTextBlockFormat format = heading.blockFormat();
      format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      cursor.setBlockFormat(format);
    }
  }

 private:
  QTextCharFormat Font(qreal points, bool bold) const {
    QTextCharFormat format;
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
  }

  QTextTableFormat TableFormat() const {
    QTextTableFormat format;
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setBorder(1);  // collapsed borders: a thin grid, in the border brush, from 1 up
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(QColor(150, 150, 150));
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(0.8 * mm_);
    format.setBottomMargin(4 * mm_);  // the layout drops the top margin of a block after a table
    return format;
  }

  // A new block of these formats; the empty block a document starts with, or keeps after a
  // table, takes them instead.
  void Block(const QTextBlockFormat& block, const QTextCharFormat& chars) {
    if (cursor_.block().length() > 1) {
      cursor_.insertBlock(block, chars);
      return;
    }
    cursor_.setBlockFormat(block);
    cursor_.setBlockCharFormat(chars);
    cursor_.setCharFormat(chars);
  }

  // What a heading is kept with: a paragraph (a block), or a table's first rows or all of it.
  struct Kept {
    int heading;
    int block;
    QTextTable* table;
    bool wholeTable;
  };

  void Keep(const Kept& kept) {
    if (heading_ >= 0) keeps_.push_back(kept);
    heading_ = -1;
  }

  QTextDocument& doc_;
  QTextCursor cursor_;
  qreal mm_;
  int heading_ = -1;  // the heading whose content comes next
  std::vector<Kept> keeps_;
};

void Build(Builder& b, const site::Site& site) {
  b.BeginEdit();
  b.Title(QStringLiteral("Commissioning report"), Text(site.name));

  b.Heading(QStringLiteral("Site"));
  b.Table({QStringLiteral("Item"), QStringLiteral("Value")},
          {{QStringLiteral("Site"), Text(site.name)},
           {QStringLiteral("Notes"), Text(site.notes)},
           {QStringLiteral("Technician"), Text(site.technician)},
           {QStringLiteral("Date"), Text(site.saved)},
           {QStringLiteral("Orvio version"), Text(site.orvioVersion)}},
          {30, 70});

  const QStringList settingHeaders = {QStringLiteral("Setting"), QStringLiteral("Value")};
  b.Heading(QStringLiteral("Gateway identity and status"));
  b.Table(settingHeaders, ReadSettingRows(site, kIdentityKeys, true), {30, 70});
  b.Heading(QStringLiteral("Network settings"));
  b.Table(settingHeaders, ReadSettingRows(site, kNetworkKeys, false), {30, 70});

  b.Heading(QStringLiteral("Settings written from the program"));
  Rows written;
  for (const site::Setting& s : site.settings)
    if (s.source == site::Source::kWritten)
      written.push_back({Text(s.name), Text(s.value), QStringLiteral("written, not read back")});
  if (!written.empty())
    b.Paragraph(QStringLiteral(
        "The gateway cannot show these settings: their values are those the program wrote."));
  b.Table({QStringLiteral("Setting"), QStringLiteral("Value"), QStringLiteral("Source")}, written,
          {40, 30, 30});

  // The device map's identifying columns, its main value and its status.
  b.Heading(QStringLiteral("Device map"));
  constexpr std::array<size_t, 7> kDeviceColumns = {0, 1, 2, 3, 5, 4, 10};
  QStringList deviceHeaders;
  for (const size_t c : kDeviceColumns) deviceHeaders << Header(kDeviceTableHeaders[c]);
  Rows devices;
  for (const DeviceRowCells& row : site.devices) {
    QStringList cells;
    for (const size_t c : kDeviceColumns) cells << Text(row[c]);
    devices.push_back(cells);
  }
  b.Table(deviceHeaders, devices);

  b.Heading(QStringLiteral("Meters"));
  // kMeterTableHeaders: ID, Addr, Mfr, Value, Unit, Medium, Status, Time.
  const QStringList meterHeaders = {Header(kMeterTableHeaders[0]), Header(kMeterTableHeaders[1]),
                                    Header(kMeterTableHeaders[2]), Header(kMeterTableHeaders[5]),
                                    Header(kMeterTableHeaders[3]), Header(kMeterTableHeaders[4]),
                                    Header(kMeterTableHeaders[6]), Header(kMeterTableHeaders[7])};
  Rows meters;
  for (const site::Meter& m : site.meters)
    meters.push_back({Text(m.id), Text(m.address), Text(m.manufacturer), Text(m.medium),
                      Text(m.value), Text(m.unit), Text(m.status), Text(m.time)});
  b.Table(meterHeaders, meters);

  b.Heading(QStringLiteral("Signatures"));
  b.Signatures();
  b.EndEdit();
}

// One millimetre in the lengths of text formats (margins, paddings, borders). The layout takes
// those in pixels of the screen's resolution and scales them to its paint device, while it takes
// fonts in points: the scale is measured, as the layout applies it.
qreal FormatMillimetre(QPaintDevice* device) {
  QTextDocument probe;
  probe.documentLayout()->setPaintDevice(device);
  probe.setDocumentMargin(0);
  const qreal bare = probe.size().height();
  probe.setDocumentMargin(50);
  const qreal perFormatPixel = (probe.size().height() - bare) / 100;
  return device->logicalDpiY() / 25.4 / perFormatPixel;
}

QString Failure(const QString& path, const QString& reason) {
  return QStringLiteral("Cannot write the commissioning report to %1: %2.").arg(path, reason);
}

}  // namespace

bool WriteCommissioningReport(const site::Site& site, const QString& pdfPath, QString* error) {
  QString ignored;
  if (!error) error = &ignored;
  const QString title = site.name.empty()
                            ? QStringLiteral("Commissioning report")
                            : QStringLiteral("Commissioning report – %1").arg(Text(site.name));

  // Written to a temporary file beside the target, which takes its name only when it is whole.
  QSaveFile file(pdfPath);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = Failure(pdfPath, file.errorString());
    return false;
  }
  {
    QPdfWriter writer(&file);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Orvio"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    const QRectF paper = writer.pageLayout().paintRectPixels(writer.resolution());
    const qreal footer = 8 * writer.resolution() / 25.4;
    const qreal mm = FormatMillimetre(&writer);

    // Qt's own pagination, at the writer's resolution: a line or table row that would cross a
    // page's foot starts the next page, and a table's header row opens each page it goes on.
    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9);
    // No ligatures: "fi" and "fl" stay two letters in the text layer, so that a search for
    // "Identification" or a copied value finds what is printed.
    font.setStyleStrategy(QFont::PreferNoShaping);
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    QTextFrameFormat root = doc.rootFrame()->frameFormat();
    root.setBottomMargin(8 * mm);
    doc.rootFrame()->setFrameFormat(root);
    Builder builder(doc, mm);
    Build(builder, site);
    doc.setPageSize(paper.size());
    builder.KeepHeadingsWithContent(paper.height());

    QPainter painter;
    if (!painter.begin(&writer)) {
      file.cancelWriting();
      *error = Failure(pdfPath, QStringLiteral("the PDF writer could not start"));
      return false;
    }
    QFont footerFont = font;
    footerFont.setPointSizeF(7.5);
    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
      if (i > 0) writer.newPage();
      const QRectF page(0, i * paper.height(), paper.width(), paper.height() - footer);
      painter.save();
      painter.translate(0, -page.top());
      doc.drawContents(&painter, page);
      painter.restore();
      painter.setFont(footerFont);
      painter.setPen(QColor(90, 90, 90));
      const QRectF foot(0, paper.height() - footer, paper.width(), footer);
      painter.drawText(foot, Qt::AlignLeft | Qt::AlignBottom, title);
      painter.drawText(foot, Qt::AlignRight | Qt::AlignBottom,
                       QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
    }
    painter.end();
  }  // the writer has finished the file
  if (!file.commit()) {
    *error = Failure(pdfPath, file.errorString());
    return false;
  }
  return true;
}

}  // namespace orvio
