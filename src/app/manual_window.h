// The user manual in a window of Orvio's own, for a desktop that cannot open the PDF (no viewer
// installed, no xdg-open): the manual's Markdown source shown as rich text.
#pragma once

#include <QDialog>
#include <QString>
#include <QTextBrowser>

namespace orvio {

class ManualWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ManualWindow(QWidget* parent = nullptr);

  // Shows the Markdown file `path` (pictures looked for beside it; a missing one is shown by its
  // caption). False when the file cannot be read.
  bool Load(const QString& path);

  QTextBrowser* Text = nullptr;
};

}  // namespace orvio
