// Builds the user manual PDF from its Markdown source with Qt's own text layout.
// Usage: orvio_manual_pdf SOURCE.md OUT.pdf IMAGEDIR...   (the first folder holding an image
// supplies it; run with QT_QPA_PLATFORM=offscreen on a machine without a display).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <cstdio>

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
    // Laid out at a screen-like width; print() scales the page onto the paper.
    const qreal column = 680;
    doc.setPageSize(QSizeF(column, column * 297.0 / 210.0));
    if (!PlaceImages(doc, folders, column - 2 * doc.documentMargin())) return 1;
    doc.print(&writer);
  }  // the writer finishes the file when it goes
  QFile::remove(out);
  if (!QFile::rename(partial, out)) {
    std::fprintf(stderr, "manual: cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("manual: %s, %d pages\n", argv[2], doc.pageCount());
  return 0;
}
