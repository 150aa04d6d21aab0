// The TCP link: connect with its wait loop, the socket's events and their texts.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QTime>
#include <cerrno>

#include "app/tform1.h"
#include "core/text/link_texts.h"

namespace orvio {

namespace {

// The operating system's error number for a socket error.
int SocketErrno(QAbstractSocket::SocketError e, bool connected) {
  switch (e) {
    case QAbstractSocket::ConnectionRefusedError: return ECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError: return ECONNRESET;
    case QAbstractSocket::HostNotFoundError: return EHOSTUNREACH;
    case QAbstractSocket::SocketAccessError: return EACCES;
    case QAbstractSocket::SocketResourceError: return ENOBUFS;
    case QAbstractSocket::SocketTimeoutError: return ETIMEDOUT;
    case QAbstractSocket::NetworkError: return connected ? ECONNRESET : ENETUNREACH;
    case QAbstractSocket::AddressInUseError: return EADDRINUSE;
    case QAbstractSocket::SocketAddressNotAvailableError: return EADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError: return EOPNOTSUPP;
    default: return EIO;
  }
}

// A gateway that vanishes without closing is noticed after about 15 s instead of two hours.
void EnableKeepAlive(QTcpSocket* s) {
  qintptr fd = s->socketDescriptor();
  if (fd < 0) return;
  int on = 1, idle = 5, interval = 2, count = 5;
  setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

}  // namespace

void TForm1::Butt_connect_xportClick() {
  const QString host = Edit_lanxp_ip->text();
  int port = 502;
  if (!Edit_lanxp_port->text().isEmpty()) {
    bool ok = false;
    port = Edit_lanxp_port->text().toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
      MemoAdd(QString(link_text::kTcpNotSet));
      Xport_socket->abort();
      link.TcpConnected = false;
      return;
    }
  }
  if (link.TcpConnected) return;
  if (Xport_socket->state() != QAbstractSocket::UnconnectedState) Xport_socket->abort();
  Xport_socket->connectToHost(host, static_cast<quint16>(port));
  // The connection's outcome arrives as an event (connected, or the socket's error); the window
  // stays live meanwhile.
  MemoAdd(QString(link_text::kTcpConnecting));
}

void TForm1::BitBtn24Click() {
  if (Xport_socket->state() == QAbstractSocket::UnconnectedState) return;
  Xport_socket->disconnectFromHost();
}

void TForm1::CloseTcpLink() {
  if (Xport_socket->state() != QAbstractSocket::UnconnectedState) Xport_socket->abort();
  link.TcpConnected = false;
}

void TForm1::Xport_socketConnect() {
  EnableKeepAlive(Xport_socket);
  MemoAdd(link_text::kTcpConnectedAt + LongTimeText());
  SetPanel(0, "Connected to " + Edit_lanxp_ip->text());
  link.TcpConnected = true;
  link.TransactionId = 1000;
  Butt_connect_xport->setEnabled(false);
}

void TForm1::Xport_socketDisconnect() {
  MemoAdd(link_text::kTcpDisconnectedAt + LongTimeText());
  SetPanel(0, "Disconnected TCP ");
  link.TcpConnected = false;
  // While the serial port is open, "Connect TCP" stays disabled.
  Butt_connect_xport->setEnabled(!link.SerialOpen);
}

void TForm1::Xport_socketRead() { link.TakeTcpBytes(); }

void TForm1::Xport_socketError(QAbstractSocket::SocketError error) {
  // A peer that closes normally is a disconnection, not an error; a reset is one (the socket
  // layer reports both as the remote host closing).
  if (error == QAbstractSocket::RemoteHostClosedError && !XportEnd->EndedByReset()) return;
  MemoAdd(link_text::kSocketError + QString::number(SocketErrno(error, link.TcpConnected)));
}

}  // namespace orvio
