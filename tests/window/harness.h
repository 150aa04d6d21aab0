// Test harness for the real main window: a TForm1 in a temporary folder, message boxes and file
// dialogs answered through the window's seam, and waits on conditions with generous bounds.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/tfabout.h"
#include "app/tform1.h"

namespace orvio::test {

struct ShownBox {
  QString caption;
  QString text;
  bool owned;           // shown with the main window as owner
  QString informative;  // the text below the message ("" when none)
};

// Processes events until `cond` holds or `ms` pass; returns whether it holds.
inline bool WaitFor(const std::function<bool()>& cond, int ms = 10000) {
  QElapsedTimer t;
  t.start();
  while (!cond()) {
    if (t.elapsed() > ms) return cond();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

// Lets the event loop run for a while (only where nothing must happen, e.g. no second send).
inline void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
}

// A time of day as the window writes it under the C locale the tests run in: hours, minutes and
// seconds, and nothing after them (no time-zone name).
inline bool IsTimeOfDay(const QString& text) {
  static const QRegularExpression kTime("^\\d\\d:\\d\\d:\\d\\d$");
  return kTime.match(text).hasMatch();
}

class WindowTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  std::unique_ptr<TForm1> form;
  std::vector<ShownBox> boxes;
  QMessageBox::StandardButton answer = QMessageBox::Yes;
  QString saveAnswer;  // path returned by the save dialog ("" = cancel)
  QString openAnswer;
  QString proposedName;  // name the last save dialog proposed
  std::vector<QString> openedDocuments;
  bool documentOpens = true;  // what the desktop answers to openDocument

  QString IniPath() const { return dir.path() + "/orvio.ini"; }

  // Writes the settings file before the window starts.
  void WriteIni(const QByteArray& text) {
    QFile f(IniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }

  // Creates the window (and runs start-up unless told not to).
  void MakeForm(bool runFormCreate = true) {
    form = std::make_unique<TForm1>(dir.path(), IniPath());
    form->FAbout = new TFAbout(form.get());
    form->seam.messageBox = [this](QWidget* owner, const QString& caption, const QString& text,
                                   QMessageBox::Icon, QMessageBox::StandardButtons) {
      boxes.push_back({caption, text, owner != nullptr, QString()});
      return answer;
    };
    form->seam.messageBoxInformative = [this](QWidget* owner, const QString& caption,
                                              const QString& text, const QString& informative,
                                              QMessageBox::Icon, QMessageBox::StandardButtons) {
      boxes.push_back({caption, text, owner != nullptr, informative});
      return answer;
    };
    form->seam.saveFile = [this](QWidget*, const QString&, const QString&, const QString& name,
                                 const QString&, const QString&) {
      proposedName = name;
      return saveAnswer;
    };
    form->seam.openFile = [this](QWidget*, const QString&, const QString&, const QString&) {
      return openAnswer;
    };
    form->seam.openDocument = [this](const QString& path) {
      openedDocuments.push_back(path);
      return documentOpens;
    };
    if (runFormCreate) form->FormCreate();
    // The suites that pin waits and orders of lines run once more with fixed waits.
    if (qEnvironmentVariableIntValue("ORVIO_TEST_FIXED_WAITS") != 0)
      form->CheckFinishEarly->setChecked(false);
  }

  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  void TearDown() override {
    if (form) {
      form->close();
      form.reset();
    }
  }

  QStringList Memo() { return form->MemoLines(); }
  bool MemoHas(const QString& line) { return Memo().contains(line); }
  bool MemoHasPrefix(const QString& prefix) {
    for (const QString& l : Memo())
      if (l.startsWith(prefix)) return true;
    return false;
  }
  int MemoCount(const QString& line) { return static_cast<int>(Memo().count(line)); }
  bool WaitMemo(const QString& line, int ms = 10000) {
    return WaitFor([&] { return MemoHas(line); }, ms);
  }
  bool WaitMemoPrefix(const QString& prefix, int ms = 10000) {
    return WaitFor([&] { return MemoHasPrefix(prefix); }, ms);
  }
  bool HasBox(const QString& caption, const QString& text) {
    for (const auto& b : boxes)
      if (b.caption == caption && b.text == text) return true;
    return false;
  }

  // Connects the TCP link to a loopback port and waits for the connection.
  void ConnectTcp(quint16 port) {
    form->Edit_lanxp_ip->setText("127.0.0.1");
    form->Edit_lanxp_port->setText(QString::number(port));
    form->UD_eth_timeout->SetPosition(30);
    form->Butt_connect_xportClick();
    ASSERT_TRUE(WaitFor([&] { return form->link.TcpConnected; }));
  }

  // Opens the serial link on a device path.
  void OpenSerial(const QString& path) {
    form->Combo_com2_name->setCurrentText(path);
    form->ToggleSerialPort();
    ASSERT_TRUE(form->link.SerialOpen);
  }
};

}  // namespace orvio::test
