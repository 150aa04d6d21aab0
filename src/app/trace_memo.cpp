#include "app/trace_memo.h"

#include <stdlib.h>
#include <unistd.h>

#include <QDir>
#include <QEvent>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>

namespace orvio {

TraceMemo::TraceMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName("Memo_current");
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
  viewport()->installEventFilter(this);
  // The spool: a temporary file, unlinked at once, so that nothing is left behind even when the
  // program is killed; the descriptor keeps it while the memo lives.
  QByteArray name = QFile::encodeName(QDir::tempPath() + "/orvio-trace-XXXXXX");
  const int fd = ::mkstemp(name.data());
  if (fd >= 0) {
    ::unlink(name.constData());
    spoolOk_ = spool_.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle);
    if (!spoolOk_) ::close(fd);
  }
}

void TraceMemo::SetVisibleLines(int lines) {
  visibleLines_ = std::max(0, lines);
  Trim(visibleLines_);
}

void TraceMemo::Trim(int above) {
  const int blocks = blockCount();
  if (visibleLines_ == 0 || blocks <= above) return;
  // The widget is given the latest lines anew: laying out those is cheaper than the document
  // dropping its oldest blocks (in one go or a few on every append). A user reading further up
  // keeps the lines in view.
  const int dropped = blocks - visibleLines_;
  const bool atEnd = AtEnd();
  const int value = verticalScrollBar()->value();
  const QString kept = toPlainText().mid(document()->findBlockByNumber(dropped).position());
  setPlainText(kept);
  if (atEnd) {
    ScrollToEnd();
  } else {
    verticalScrollBar()->setValue(std::max(0, value - dropped));
    endValue_ = -1;
  }
}

void TraceMemo::Spool(const QByteArray& bytes) {
  if (spoolOk_) {
    const qint64 before = spool_.pos();
    if (spool_.write(bytes) == bytes.size()) return;
    // A full disk: what went through of this batch is dropped, the batch kept in memory.
    spool_.resize(before);
    spool_.seek(before);
    spoolOk_ = false;
  }
  overflow_ += bytes;
}

void TraceMemo::Add(const QString& line) {
  // Some messages end in a carriage return of their own ("Error in CRC field\r"). The widget
  // takes a lone CR for a line break, so kept it would add an empty line after the message when
  // it ends a batch and none when it does not; the memo line is the text without it.
  if (line.endsWith(QLatin1Char('\r')))
    pending_ << line.chopped(1);
  else
    pending_ << line;
  if (!flushQueued_) {
    flushQueued_ = true;
    // Lines written within a short while go to the widget together: every hand-over lays out
    // and repaints the memo, and a busy session writes a line or two per event-loop pass.
    // Lines() and Save() take pending lines at once.
    QTimer::singleShot(kFlushMs, this, &TraceMemo::Flush);
  }
}

void TraceMemo::AddLines(const std::vector<std::string>& lines) {
  for (const auto& l : lines) Add(QString::fromStdString(l));
}

void TraceMemo::Flush() {
  flushQueued_ = false;
  if (pending_.isEmpty()) return;
  // One call per batch: laying out each line separately is what makes long sessions slow.
  // The view follows the end while it is there; a user reading further up is not moved.
  const bool atEnd = AtEnd();
  const QString batch = pending_.join('\n');
  appendPlainText(batch);
  Spool(batch.toLocal8Bit() + '\n');
  pending_.clear();
  Trim(2 * visibleLines_);
  if (atEnd)
    ScrollToEnd();
  else
    endValue_ = -1;
}

bool TraceMemo::AtEnd() const {
  // Still where the view was last put at the end counts as the end: a line wider than the view
  // brings up the horizontal scroll bar, which lowers the view by a line and so raises the
  // maximum without the user scrolling anywhere.
  const QScrollBar* bar = verticalScrollBar();
  return bar->value() >= bar->maximum() || bar->value() == endValue_;
}

void TraceMemo::ScrollToEnd() {
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  setTextCursor(end);
  ensureCursorVisible();
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
  endValue_ = bar->value();
}

bool TraceMemo::eventFilter(QObject* watched, QEvent* event) {
  // The view changes height (the horizontal scroll bar comes or goes, the window or the splitter
  // is resized): a view at the end stays at the end once the memo has laid itself out.
  if (watched == viewport() && event->type() == QEvent::Resize && AtEnd())
    QTimer::singleShot(0, this, [this] {
      if (pending_.isEmpty()) ScrollToEnd();
    });
  return QPlainTextEdit::eventFilter(watched, event);
}

QStringList TraceMemo::Lines() {
  Flush();
  Trim(visibleLines_);
  const QString text = toPlainText();
  if (text.isEmpty()) return {};
  return text.split('\n');
}

void TraceMemo::Clear() {
  pending_.clear();
  clear();
  endValue_ = 0;
  overflow_.clear();
  if (spool_.isOpen()) spoolOk_ = spool_.resize(0) && spool_.seek(0);
}

bool TraceMemo::Save(const QString& path) {
  Flush();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (spool_.isOpen() && spool_.size() > 0) {
    // The spool from its start, in pieces, then back to its end for the lines to come.
    const qint64 end = spool_.size();
    bool read = spool_.flush() && spool_.seek(0);
    for (qint64 done = 0; read && done < end;) {
      const QByteArray piece = spool_.read(std::min<qint64>(1 << 20, end - done));
      read = !piece.isEmpty() && file.write(piece) == piece.size();
      done += piece.size();
    }
    if (!spool_.seek(end) || !read) {
      file.cancelWriting();
      return false;
    }
  }
  file.write(overflow_);
  return file.commit();
}

}  // namespace orvio
