// The Modbus link: which of the serial port (Modbus RTU through an RS-485 converter switched by
// RTS) and the TCP client (Modbus TCP) is in use, and the bytes received on each. Only this class
// chooses between the two: it sends a request in the framing and pacing of the link in use, keeps
// what arrives, and hands it back raw or unwrapped into RTU form. Opening and closing stay with
// the window's handlers of each link (src/link/serial_handlers.cpp, tcp_handlers.cpp), whose
// texts differ.
#pragma once

#include <QTcpSocket>
#include <cstdint>
#include <functional>
#include <string>

#include "core/bytes.h"
#include "core/modbus/answer.h"
#include "core/modbus/frames.h"
#include "link/serial_link.h"

namespace orvio {

class Link {
 public:
  // State under the design's names; the handlers of each link set its flag.
  bool SerialOpen = false;
  bool TcpConnected = false;
  ByteString SerialRxBuffer;
  ByteString TcpRxBuffer;
  uint16_t TransactionId = 1000;

  // The serial port object and the TCP client the link uses (both owned by the window).
  void Attach(SerialLink* serial, QTcpSocket* socket);
  bool Open() const { return SerialOpen || TcpConnected; }

  // Sends one request of `kind`: over TCP with the next transaction id, else as an RTU frame
  // between RTS on and off with the pacing of its kind. The trace line ("SENT: ...", or the
  // socket's exception) goes to `log` at the point the pacing gives it.
  using Log = std::function<void(const std::string& line)>;
  void Send(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log);

  // The bytes received on the link in use, as they arrived (TCP with its MBAP header).
  const ByteString& Received() const;
  // The answer of the link in use in RTU form (a Modbus TCP answer unwrapped), with the
  // unwrapping's trace line.
  UnwrappedAnswer Answer() const;

  // Empties both receive buffers.
  void Clear();
  // Empties both receive buffers and purges the serial port when it is open.
  void ClearAndPurge();
  // Empties the serial receive buffer and purges the port (commands that use the serial port
  // only).
  void ClearSerialAndPurge();
  // Appends everything the serial port has waiting to its buffer, in arrival order.
  void TakeSerialBytes();
  // Appends everything the socket has waiting to its buffer.
  void TakeTcpBytes();

 private:
  void SendTcp(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log);
  void SendRtu(RequestKind kind, uint8_t slave, const ByteString& pdu, const Log& log);

  SerialLink* serial_ = nullptr;
  QTcpSocket* socket_ = nullptr;
};

}  // namespace orvio
