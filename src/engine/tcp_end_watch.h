// Tells a TCP connection reset by the peer from one the peer closed in order. The socket layer
// reports both with one code and has already closed its descriptor when it does; a second
// descriptor of the same connection, kept while the connection is up, still shows how it ended.
#pragma once

#include <QObject>
#include <QTcpSocket>

namespace orvio {

class TcpEndWatch : public QObject {
  Q_OBJECT
 public:
  // Watches every connection `socket` makes; lives as its child.
  explicit TcpEndWatch(QTcpSocket* socket);
  ~TcpEndWatch() override;

  // Whether the last connection ended by a reset (RST) from the peer.
  bool EndedByReset() const;

 private:
  void Release();

  int fd_ = -1;
};

}  // namespace orvio
