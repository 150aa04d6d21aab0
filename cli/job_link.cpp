#include "cli/job_link.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>
#include <cerrno>
#include <cstring>

#include "core/mbus/requests.h"
#include "core/modbus/frames.h"

namespace orvio::cli {

JobLink::JobLink(Trace& trace)
    : trace_(trace),
      modbusWait_(nullptr),
      scanWait_(nullptr),
      answerWait_(nullptr),
      tunnel_(link_, scanWait_, answerWait_, trace),
      modbusAnswer_(link_, modbusWait_, trace) {
  link_.Attach(&serial_, &socket_);
  modbusWait_.WaitOn(&link_, DTimer::Ends::kWithAnswer);
  scanWait_.WaitOn(&link_, DTimer::Ends::kAfterInterval);
  answerWait_.WaitOn(&link_, DTimer::Ends::kWithAnswer);
  QObject::connect(&modbusWait_, &DTimer::Timer, [this] { modbusAnswer_.WaitOver(); });
  QObject::connect(&scanWait_, &DTimer::Timer, [this] { tunnel_.ScanWaitOver(); });
  QObject::connect(&answerWait_, &DTimer::Timer, [this] { tunnel_.AnswerWaitOver(); });
  QObject::connect(&serial_, &SerialLink::RxChar, [this](int) { link_.TakeSerialBytes(); });
  QObject::connect(&serial_, &SerialLink::Lost, [this](const QString& message) {
    trace_.Line(message.toStdString());
    link_.SerialOpen = false;
  });
  QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { link_.TakeTcpBytes(); });
}

JobLink::~JobLink() {
  // Closing the socket on the way out is no news from the gateway.
  QObject::disconnect(&socket_, nullptr, nullptr, nullptr);
  link_.DropOutgoing();
  serial_.Close();
}

void JobLink::RunUntil(const bool& done) {
  while (!done && !stopped_) loop_.exec();
}

std::string JobLink::OpenTcp(const std::string& host, uint16_t port, int timeoutMs) {
  bool over = false;
  QTimer limit;
  limit.setSingleShot(true);
  const auto end = [&] {
    over = true;
    loop_.quit();
  };
  QObject::connect(&limit, &QTimer::timeout, end);
  const auto c1 = QObject::connect(&socket_, &QTcpSocket::connected, end);
  const auto c2 = QObject::connect(&socket_, &QTcpSocket::errorOccurred, end);
  socket_.connectToHost(QString::fromStdString(host), port);
  limit.start(timeoutMs);
  RunUntil(over);
  QObject::disconnect(c1);
  QObject::disconnect(c2);
  const std::string where = host + ":" + std::to_string(port);
  if (socket_.state() != QAbstractSocket::ConnectedState) {
    const std::string why = limit.isActive() ? socket_.errorString().toStdString()
                                             : (stopped_ ? "stopped" : "no answer in time");
    socket_.abort();
    return "cannot connect to " + where + ": " + why;
  }
  link_.TcpConnected = true;
  QObject::connect(&socket_, &QTcpSocket::disconnected, [this] {
    link_.TcpConnected = false;
    trace_.Line("TCP connection closed by the gateway");
  });
  return {};
}

std::string JobLink::OpenSerial(const SerialSettings& s) {
  const QString device = SerialDevicePath(QString::fromStdString(s.path));
  const std::string dev = device.toStdString();
  struct stat st {};
  if (::stat(dev.c_str(), &st) != 0) return "cannot open " + dev + ": " + std::strerror(errno);
  if (const auto pid = serial_.LockingProcess(device))
    return "cannot open " + dev + ": locked by another program (PID " + std::to_string(*pid) + ")";
  if (!serial_.Probe(device)) {
    // Why the port cannot be had: the system's reason for refusing it, or another holder.
    const int fd = ::open(dev.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      const int err = errno;
      std::string why = std::strerror(err);
      if (err == EACCES || err == EPERM)
        why +=
            " (serial ports need membership in the group dialout: sudo adduser $USER dialout, "
            "then log in again)";
      else if (err == EBUSY)
        why += " (in use by another program)";
      return "cannot open " + dev + ": " + why;
    }
    const bool flocked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return "cannot open " + dev + ": " +
           (flocked ? "in use by another program" : "locked by another program");
  }
  QString error;
  if (!serial_.Open(device, s.baud, s.parity, s.stop, &error))
    return "cannot open " + dev + ": " + error.toStdString();
  link_.SerialOpen = true;
  return {};
}

void JobLink::SendRequest(const GatewayRequest& r) {
  const auto log = [this](const std::string& line) { trace_.Line(line); };
  switch (r.kind) {
    case RequestKind::kReadInputRegisters:
      link_.Send(r.kind, unit_, ReadInputRegistersPdu(r.reg, r.count), log);
      return;
    case RequestKind::kReadHoldingRegisters:
      link_.Send(r.kind, unit_, ReadHoldingRegistersPdu(r.reg, r.count), log);
      return;
    case RequestKind::kWriteSingleRegister:
      link_.Send(r.kind, unit_, WriteSingleRegisterPdu(r.reg, r.ValueHi(), r.ValueLo()), log);
      return;
    case RequestKind::kWriteMultipleRegisters:
      if (const auto pdu = WriteMultipleRegistersPdu(r.reg, r.data))
        link_.Send(r.kind, unit_, *pdu, log);
      return;
    case RequestKind::kWriteDateTime: return;  // no job of the command line sets the clock
    case RequestKind::kReadDeviceIdentification:
      link_.Send(r.kind, unit_, ReadDeviceIdentificationPdu(r.idCode), log);
      return;
  }
}

ByteString JobLink::Request(const GatewayRequest& request) {
  if (stopped_) return {};
  link_.ClearAndPurge();
  if (!link_.Open()) return {};
  SendRequest(request);
  ByteString answer;
  Run([&](const std::function<void()>& finished) {
    modbusAnswer_.Begin(timeoutMs_, [&answer, finished](const ByteString& a) {
      answer = a;
      finished();
    });
  });
  modbusAnswer_.Stop();
  return answer;
}

void JobLink::Run(const std::function<void(const std::function<void()>& finished)>& start) {
  if (stopped_) return;
  bool over = false;
  start([this, &over] {
    over = true;
    loop_.quit();
  });
  RunUntil(over);
}

TunnelResult JobLink::Tunnel(const ByteString& telegram, const TunnelSetup& setup) {
  TunnelResult result;
  result.end = TunnelResult::End::kStopped;
  if (stopped_) return result;
  link_.ClearAndPurge();
  if (!link_.Open()) {
    result.end = TunnelResult::End::kNoStatus;
    return result;
  }
  SendRequest(WriteMultiple(reg::kTunnelBlock, TunnelRequestData(telegram)));
  bool ended = false;
  tunnel_.Begin(setup, [&](const TunnelResult& r) {
    result = r;
    ended = true;
    loop_.quit();
  });
  RunUntil(ended);
  if (!ended) tunnel_.Stop();
  return result;
}

bool JobLink::StatusReadFailed() const {
  if (link_.Received().empty()) return true;
  return !ValidateAnswer(link_.Answer().answer).ok();
}

void JobLink::Stop() {
  stopped_ = true;
  modbusAnswer_.Stop();
  tunnel_.Stop();
  loop_.quit();
}

}  // namespace orvio::cli
