// The real window talking Modbus to the in-process gateway simulator, once over loopback TCP and
// once over the simulator's pseudo-terminal (Modbus RTU). Test suites derived from ModbusLinkTest
// run every case over both links.
#pragma once

#include <QFile>
#include <chrono>
#include <ctime>
#include <string>

#include "sim_link.h"

namespace orvio::test {

using Link = Transport;
inline std::string LinkName(const ::testing::TestParamInfo<Link>& info) {
  return TransportName(info);
}

// Bytes from spaced hex ("01 04 00 64").
inline ByteString Hex(const char* text) { return *ParseHexBytes(text); }

// A known local time for the date/time write: Friday 15 March 2024, 13:45:30.
inline std::tm FixedClock() {
  std::tm t{};
  t.tm_year = 124;
  t.tm_mon = 2;
  t.tm_mday = 15;
  t.tm_hour = 13;
  t.tm_min = 45;
  t.tm_sec = 30;
  t.tm_wday = 5;
  return t;
}

inline QString ReadWhole(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(f.readAll());
}

class ModbusLinkTest : public SimLinkTest {
 protected:
  // Short enough to keep the suite quick, long enough for a loaded machine to answer.
  static constexpr int kModbusTimeoutMs = 300;

  void SetUp() override {
    WindowTest::SetUp();
    StartSim();
    LinkWindow(kModbusTimeoutMs);
    // Registers 100 and 101 answer 0x000A and 0x01FF.
    sim.SetInputRegister(100, 0x000A);
    sim.SetInputRegister(101, 0x01FF);
  }

  // The request as it went on the wire of the link under test: an RTU frame is compared whole,
  // a TCP frame gets its MBAP header from the transaction id.
  ByteString Wire(uint16_t transactionId, const char* rtuBody, const char* rtuCrc) const {
    const ByteString body = Hex(rtuBody);
    if (!Tcp()) return body + Hex(rtuCrc);
    ByteString mbap;
    mbap += static_cast<char>(transactionId >> 8);
    mbap += static_cast<char>(transactionId & 0xFF);
    mbap += std::string(2, '\0');
    mbap += static_cast<char>(body.size() >> 8);
    mbap += static_cast<char>(body.size() & 0xFF);
    return mbap + body;
  }

  // Fills the read controls and presses "Read registers".
  void Read(const QString& first, const QString& count) {
    form->EditInputAddress->setText(first);
    form->EditInputCount->setText(count);
    form->BitBtn3->click();
  }

  int UnmdLines() {
    int n = 0;
    for (const QString& l : Memo())
      if (l.startsWith("UNMD:")) ++n;
    return n;
  }
  // Waits until the collector has written its n-th "UNMD:" line.
  bool WaitUnmd(int n = 1) {
    return WaitFor([&] { return UnmdLines() >= n; });
  }

  // Lets more than one answer time-out pass (to show that nothing happens).
  void PassTimeout() { Pump(kModbusTimeoutMs * 2); }

  QString Cell(int col, int row) { return form->gridInputRegisters->CellText(col, row); }
  int Rows() { return form->gridInputRegisters->RowCount(); }
};

}  // namespace orvio::test
