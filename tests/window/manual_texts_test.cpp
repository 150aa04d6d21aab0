// The user manual against the real window: every control text the manual names is shown by the
// window.
//
// The manual's marking rule: the caption of a control is quoted in bold double quotes
// (**"Read registers"**): a page, a group, a button, a check box, a label, an entry of a menu or
// of a list, a column header or a control's tip, as the window shows it when it opens, the record
// view and the About box included. Text in plain double quotes is what the program writes
// (messages, log lines, file names, states) or what the user types; such a quote must not equal
// a control text, so that a control is always marked. A quote may run over a line break: blanks
// count as one, and the window's padding blanks are trimmed.
#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>

#include "app/widgets.h"
#include "harness.h"
#include "mbus/record_view.h"

namespace orvio::test {
namespace {

QString Normal(const QString& text) { return QString(text).remove('&').simplified(); }

void AddActions(const QMenu* menu, QSet<QString>& texts) {
  for (const QAction* action : menu->actions()) {
    if (!action->isVisible() || action->isSeparator()) continue;
    texts.insert(Normal(action->text()));
    if (action->menu()) AddActions(action->menu(), texts);
  }
}

// The texts of the shown controls under `root` (itself included).
void AddShownTexts(QWidget* root, QSet<QString>& texts) {
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* w : widgets) {
    if (!w->isVisible()) continue;
    if (!w->toolTip().isEmpty()) texts.insert(Normal(w->toolTip()));
    if (auto* b = qobject_cast<QAbstractButton*>(w)) texts.insert(Normal(b->text()));
    if (auto* l = qobject_cast<QLabel*>(w)) texts.insert(Normal(l->text()));
    if (auto* g = qobject_cast<QGroupBox*>(w)) texts.insert(Normal(g->title()));
    if (auto* t = qobject_cast<QTabWidget*>(w))
      for (int i = 0; i < t->count(); ++i) texts.insert(Normal(t->tabText(i)));
    if (auto* c = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < c->count(); ++i) texts.insert(Normal(c->itemText(i)));
    if (auto* grid = qobject_cast<StringGrid*>(w))
      for (int col = 0; grid->FixedRows() > 0 && col < grid->ColCount(); ++col)
        texts.insert(Normal(grid->CellText(col, 0)));
  }
}

struct ManualQuotes {
  QStringList controls;  // in bold quotes
  QStringList others;    // in plain quotes
};

ManualQuotes ReadManualQuotes() {
  QFile f(ORVIO_MANUAL_MD);
  if (!f.open(QIODevice::ReadOnly)) return {};
  ManualQuotes quotes;
  // Indented code blocks hold commands, not quotes of the window.
  QStringList paragraphs = QString::fromUtf8(f.readAll()).split("\n\n");
  static const QRegularExpression kQuote(R"re((\*\*)?"([^"]+)"(\*\*)?)re");
  for (const QString& paragraph : paragraphs) {
    if (paragraph.startsWith("    ")) continue;
    for (const auto& m : kQuote.globalMatch(paragraph)) {
      const QString text = Normal(m.captured(2));
      (m.captured(1).isEmpty() ? quotes.others : quotes.controls) << text;
    }
  }
  return quotes;
}

using ManualTextsTest = WindowTest;

TEST_F(ManualTextsTest, EveryControlTextOfTheManualIsShownByTheWindow) {
  MakeForm();
  form->show();
  QSet<QString> texts;
  for (int page = 0; page < form->PageControl1->count(); ++page) {
    form->PageControl1->setCurrentIndex(page);
    QCoreApplication::processEvents();
    AddShownTexts(form.get(), texts);
  }
  for (const QAction* menu : form->menuBar()->actions()) {
    texts.insert(Normal(menu->text()));
    if (menu->menu()) AddActions(menu->menu(), texts);
  }
  AddActions(form->ContextMbusMenu, texts);
  AddActions(form->ContextModbusMenu, texts);
  form->About1Click();
  AddShownTexts(form->FAbout, texts);
  RecordView view(*form, "12345678", "1");
  view.ShowTelegram(nullptr);
  view.show();
  AddShownTexts(&view, texts);
  texts.remove("");

  const ManualQuotes quotes = ReadManualQuotes();
  ASSERT_GT(quotes.controls.size(), 150) << "the manual is read and its controls are marked";
  for (const QString& control : quotes.controls)
    EXPECT_TRUE(texts.contains(control))
        << "not in the window: \"" << control.toStdString() << "\"";
  for (const QString& other : quotes.others)
    EXPECT_FALSE(texts.contains(other))
        << "a control's text in plain quotes (mark it bold): \"" << other.toStdString() << "\"";
}

}  // namespace
}  // namespace orvio::test
