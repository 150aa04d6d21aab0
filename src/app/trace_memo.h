// The trace memo: the window's log of every request, answer and message. Lines written within a
// short while reach the widget together; the view follows the end while it is there; the lines
// read back and save with the pending ones included.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <string>
#include <vector>

namespace orvio {

class TraceMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TraceMemo(QWidget* parent = nullptr);

  // Adds one line; it reaches the widget at most kFlushMs after the first pending line.
  void Add(const QString& line);
  void AddLines(const std::vector<std::string>& lines);
  // Hands the pending lines to the widget now.
  void Flush();
  // Every line, pending ones included.
  QStringList Lines();
  void Clear();
  // Writes every line to `path`, one per line in the local 8-bit encoding, replacing the file
  // only once all is written; false when the file cannot be written.
  bool Save(const QString& path);

  static constexpr int kFlushMs = 20;  // the longest a trace line waits for the widget

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Whether the view is at its end (or was put there and not moved since).
  bool AtEnd() const;
  void ScrollToEnd();

  QStringList pending_;
  bool flushQueued_ = false;
  // Scroll position at which Flush last put the view at its end; -1 once the user left it.
  int endValue_ = 0;
};

}  // namespace orvio
