// The trace memo: the window's log of every request, answer and message. Lines written within a
// short while reach the widget together; the view follows the end while it is there; the lines
// read back and save with the pending ones included.
//
// An unattended session (automatic read every second for a weekend) writes hundreds of thousands
// of lines. The widget shows the latest kVisibleLines of them (up to twice as many between two
// trims: the oldest are dropped in one go, not a few on every append); every line since the last
// Clear is also appended to a spool file (a temporary file, unlinked at once) as it reaches the
// widget, and Save writes that spool whole. Memory stays bounded and the saved log loses nothing.
#pragma once

#include <QByteArray>
#include <QFile>
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
  // The lines the widget holds (the latest kVisibleLines), pending ones included.
  QStringList Lines();
  void Clear();
  // Writes every line since the last Clear to `path`, one per line in the local 8-bit encoding,
  // replacing the file only once all is written; false when the file cannot be written.
  bool Save(const QString& path);
  // How many of the latest lines the widget holds (tests make it small; 0: all of them, which
  // benchmarks use to compare).
  void SetVisibleLines(int lines);

  static constexpr int kFlushMs = 20;          // the longest a trace line waits for the widget
  static constexpr int kVisibleLines = 10000;  // lines the widget holds

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Whether the view is at its end (or was put there and not moved since).
  bool AtEnd() const;
  void ScrollToEnd();
  // Drops the oldest lines down to the latest visibleLines_ when the widget holds more than
  // `above`.
  void Trim(int above);

  // Appends `bytes` to the spool (or, should the spool fail, to memory after it).
  void Spool(const QByteArray& bytes);

  QStringList pending_;
  bool flushQueued_ = false;
  int visibleLines_ = kVisibleLines;
  QFile spool_;           // every line since the last Clear, as Save writes them
  bool spoolOk_ = false;  // the spool file is open and every write so far went through
  QByteArray overflow_;   // lines written after the spool failed
  // Scroll position at which Flush last put the view at its end; -1 once the user left it.
  int endValue_ = 0;
};

}  // namespace orvio
