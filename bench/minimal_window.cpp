// A minimal Qt program with the same kinds and numbers of widgets as Orvio's main window (two tab
// pages, three grids, the memo, the buttons, boxes and edits), used as the yardstick of Orvio's
// start-up time. Exits at its first paint when ORVIO_EXIT_AT_FIRST_PAINT is set.
#include <unistd.h>

#include <QtWidgets>
#include <cstdlib>

namespace {
class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      QTimer::singleShot(0, [] { ::_exit(0); });
    }
    return QObject::eventFilter(o, e);
  }
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow w;
  auto* central = new QWidget;
  auto* v = new QVBoxLayout(central);
  auto* tabs = new QTabWidget;
  auto* page1 = new QWidget;
  auto* page2 = new QWidget;
  tabs->addTab(page1, "Settings");
  tabs->addTab(page2, "Quick read/write");
  v->addWidget(tabs);
  auto* memo = new QPlainTextEdit;
  v->addWidget(memo);
  auto* g1 = new QGridLayout(page1);
  auto* g2 = new QGridLayout(page2);
  g1->addWidget(new QTableWidget(1, 6), 0, 0, 1, 8);
  g2->addWidget(new QTableWidget(1, 8), 0, 0, 1, 8);
  g2->addWidget(new QTableWidget(1, 15), 1, 0, 1, 8);
  int row = 2;
  auto place = [&](QGridLayout* g, QWidget* x, int i) { g->addWidget(x, row + i / 8, i % 8); };
  for (int i = 0; i < 40; ++i)
    place(i % 2 ? g1 : g2, new QPushButton(QString("Button %1").arg(i)), i);
  row += 6;
  for (int i = 0; i < 27; ++i) place(i % 2 ? g1 : g2, new QCheckBox(QString("Box %1").arg(i)), i);
  row += 4;
  for (int i = 0; i < 8; ++i) {
    auto* c = new QComboBox;
    c->setEditable(true);
    c->addItems({"300", "1200", "2400", "4800", "9600", "19200", "38400", "115200"});
    place(g1, c, i);
  }
  row += 2;
  for (int i = 0; i < 12; ++i) place(i % 2 ? g1 : g2, new QLineEdit("1"), i);
  row += 2;
  for (int i = 0; i < 11; ++i) place(i % 2 ? g1 : g2, new QSpinBox, i);
  row += 2;
  for (int i = 0; i < 32; ++i) place(i % 2 ? g1 : g2, new QLabel(QString("Label %1").arg(i)), i);
  w.setCentralWidget(central);
  w.menuBar()->addMenu("File")->addAction("Exit");
  auto* bar = new QStatusBar;
  for (int i = 0; i < 4; ++i) bar->addWidget(new QLabel);
  w.setStatusBar(bar);
  if (std::getenv("ORVIO_EXIT_AT_FIRST_PAINT")) w.installEventFilter(new FirstPaint);
  w.resize(1180, 860);
  w.show();
  return app.exec();
}
