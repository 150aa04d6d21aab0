// The real window against the simulated gateway with a quick M-Bus line: the meter table and the
// telegrams that went out on the line, for the suites of the M-Bus network commands.
#pragma once

#include <string>
#include <vector>

#include "gateway_fixture.h"

namespace orvio::test {

class MbusLineTest : public GatewayWindowTest {
 protected:
  void SetUp() override {
    GatewayWindowTest::SetUp();
    sim.SetLineTime(50ms);
    sim.ClearTunnelLog();
  }

  StringGrid* Loops() { return form->gridLoops; }

  // Telegrams that went out on the M-Bus line, in hex text.
  std::vector<std::string> LineRequests() {
    std::vector<std::string> out;
    for (const auto& e : sim.TunnelLog()) out.push_back(HexText(e.request));
    return out;
  }

  // No tunnel transaction of a scan or a one-meter request is under way.
  bool TunnelIdle() { return !form->Timer_mbus->Enabled() && !form->Timer_mbusRespond->Enabled(); }
};

}  // namespace orvio::test
