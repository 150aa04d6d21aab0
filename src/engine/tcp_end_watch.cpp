#include "engine/tcp_end_watch.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvio {

TcpEndWatch::TcpEndWatch(QTcpSocket* socket) : QObject(socket) {
  connect(socket, &QTcpSocket::connected, this, [this, socket] {
    Release();
    const qintptr fd = socket->socketDescriptor();
    if (fd >= 0) fd_ = ::fcntl(static_cast<int>(fd), F_DUPFD_CLOEXEC, 0);
  });
  // Released once the error and disconnect handlers have run: until then the copy keeps the
  // connection's end state readable. Closing the copy also completes a close the socket layer
  // started, since the connection ends with its last descriptor.
  connect(socket, &QTcpSocket::disconnected, this, &TcpEndWatch::Release, Qt::QueuedConnection);
}

TcpEndWatch::~TcpEndWatch() { Release(); }

void TcpEndWatch::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool TcpEndWatch::EndedByReset() const {
  if (fd_ < 0) return false;
  tcp_info info{};
  socklen_t len = sizeof info;
  if (::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &len) != 0) return false;
  // A reset takes the connection straight to CLOSE; a peer's orderly close leaves CLOSE_WAIT.
  return info.tcpi_state == TCP_CLOSE;
}

}  // namespace orvio
