// The real window linked to the in-process gateway simulator, once over loopback TCP and once over
// the simulator's pseudo-terminal (Modbus RTU): suites derived from SimLinkTest run every case on
// both links.
#pragma once

#include <string>

#include "harness.h"
#include "sim/gateway_sim.h"

namespace orvio::test {

using sim::Transport;

inline std::string TransportName(const ::testing::TestParamInfo<Transport>& info) {
  return info.param == Transport::kTcp ? "Tcp" : "Rtu";
}

class SimLinkTest : public WindowTest, public ::testing::WithParamInterface<Transport> {
 protected:
  sim::GatewaySim sim;

  bool Tcp() const { return GetParam() == Transport::kTcp; }

  // Starts the simulator on the link under test.
  void StartSim() {
    if (Tcp())
      ASSERT_GT(sim.StartTcp(0), 0);
    else
      ASSERT_FALSE(sim.StartRtu().empty());
  }

  // A new window with its controls at their defaults and a short Modbus time-out, linked to the
  // simulator; the memo and the simulator's request log start empty.
  void LinkWindow(int modbusTimeoutMs) {
    if (form) {
      form->close();
      form.reset();
    }
    boxes.clear();
    MakeForm();
    form->UD_modbusTimeout->SetPosition(modbusTimeoutMs);
    if (Tcp())
      ConnectTcp(static_cast<quint16>(sim.TcpPort()));
    else
      OpenSerial(QString::fromStdString(sim.RtuPath()));
    sim.ClearRequests();
    form->MemoClear();
  }

  void TearDown() override {
    WindowTest::TearDown();
    sim.Stop();
  }
};

}  // namespace orvio::test
