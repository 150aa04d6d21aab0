#include "app/manual_window.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace orvio {

ManualWindow::ManualWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("ManualWindow");
  setWindowTitle("Orvio -> User manual");
  auto* v = new QVBoxLayout(this);
  Text = new QTextBrowser(this);
  Text->setOpenExternalLinks(true);
  v->addWidget(Text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  v->addWidget(buttons);
  resize(820, 700);
}

bool ManualWindow::Load(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  QString markdown = QString::fromUtf8(f.readAll());
  const QString folder = QFileInfo(path).absolutePath();
  // Pictures that are not installed beside the text are shown by their caption.
  static const QRegularExpression kImage(R"(!\[([^\]]*)\]\(([^)\s]+)\))");
  QString shown;
  qsizetype at = 0;
  for (auto it = kImage.globalMatch(markdown); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    shown += markdown.mid(at, m.capturedStart() - at);
    const bool present = QFileInfo::exists(folder + "/" + m.captured(2));
    shown += present ? m.captured(0) : "*(" + m.captured(1) + ")*";
    at = m.capturedEnd();
  }
  shown += markdown.mid(at);
  Text->setSearchPaths({folder});
  Text->setMarkdown(shown);
  return true;
}

}  // namespace orvio
