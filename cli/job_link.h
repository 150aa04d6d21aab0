// The command line's side of the request engine: one link to the gateway (TCP client or serial
// port), the waits bound to it, the tunnel transaction, and requests that run to their end on a
// local event loop, so that a job reads as a sequence of requests. A stop (SIGINT, SIGTERM) ends
// the wait or transaction that runs, as STOP does in the window.
#pragma once

#include <QEventLoop>
#include <QTcpSocket>
#include <cstdint>
#include <functional>
#include <string>

#include "core/bytes.h"
#include "core/gateway/gateway_request.h"
#include "engine/exchange.h"
#include "engine/link.h"
#include "engine/serial_link.h"
#include "engine/trace.h"
#include "engine/tunnel.h"
#include "engine/wait_timer.h"

namespace orvio::cli {

struct SerialSettings {
  std::string path;
  int baud = 9600;
  QSerialPort::Parity parity = QSerialPort::NoParity;
  QSerialPort::StopBits stop = QSerialPort::OneStop;
};

class JobLink {
 public:
  explicit JobLink(Trace& trace);
  ~JobLink();

  // Open the link; "" or why it cannot be had (the system's reason).
  std::string OpenTcp(const std::string& host, uint16_t port, int timeoutMs);
  std::string OpenSerial(const SerialSettings& settings);
  // The folders searched for lock files (tests point them elsewhere).
  void SetLockDirectories(const QStringList& dirs) { serial_.SetLockDirectories(dirs); }

  void SetUnit(uint8_t unit) { unit_ = unit; }
  uint8_t Unit() const { return unit_; }
  void SetTimeoutMs(int ms) { timeoutMs_ = ms; }
  int TimeoutMs() const { return timeoutMs_; }
  void SetFinishEarly(bool on) { link_.SetFinishEarly(on); }

  // Sends the request after emptying the buffers, waits the Modbus time-out (ended early by a
  // complete answer when finishing early is on) and returns the answer in RTU form (empty when
  // none came). The "SENT:" line goes to the trace.
  ByteString Request(const GatewayRequest& request);

  // Writes the M-Bus telegram to the tunnel block and runs the tunnel transaction to its end.
  TunnelResult Tunnel(const ByteString& telegram, const TunnelSetup& setup);
  // After a transaction that ended without status: whether the gateway itself failed (no answer
  // to the status read, or one that failed its checks), not merely the meter.
  bool StatusReadFailed() const;

  // Starts a job of the engine with `start`, which calls `finished` when the job has ended, and
  // runs the event loop until then or until a stop. The jobs wait on ModbusAnswer and send with
  // SendRequest.
  void Run(const std::function<void(const std::function<void()>& finished)>& start);
  Link& Engine() { return link_; }
  Exchange& ModbusAnswer() { return modbusAnswer_; }
  // Sends a request to the unit (the "SENT:" line to the trace).
  void SendRequest(const GatewayRequest& request);

  // Ends the running wait or transaction; every later request returns at once.
  void Stop();
  bool Stopped() const { return stopped_; }

 private:
  void RunUntil(const bool& done);

  Trace& trace_;
  SerialLink serial_;
  QTcpSocket socket_;
  Link link_;
  DTimer modbusWait_;
  DTimer scanWait_;
  DTimer answerWait_;
  TunnelTransaction tunnel_;
  Exchange modbusAnswer_;
  QEventLoop loop_;
  uint8_t unit_ = 1;
  int timeoutMs_ = 600;
  bool stopped_ = false;
};

}  // namespace orvio::cli
