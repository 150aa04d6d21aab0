// The real main window linked to the in-process gateway simulator, once over loopback TCP and once
// over a pseudo-terminal (Modbus RTU): tests of the gateway commands run on both links.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "sim_link.h"

namespace orvio::test {

using namespace std::chrono_literals;
// Requests the simulator logged for one function code and start register.
inline std::vector<sim::LoggedRequest> RequestsTo(const sim::GatewaySim& s, int function,
                                                  int address) {
  std::vector<sim::LoggedRequest> out;
  for (const auto& r : s.Requests())
    if (r.function == function && r.address == address) out.push_back(r);
  return out;
}

class GatewayWindowTest : public SimLinkTest {
 protected:
  // Short waits keep a test quick; the sim answers within a few milliseconds on either link.
  static constexpr int kModbusTimeoutMs = 250;

  void SetUp() override {
    WindowTest::SetUp();
    StartSim();
    NewLinkedForm();
  }

  // A new window with its controls at their defaults, linked to the simulator; the simulator's
  // request log and the memo empty.
  void NewLinkedForm() {
    LinkWindow(kModbusTimeoutMs);
    // Configuration writes use the interval the register reader set last (1000 ms at start).
    form->Timer_modbus->SetInterval(kModbusTimeoutMs);
    form->UD_timeout->SetPosition(300);
  }

  bool WaitRequests(size_t n) {
    return WaitFor([&] { return sim.Requests().size() >= n; });
  }

  // Waits until a configuration write's answer was collected (its tick clears the flag).
  bool WaitCommandDone() {
    return WaitFor([&] { return !form->gateway.CommandPending && !form->Timer_modbus->Enabled(); });
  }

  // Memo lines that are neither sent frames nor raw answers.
  QStringList TextLines() {
    QStringList out;
    for (const QString& l : Memo())
      if (!l.startsWith("SENT:") && !l.startsWith("UNMD:") && !l.startsWith("RCVD:")) out << l;
    return out;
  }

  int CountPrefix(const QString& prefix) {
    int n = 0;
    for (const QString& l : Memo())
      if (l.startsWith(prefix)) ++n;
    return n;
  }
};

}  // namespace orvio::test
