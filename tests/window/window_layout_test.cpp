// The window on laptop screens (controls at their sizes, none on top of another, pages that
// scroll, a trace splitter that hides nothing), the tooltips of the controls without a caption,
// and the keyboard shortcuts with their list under Help.
#include <QAbstractSpinBox>
#include <QDialog>
#include <QGroupBox>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTcpServer>
#include <QtTest/QTest>
#include <set>

#include "harness.h"

namespace orvio::test {
namespace {

// Whether `w` is a part of another control (a spin box's edit, a combo box's list, a grid's
// header or scroll bar, a tab bar's scroll buttons) rather than a control of its own.
bool PartOfAControl(const QWidget* w) {
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
    if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p) ||
        qobject_cast<const QTabBar*>(p))
      return true;
    if (qobject_cast<const QAbstractScrollArea*>(p) && !qobject_cast<const QScrollArea*>(p))
      return true;
  }
  return false;
}

bool IsControl(const QWidget* w) {
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLabel*>(w) ||
         qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QProgressBar*>(w) ||
         qobject_cast<const QGroupBox*>(w) || qobject_cast<const QTabBar*>(w);
}

// Controls that show no caption of their own and so need a tooltip.
bool CaptionLess(const QWidget* w) {
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text().isEmpty();
  return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QProgressBar*>(w);
}

std::vector<QWidget*> Controls(QWidget* top) {
  std::vector<QWidget*> out;
  for (QWidget* w : top->findChildren<QWidget*>())
    if (IsControl(w) && !PartOfAControl(w)) out.push_back(w);
  return out;
}

QString Name(const QWidget* w) {
  QString text;
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text();
  if (auto* l = qobject_cast<const QLabel*>(w)) text = l->text();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) text = g->title();
  return QString("%1 \"%2\" %3").arg(w->metaObject()->className(), text, w->toolTip());
}

// The smallest size at which a control shows whole: a button or check box its full caption, any
// other control its minimum.
QSize Smallest(const QWidget* w) {
  if (qobject_cast<const QAbstractButton*>(w)) return w->sizeHint().expandedTo(w->minimumSize());
  const QSize hint = w->minimumSizeHint();
  return {w->minimumWidth() > 0 ? w->minimumWidth() : hint.width(),
          w->minimumHeight() > 0 ? w->minimumHeight() : hint.height()};
}

// The area a control is laid out in: the page it scrolls with, or the window.
QWidget* Region(QWidget* w, QWidget* window) {
  for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
    QWidget* viewport = p->parentWidget();
    auto* scroll = viewport ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
    if (scroll && scroll->widget() == p) return p;
  }
  return window;
}

class WindowLayoutTest : public WindowTest {
 protected:
  void ShowAt(QSize size) {
    form->resize(size);
    form->show();
    Pump(50);
  }

  // Every visible control at least at its smallest size, and no two of them on top of each other.
  void ExpectNothingSqueezedOrCovered(const QString& where) {
    const std::vector<QWidget*> all = Controls(form.get());
    std::vector<QWidget*> shown;
    for (QWidget* w : all)
      if (w->isVisible()) shown.push_back(w);
    ASSERT_GT(shown.size(), 20u) << where.toStdString();
    for (QWidget* w : shown) {
      const QSize need = Smallest(w);
      EXPECT_GE(w->width(), need.width()) << where.toStdString() << ": " << Name(w).toStdString();
      EXPECT_GE(w->height(), need.height()) << where.toStdString() << ": " << Name(w).toStdString();
    }
    for (size_t i = 0; i < shown.size(); ++i)
      for (size_t j = i + 1; j < shown.size(); ++j) {
        QWidget* a = shown[i];
        QWidget* b = shown[j];
        if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
        QWidget* region = Region(a, form.get());
        if (region != Region(b, form.get())) continue;
        const QRect ra(a->mapTo(region, QPoint(0, 0)), a->size());
        const QRect rb(b->mapTo(region, QPoint(0, 0)), b->size());
        EXPECT_FALSE(ra.intersects(rb)) << where.toStdString() << ": " << Name(a).toStdString()
                                        << " covers " << Name(b).toStdString();
      }
  }
};

TEST(FitToScreen, TheDesignedSizeShrinksToTheScreensFreeArea) {
  const struct {
    QSize available;
    QSize expected;
  } cases[] = {
      {{1920, 1050}, {1180, 860}},  // a large screen keeps the designed size
      {{1366, 740}, {1180, 676}},   // 1366 x 768 laptop with a 28-pixel panel
      {{1280, 688}, {1180, 624}},   // 1920 x 1080 at 150 %, a 32-pixel panel
      {{1024, 700}, {1008, 636}},  {{10, 10}, {0, 0}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FitToScreen(QSize(1180, 860), c.available, QSize(16, 64)), c.expected)
        << c.available.width() << "x" << c.available.height();
}

TEST_F(WindowLayoutTest, OnLaptopScreensEveryControlKeepsItsSizeAndNoneCoversAnother) {
  MakeForm();
  // The windows a user gets on a 1366 x 768 laptop and on 1920 x 1080 at 150 % (1280 x 720
  // logical pixels): the starting size and the whole free area, and the 1024 x 700 of the report.
  const QSize sizes[] = {FitToScreen({1180, 860}, {1366, 768}, kWindowDecoration),
                         QSize(1366, 768) - kWindowDecoration,
                         FitToScreen({1180, 860}, {1280, 720}, kWindowDecoration),
                         QSize(1280, 720) - kWindowDecoration, QSize(1024, 700)};
  for (const QSize size : sizes) {
    ShowAt(size);
    ASSERT_EQ(form->size(), size) << "the window's minimum is larger than the screen";
    for (QWidget* page : {form->TabSheet2, form->TabSheet1}) {
      form->PageControl1->setCurrentWidget(page);
      Pump(20);
      ExpectNothingSqueezedOrCovered(
          QString("%1x%2 %3")
              .arg(size.width())
              .arg(size.height())
              .arg(form->PageControl1->tabText(form->PageControl1->indexOf(page))));
    }
  }
}

TEST_F(WindowLayoutTest, APageTooTallForTheWindowScrollsToItsLastControl) {
  MakeForm();
  ShowAt(QSize(1024, 600));
  const struct {
    QWidget* page;
    QWidget* last;
  } pages[] = {{form->TabSheet2, form->Edit_id}, {form->TabSheet1, form->buttonReadModbus}};
  for (const auto& p : pages) {
    form->PageControl1->setCurrentWidget(p.page);
    Pump(20);
    auto* scroll = p.page->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    scroll->ensureWidgetVisible(p.last);
    Pump(20);
    const QRect inView(p.last->mapTo(scroll->viewport(), QPoint(0, 0)), p.last->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(inView)) << Name(p.last).toStdString();
  }
}

TEST_F(WindowLayoutTest, TheWindowStartsWithinTheScreen) {
  MakeForm();
  form->show();
  Pump(20);
  // The test platform's screen is smaller than the designed size.
  const QSize available = form->screen()->availableGeometry().size();
  ASSERT_LT(available.height(), 860);
  EXPECT_EQ(form->size(),
            FitToScreen({1180, 860}, available, kWindowDecoration).expandedTo(form->minimumSize()));
  EXPECT_LE(form->height(), available.height() - kWindowDecoration.height());
}

TEST_F(WindowLayoutTest, TheTraceSplitterHidesNeitherThePagesNorTheMemo) {
  MakeForm();
  ShowAt(QSize(1280, 656));
  QSplitter* split = form->TraceSplitter;
  ASSERT_FALSE(split->childrenCollapsible());
  QSplitterHandle* handle = split->handle(1);
  // The user drags the handle to the top of the window, then to its bottom.
  for (const int targetY : {-2000, 4000}) {
    const QPoint start = handle->rect().center();
    const QPoint end(start.x(), targetY);
    QMouseEvent press(QEvent::MouseButtonPress, start, handle->mapToGlobal(start), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QMouseEvent move(QEvent::MouseMove, end, handle->mapToGlobal(end), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, end, handle->mapToGlobal(end), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &release);
    Pump(20);
    // The handle went as far as it may: to the pages' or the memo's minimum, which is not nothing.
    const QList<int> sizes = split->sizes();
    if (targetY < 0) {
      EXPECT_EQ(sizes[0], form->PageControl1->minimumHeight());
    } else {
      EXPECT_EQ(sizes[1], form->Memo_current->minimumHeight());
    }
    EXPECT_GE(form->PageControl1->height(), form->PageControl1->minimumHeight());
    EXPECT_GE(form->Memo_current->height(), form->Memo_current->minimumHeight());
    // The tab bar and some rows of the page stay, and three lines of the memo.
    EXPECT_GE(form->PageControl1->currentWidget()->height(),
              6 * form->Memo_current->fontMetrics().lineSpacing());
    EXPECT_GE(form->Memo_current->viewport()->height(),
              3 * form->Memo_current->fontMetrics().lineSpacing());
  }
  // Nothing left the window either.
  split->setSizes({0, 100000});
  Pump(20);
  EXPECT_GE(form->PageControl1->height(), form->PageControl1->minimumHeight());
}

TEST_F(WindowLayoutTest, EveryControlWithoutACaptionHasATooltip) {
  MakeForm();
  int checked = 0;
  for (QWidget* w : Controls(form->centralWidget()))
    if (CaptionLess(w)) {
      ++checked;
      EXPECT_FALSE(w->toolTip().trimmed().isEmpty())
          << Name(w).toStdString() << " " << w->objectName().toStdString();
    }
  // Edits, up-downs, combo boxes, the grids, the memo and the arrow button.
  EXPECT_GE(checked, 35);
}

TEST_F(WindowLayoutTest, GridColumnsWidenToTheirTexts) {
  MakeForm();
  form->PageControl1->setCurrentWidget(form->TabSheet1);
  ShowAt(QSize(1366, 704));
  StringGrid* grid = form->GridDevices;
  const QString tariffs = grid->CellText(13, 0);
  ASSERT_EQ(tariffs, "Tarriff Start1/2/3/4-End1/2/3/4 ");
  const QString status = "Main=0406, Aux=0413 0414 0415 0416, Storage 1..15";
  grid->SetRowCount(3);
  grid->SetCellText(10, 1, status);
  ASSERT_TRUE(WaitFor(
      [&] { return grid->columnWidth(10) >= grid->fontMetrics().horizontalAdvance(status); }));
  QFont bold = grid->font();
  bold.setBold(true);
  EXPECT_GE(grid->columnWidth(13), QFontMetrics(bold).horizontalAdvance(tariffs));
  // A short text leaves a column as wide as it was; the user's wider column stays wider.
  const int before = grid->columnWidth(0);
  grid->setColumnWidth(1, 400);
  grid->SetCellText(0, 1, "1");
  grid->SetCellText(1, 1, "2");
  Pump(20);
  EXPECT_EQ(grid->columnWidth(0), before);
  EXPECT_EQ(grid->columnWidth(1), 400);
}

class ShortcutTest : public WindowLayoutTest {
 protected:
  void SetUp() override {
    WindowLayoutTest::SetUp();
    MakeForm();
    answer = QMessageBox::No;  // Exit asks; the window stays
    form->Combo_com2_name->setCurrentText(dir.path() + "/no-such-port");
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    form->Edit_lanxp_ip->setText("127.0.0.1");
    form->Edit_lanxp_port->setText(QString::number(port));
    ShowAt(QSize(1280, 656));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
};

TEST_F(ShortcutTest, KeysAreDistinctAndNoneIsAnEditingKey) {
  const auto& shortcuts = form->Shortcuts();
  ASSERT_GE(shortcuts.size(), 12u);
  std::set<QString> seen;
  std::set<QString> editing;
  for (QKeySequence::StandardKey k : {QKeySequence::Copy,
                                      QKeySequence::Cut,
                                      QKeySequence::Paste,
                                      QKeySequence::Undo,
                                      QKeySequence::Redo,
                                      QKeySequence::SelectAll,
                                      QKeySequence::Delete,
                                      QKeySequence::Backspace,
                                      QKeySequence::DeleteEndOfLine,
                                      QKeySequence::DeleteCompleteLine,
                                      QKeySequence::DeleteStartOfWord,
                                      QKeySequence::DeleteEndOfWord,
                                      QKeySequence::MoveToStartOfLine,
                                      QKeySequence::MoveToEndOfLine,
                                      QKeySequence::MoveToNextChar,
                                      QKeySequence::MoveToPreviousChar,
                                      QKeySequence::MoveToNextWord,
                                      QKeySequence::MoveToPreviousWord,
                                      QKeySequence::InsertParagraphSeparator,
                                      QKeySequence::Deselect,
                                      QKeySequence::Cancel})
    for (const QKeySequence& s : QKeySequence::keyBindings(k)) editing.insert(s.toString());
  // Bindings of the desktops Orvio runs on, whatever this platform says.
  for (const char* s : {"Ctrl+K", "Ctrl+U", "Ctrl+E", "Ctrl+D", "Ctrl+H", "Ctrl+W", "Ctrl+Y",
                        "Ctrl+Shift+Z", "Ctrl+Insert", "Shift+Insert", "Shift+Del", "Esc"})
    editing.insert(QKeySequence(s).toString());
  for (const WindowShortcut& s : shortcuts) {
    const QString keys = s.keys.toString();
    EXPECT_FALSE(s.keys.isEmpty()) << s.what.toStdString();
    EXPECT_TRUE(seen.insert(keys).second) << keys.toStdString() << " twice";
    EXPECT_EQ(editing.count(keys), 0u) << keys.toStdString() << " is an editing key";
    ASSERT_NE(s.installed, nullptr) << s.what.toStdString();
    EXPECT_EQ(s.installed->shortcut(), s.keys);
    EXPECT_EQ(int(s.button != nullptr) + int(s.action != nullptr) + int(s.page != nullptr), 1)
        << s.what.toStdString();
  }
  // The main deeds have keys.
  std::set<QObject*> targets;
  for (const WindowShortcut& s : shortcuts)
    if (s.button) targets.insert(s.button);
  for (QPushButton* b : {form->BitBtn3, form->BitBtn1, form->BitBtn2, form->BitBtn21, form->BitBtn5,
                         form->BitBtn6, form->buttonReadModbus})
    EXPECT_EQ(targets.count(b), 1u) << b->text().toStdString();
}

TEST_F(ShortcutTest, EveryKeyClicksItsButtonOrTriggersItsItemWhereverTheFocusIs) {
  // The focus in an edit, a grid, an up-down and an editable combo box in turn.
  QWidget* focus[] = {form->Edit_command, form->gridLoops, form->UD_timeout, form->Combo_com2_name,
                      form->EditInputAddress};
  size_t n = 0;
  size_t enabledTargets = 0;
  for (const WindowShortcut& s : form->Shortcuts()) {
    QWidget* f = focus[n++ % std::size(focus)];
    for (QWidget* page : {form->TabSheet1, form->TabSheet2})
      if (page->isAncestorOf(f)) form->PageControl1->setCurrentWidget(page);
    if (s.page)  // away from the page the keys show
      form->PageControl1->setCurrentWidget(s.page == form->TabSheet1 ? form->TabSheet2
                                                                     : form->TabSheet1);
    f->setFocus();
    ASSERT_TRUE(WaitFor([&] { return f->hasFocus(); }, 2000)) << s.what.toStdString();
    QWidget* target = QApplication::focusWidget();
    const bool enabled = !s.button || s.button->isEnabled();
    enabledTargets += enabled ? 1 : 0;
    std::unique_ptr<QSignalSpy> spy;
    if (s.button) spy = std::make_unique<QSignalSpy>(s.button, &QAbstractButton::clicked);
    if (s.action) spy = std::make_unique<QSignalSpy>(s.action, &QAction::triggered);
    QTest::keySequence(target, s.keys);
    Pump(5);
    const std::string what = s.what.toStdString() + " (" + s.keys.toString().toStdString() + ")";
    if (spy) {
      EXPECT_EQ(spy->count(), enabled ? 1 : 0) << what;
    }
    if (s.page) {
      EXPECT_EQ(form->PageControl1->currentWidget(), s.page) << what;
    }
    if (s.button && enabled) {
      // The button's page is in front.
      EXPECT_TRUE(s.button->isVisible()) << what;
    }
    ASSERT_TRUE(form->isVisible()) << what;
  }
  // Only "Disconnect TCP" may wait for a connection.
  EXPECT_GE(enabledTargets + 1, form->Shortcuts().size());
}

TEST_F(ShortcutTest, AButtonHeldByARunningOperationIgnoresItsKeys) {
  form->BeginOperation(Op::Scan);
  ASSERT_FALSE(form->BitBtn1->isEnabled());
  QSignalSpy clicked(form->BitBtn1, &QAbstractButton::clicked);
  form->Edit_command->setFocus();
  QTest::keySequence(form->Edit_command, QKeySequence(Qt::Key_F7));
  Pump(5);
  EXPECT_EQ(clicked.count(), 0);
  form->EndOperation(Op::Scan);
}

TEST_F(ShortcutTest, HelpListsEveryShortcutAfterTheExistingItems) {
  QMenu* help = nullptr;
  for (QAction* a : form->menuBar()->actions())
    if (a->text() == "Help") help = a->menu();
  ASSERT_NE(help, nullptr);
  QStringList items;
  for (QAction* a : help->actions()) items << a->text();
  EXPECT_EQ(items, QStringList({"About", "User manual", "Keyboard shortcuts"}));

  form->KeyboardShortcuts1->trigger();
  ASSERT_NE(form->ShortcutsDialog, nullptr);
  EXPECT_TRUE(form->ShortcutsDialog->isVisible());
  EXPECT_EQ(form->ShortcutsDialog->windowTitle(), "Keyboard shortcuts");
  auto* list = form->ShortcutsDialog->findChild<QTableWidget*>("ShortcutList");
  ASSERT_NE(list, nullptr);
  const auto& shortcuts = form->Shortcuts();
  ASSERT_EQ(list->rowCount(), static_cast<int>(shortcuts.size()));
  for (int row = 0; row < list->rowCount(); ++row) {
    const WindowShortcut& s = shortcuts[static_cast<size_t>(row)];
    EXPECT_EQ(list->item(row, 0)->text(), s.what);
    EXPECT_EQ(list->item(row, 1)->text(), s.keys.toString(QKeySequence::NativeText));
  }
  // The whole list is in view at once.
  Pump(20);
  EXPECT_FALSE(list->verticalScrollBar()->isVisible());
  // Shown again, it is the same list.
  form->ShortcutsDialog->hide();
  form->KeyboardShortcuts1->trigger();
  EXPECT_EQ(form->findChildren<QDialog*>("ShortcutsDialog").size(), 1);
}

}  // namespace
}  // namespace orvio::test
