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
  // Set by a test that closes the serial port itself; any other close of it is a fault.
  bool serialClosedByTest = false;
  int serialLosses = 0;  // the link reported the port lost

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
    if (Tcp()) {
      ConnectTcp(static_cast<quint16>(sim.TcpPort()));
    } else {
      OpenSerial(QString::fromStdString(sim.RtuPath()));
      QObject::connect(form->Comm2, &SerialLink::Lost, form.get(), [this] { ++serialLosses; });
    }
    sim.ClearRequests();
    form->MemoClear();
  }

  // Whatever a test did through the tunnel or the registers, a healthy gateway's serial port
  // stays open: it is never taken for lost.
  void ExpectSerialPortKept() {
    if (Tcp()) return;
    EXPECT_EQ(serialLosses, 0) << "the serial port was taken for lost";
    for (const auto& b : boxes)
      EXPECT_FALSE(b.text.startsWith("Read error")) << b.text.toStdString();
    if (form && !serialClosedByTest) {
      EXPECT_TRUE(form->link.SerialOpen) << "the serial port was closed";
      EXPECT_TRUE(form->Comm2->IsOpen());
    }
  }

  void TearDown() override {
    ExpectSerialPortKept();
    WindowTest::TearDown();
    sim.Stop();
  }
};

}  // namespace orvio::test
