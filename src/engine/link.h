// The Modbus link: which of the serial port (Modbus RTU through an RS-485 converter switched by
// RTS) and the TCP client (Modbus TCP) is in use, and the bytes received on each. Only this class
// chooses between the two: it sends a request in the framing and pacing of the link in use, keeps
// what arrives, and hands it back raw or unwrapped into RTU form. Opening and closing stay with
// the front end's handlers of each link, whose texts differ.
//
// Every request sent since the receive buffers were last emptied is remembered, so that the link
// knows when their answers are complete. A wait for an answer bound to the link (a DTimer, `Arm`)
// then ends at once when finishing early is on; otherwise it runs its whole time.
//
// Serial frames leave the port on timers, with the pacing of their kind, while the event loop
// runs on: nothing sleeps. The trace line is written when the request is sent; a wait armed while
// the frame is still leaving starts its countdown anew once the last byte is out.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/modbus/answer.h"
#include "core/modbus/frames.h"
#include "engine/serial_link.h"
#include "engine/wait_timer.h"

namespace orvio {

class Link : public QObject {
  Q_OBJECT
 public:
  Link();

  // State under the design's names; the handlers of each link set its flag.
  bool SerialOpen = false;
  bool TcpConnected = false;
  ByteString SerialRxBuffer;
  ByteString TcpRxBuffer;
  uint16_t TransactionId = 1000;

  // The serial port object and the TCP client the link uses (both owned by the front end).
  void Attach(SerialLink* serial, QTcpSocket* socket);
  bool Open() const { return SerialOpen || TcpConnected; }

  // Whether a wait bound to the link ends as soon as the answers are complete (default), or
  // always runs its whole time.
  void SetFinishEarly(bool on) { finishEarly_ = on; }
  bool FinishEarly() const { return finishEarly_; }

  // Sends one request of `kind`: over TCP with the next transaction id, else as an RTU frame
  // between RTS on and off with the pacing of its kind. The trace line ("SENT: ...", or the
  // socket's exception) goes to `log` before this returns.
  using Log = std::function<void(const std::string& line)>;
  void Send(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log);
  // Writes bytes typed by hand to the serial port as they are (no RTS, no checksum added). When
  // they form a request with a known answer rule, its answer ends a wait like any other.
  bool SendRaw(const ByteString& bytes);

  // `wait` has just started after the requests sent so far.
  void Arm(DTimer* wait);
  // True while a serial frame is still leaving the port (any thread).
  bool Transmitting() const { return transmitting_.load(); }

  // The bytes received on the link in use, as they arrived (TCP with its MBAP header).
  const ByteString& Received() const;
  // The answer of the link in use in RTU form (a Modbus TCP answer unwrapped), with the
  // unwrapping's trace line.
  UnwrappedAnswer Answer() const;

  // Empties both receive buffers.
  void Clear();
  // Empties both receive buffers and purges the serial port when it is open (its receive side
  // only while a frame is still leaving).
  void ClearAndPurge();
  // Empties the serial receive buffer and purges the port (commands that use the serial port
  // only).
  void ClearSerialAndPurge();
  // Appends everything the serial port has waiting to its buffer, in arrival order.
  void TakeSerialBytes();
  // Appends everything the socket has waiting to its buffer.
  void TakeTcpBytes();
  // Drops the frames still waiting to leave the serial port (the port is being closed).
  void DropOutgoing();

 private:
  struct Outgoing {
    ByteString frame;
    int leadMs = 0;     // between RTS on and the first byte
    int perByteMs = 0;  // after each byte
    size_t written = 0;
    bool rtsRaised = false;
  };
  void SendTcp(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log);
  void SendRtu(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log);
  void Forget();
  // Purges the serial port: its receive side only while a frame is still leaving.
  void PurgeSerial();
  void Pace();
  void FrameLeft();
  void CheckAnswer();

  SerialLink* serial_ = nullptr;
  QTcpSocket* socket_ = nullptr;
  bool finishEarly_ = true;
  std::vector<ByteString> rtuRequests_;
  std::vector<uint16_t> tcpRequests_;
  QPointer<DTimer> armed_;  // the wait a complete answer ends
  std::vector<QPointer<DTimer>> startedWhileSending_;
  std::deque<Outgoing> outgoing_;
  QTimer paceTimer_;
  std::atomic<bool> transmitting_{false};
};

}  // namespace orvio
