// Builds the user manual PDF from its Markdown source with Qt's own text layout.
// Usage: orvio_manual_pdf SOURCE.md OUT.pdf IMAGEDIR...   (the first folder holding an image
// supplies it; run with QT_QPA_PLATFORM=offscreen on a machine without a display).
#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextLayout>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace {

QString FindImage(const QString& name, const QStringList& folders) {
  for (const QString& folder : folders) {
    const QString path = QDir(folder).filePath(name);
    if (QFileInfo::exists(path)) return path;
  }
  return {};
}

// Loads every image the text refers to and narrows those wider than the text column. A missing
// image is an error: the manual must not ship with holes in it.
bool PlaceImages(QTextDocument& doc, const QStringList& folders, qreal columnWidth) {
  bool ok = true;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !fragment.charFormat().isImageFormat()) continue;
      QTextImageFormat format = fragment.charFormat().toImageFormat();
      const QString path = FindImage(format.name(), folders);
      const QImage image(path);
      if (path.isEmpty() || image.isNull()) {
        std::fprintf(stderr, "manual: image %s not found\n", qPrintable(format.name()));
        ok = false;
        continue;
      }
      doc.addResource(QTextDocument::ImageResource, QUrl(format.name()), image);
      const qreal width = std::min<qreal>(image.width(), columnWidth);
      format.setWidth(width);
      format.setHeight(image.height() * width / image.width());
      QTextCursor cursor(&doc);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(format);
    }
  }
  return ok;
}

// A stretch of the laid-out text that no page break may cut, in the document's units.
struct Span {
  qreal top;
  qreal bottom;
};

// Where the lines of `block` lie in the document: one span per line.
std::vector<Span> LineSpans(const QTextDocument& doc, const QTextBlock& block) {
  std::vector<Span> spans;
  const QTextLayout* layout = block.layout();
  if (!layout) return spans;
  const QRectF box = doc.documentLayout()->blockBoundingRect(block);
  const qreal origin = box.top() - layout->boundingRect().top();
  for (int i = 0; i < layout->lineCount(); ++i) {
    const QTextLine line = layout->lineAt(i);
    spans.push_back({origin + line.y(), origin + line.y() + line.height()});
  }
  return spans;
}

// A line of a code block (Qt's Markdown reader marks them with a code language, empty for an
// indented block).
bool IsCode(const QTextBlock& block) {
  return block.blockFormat().hasProperty(QTextFormat::BlockCodeLanguage);
}

// Code lines are commands to copy: none is wrapped. Every code block keeps its lines whole and
// all take one font size, the largest up to their own at which the widest line fits the column.
void KeepCodeLinesWhole(QTextDocument& doc, qreal columnWidth) {
  qreal scale = 1;
  std::vector<QTextBlock> code;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    if (!IsCode(block)) continue;
    code.push_back(block);
    const QTextCharFormat format = block.begin().fragment().charFormat();
    const qreal width = QFontMetricsF(format.font()).horizontalAdvance(block.text());
    const qreal room = columnWidth - block.blockFormat().leftMargin() -
                       block.blockFormat().indent() * doc.indentWidth() - 4;
    if (width > room) scale = std::min(scale, room / width);
  }
  for (const QTextBlock& block : code) {
    QTextCursor cursor(block);
    QTextBlockFormat blockFormat = block.blockFormat();
    blockFormat.setNonBreakableLines(true);
    cursor.setBlockFormat(blockFormat);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      QTextCharFormat format = fragment.charFormat();
      const QFont font = format.font();
      const qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : doc.defaultFont().pointSizeF();
      format.setFontPointSize(std::floor(size * scale * 4) / 4);
      QTextCursor part(&doc);
      part.setPosition(fragment.position());
      part.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      part.setCharFormat(format);
    }
  }
}

// Inline code (a command, a path, an option in the text) is not broken over two lines: a span the
// layout breaks starts a new line instead. Its blanks stay plain blanks, so that a command copied
// from the PDF still runs.
void KeepInlineCodeWhole(QTextDocument& doc) {
  for (int moves = 0; moves < 1000; ++moves) {
    doc.size();  // lays the document out anew after the last move
    std::optional<int> breakAt;
    for (QTextBlock block = doc.begin(); block.isValid() && !breakAt; block = block.next()) {
      const QTextLayout* layout = block.layout();
      if (!layout || IsCode(block)) continue;
      for (auto it = block.begin(); !it.atEnd() && !breakAt; ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.charFormat().fontFixedPitch()) continue;
        const int start = fragment.position() - block.position();
        const QTextLine first = layout->lineForTextPosition(start);
        const QTextLine last = layout->lineForTextPosition(start + fragment.length() - 1);
        if (first.isValid() && last.isValid() && first.lineNumber() != last.lineNumber() &&
            first.textStart() != start)
          breakAt = fragment.position();
      }
    }
    if (!breakAt) return;
    QTextCursor cursor(&doc);
    cursor.setPosition(*breakAt);
    cursor.insertText(QString(QChar::LineSeparator));
  }
}

// The spans of the laid-out document that a page break must not cut: every paragraph, list item
// and code line as a whole; every table row as a whole; a table's header row together with the
// row after it; a heading together with the first line after it.
std::vector<Span> UnbreakableSpans(const QTextDocument& doc) {
  std::vector<Span> spans;
  std::map<std::pair<const QTextTable*, int>, Span> rows;
  qreal headingTop = -1;  // of the heading just before; -1 after other text
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    const std::vector<Span> lines = LineSpans(doc, block);
    if (lines.empty()) continue;
    const QTextTable* table = QTextCursor(block).currentTable();
    Span first = lines.front();
    if (table) {
      const QTextTableCell cell = table->cellAt(block.position());
      Span& row = rows.try_emplace({table, cell.row()}, lines.front()).first->second;
      for (const Span& line : lines) {
        row.top = std::min(row.top, line.top);
        row.bottom = std::max(row.bottom, line.bottom);
      }
      first = row;
    } else {
      // A paragraph is not cut either: a page drawn from inside a paragraph would repeat the
      // line above its top (Qt draws one line of a block more than the clip holds).
      spans.push_back({lines.front().top, lines.back().bottom});
    }
    if (headingTop >= 0) spans.push_back({headingTop, first.bottom});
    headingTop = block.blockFormat().headingLevel() > 0 ? lines.front().top : -1;
  }
  for (const auto& [key, row] : rows) {
    spans.push_back(row);
    if (key.second == 0) {
      const auto next = rows.find({key.first, 1});
      if (next != rows.end()) spans.push_back({row.top, next->second.bottom});
    }
  }
  return spans;
}

// Page breaks: each page as deep as it may be, cut only between spans (in the middle of the gap
// between two of them), so that no line is drawn on two pages.
std::vector<Span> Pages(std::vector<Span> spans, qreal documentHeight, qreal pageHeight) {
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.top < b.top; });
  std::vector<qreal> cuts;
  qreal reached = 0;
  for (const Span& span : spans) {
    if (span.top >= reached) cuts.push_back((reached + span.top) / 2);
    reached = std::max(reached, span.bottom);
  }
  std::vector<Span> pages;
  qreal top = 0;
  while (documentHeight - top > pageHeight) {
    qreal cut = top + pageHeight;  // a span taller than a page is cut where the page ends
    const auto after = std::upper_bound(cuts.begin(), cuts.end(), top + pageHeight);
    if (after != cuts.begin() && *(after - 1) > top) cut = *(after - 1);
    pages.push_back({top, cut});
    top = cut;
  }
  pages.push_back({top, documentHeight});
  return pages;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: orvio_manual_pdf SOURCE.md OUT.pdf IMAGEDIR...\n");
    return 2;
  }
  QFile source(QString::fromLocal8Bit(argv[1]));
  if (!source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "manual: cannot read %s\n", argv[1]);
    return 1;
  }
  QStringList folders;
  for (int i = 3; i < argc; ++i) folders << QString::fromLocal8Bit(argv[i]);

  const QString out = QString::fromLocal8Bit(argv[2]);
  const QString partial = out + ".part";
  QTextDocument doc;
  size_t pageCount = 0;
  {
    QPdfWriter writer(partial);
    writer.setTitle("Orvio user manual");
    writer.setCreator("Orvio");
    writer.setResolution(150);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter));

    QFont font("DejaVu Sans");
    font.setPointSizeF(9.5);
    doc.setDefaultFont(font);
    doc.setMarkdown(QString::fromUtf8(source.readAll()));
    // Laid out at a screen-like width in one long column, then cut into pages here: Qt's own
    // pagination lets a line that crosses a page's foot be drawn on both pages.
    const qreal column = 680;
    doc.setTextWidth(column);
    const qreal text = column - 2 * doc.documentMargin();
    if (!PlaceImages(doc, folders, text)) return 1;
    KeepCodeLinesWhole(doc, text);
    KeepInlineCodeWhole(doc);

    const QRectF paper = writer.pageLayout().paintRectPixels(writer.resolution());
    const qreal scale = paper.width() / column;
    const std::vector<Span> pages =
        Pages(UnbreakableSpans(doc), doc.size().height(), paper.height() / scale);
    QPainter painter(&writer);
    for (size_t i = 0; i < pages.size(); ++i) {
      if (i > 0) writer.newPage();
      painter.save();
      painter.scale(scale, scale);
      painter.translate(0, -pages[i].top);
      // Lines that only touch the page's edges belong to the page before or after.
      doc.drawContents(&painter,
                       QRectF(0, pages[i].top + 0.5, column, pages[i].bottom - pages[i].top - 1));
      painter.restore();
    }
    pageCount = pages.size();
  }  // the painter and the writer finish the file when they go
  QFile::remove(out);
  if (!QFile::rename(partial, out)) {
    std::fprintf(stderr, "manual: cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("manual: %s, %zu pages\n", argv[2], pageCount);
  return 0;
}
