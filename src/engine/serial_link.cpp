#include "engine/serial_link.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <cerrno>
#include <cstring>
#include <optional>

#include "core/link/port_lock.h"

namespace orvio {

namespace {

// The device a path stands for, so that /dev/serial/by-id/... and /dev/ttyUSB0 share one lock.
QString CanonicalDevice(const QString& device) {
  const QString canonical = QFileInfo(device).canonicalFilePath();
  return canonical.isEmpty() ? device : canonical;
}

QString LockFilePath(const QString& dir, const QString& device) {
  return dir + '/' + QString::fromStdString(PortLockName(CanonicalDevice(device).toStdString()));
}

bool ProcessRunning(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// The process a lock file names; nothing when the file holds no PID. `readable` tells whether the
// file could be read at all.
std::optional<long> LockFileHolder(const QString& path, bool* readable) {
  QFile f(path);
  *readable = f.open(QIODevice::ReadOnly);
  if (!*readable) return std::nullopt;
  return PortLockPid(f.read(256).toStdString());
}

}  // namespace

QString SerialDevicePath(const QString& portName) {
  static const QRegularExpression com("^COM([0-9]+)$");
  auto m = com.match(portName);
  if (m.hasMatch()) {
    int n = m.captured(1).toInt();
    return QStringLiteral("/dev/ttyS%1").arg(n > 0 ? n - 1 : 0);
  }
  if (portName.startsWith('/')) return portName;
  return QStringLiteral("/dev/") + portName;
}

QStringList SystemSerialPorts() {
  QStringList out;
  for (const auto& info : QSerialPortInfo::availablePorts()) out << info.systemLocation();
  return out;
}

qint32 SerialSpeedFromText(const QString& text) {
  bool ok = false;
  int v = text.toInt(&ok);
  if (!ok) return 19200;
  switch (v) {
    case 300:
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200: return v;
    default: return 19200;
  }
}

QSerialPort::Parity SerialParityFromText(const QString& text) {
  if (text == "None") return QSerialPort::NoParity;
  if (text == "Even") return QSerialPort::EvenParity;
  if (text == "Odd") return QSerialPort::OddParity;
  if (text == "Mark") return QSerialPort::MarkParity;
  if (text == "Space") return QSerialPort::SpaceParity;
  return QSerialPort::EvenParity;
}

QSerialPort::StopBits SerialStopBitsFromText(const QString& text) {
  return text == "2" ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

SerialLink::SerialLink(QObject* parent) : QObject(parent) {
  connect(&port_, &QSerialPort::readyRead, this,
          [this] { emit RxChar(static_cast<int>(port_.bytesAvailable())); });
  connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::OnError);
}

SerialLink::~SerialLink() { Close(); }

bool SerialLink::LockedByFile(const QString& device, PortRefusal* why) const {
  for (const QString& dir : lockDirs_) {
    const QString path = LockFilePath(dir, device);
    if (!QFileInfo::exists(path)) continue;
    bool readable = false;
    const auto pid = LockFileHolder(path, &readable);
    // A lock that cannot be read cannot be shown to be stale.
    if (!readable || (pid && ProcessRunning(*pid))) {
      if (why) {
        why->lockFile = path.toStdString();
        why->lockPid = pid;
      }
      return true;
    }
  }
  return false;
}

std::optional<long> SerialLink::LockingProcess(const QString& device) const {
  for (const QString& dir : lockDirs_) {
    const QString path = LockFilePath(dir, device);
    if (!QFileInfo::exists(path)) continue;
    bool readable = false;
    const auto pid = LockFileHolder(path, &readable);
    if (pid && ProcessRunning(*pid)) return pid;
  }
  return std::nullopt;
}

bool SerialLink::TakeLockFile(const QString& device) {
  for (const QString& dir : lockDirs_) {
    const QFileInfo info(dir);
    if (!info.isDir() || !info.isWritable()) continue;
    const QString path = LockFilePath(dir, device);
    const QByteArray name = QFile::encodeName(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
      const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) {
        const std::string text = PortLockText(static_cast<long>(::getpid()));
        const bool written =
            ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        if (!written) {
          ::unlink(name.constData());
          return true;  // a full folder: the other locks still hold
        }
        ownLockFile_ = path;
        return true;
      }
      if (errno != EEXIST) return true;  // not writable after all: lock where we can
      bool readable = false;
      const auto pid = LockFileHolder(path, &readable);
      // The port layer keeps a lock file of its own naming this process; that one will do.
      if (pid && *pid == static_cast<long>(::getpid())) return true;
      if (!readable || (pid && ProcessRunning(*pid))) return false;
      ::unlink(name.constData());  // stale: its holder is gone
    }
    return true;
  }
  return true;
}

void SerialLink::DropLockFile() {
  if (ownLockFile_.isEmpty()) return;
  QFile::remove(ownLockFile_);
  ownLockFile_.clear();
}

bool SerialLink::Probe(const QString& device, QString* reason) {
  PortRefusal why;
  const auto refuse = [&] {
    if (reason) *reason = QString::fromStdString(PortRefusalText(device.toStdString(), why));
    return false;
  };
  // Lock files first: the port layer's own open would take a foreign lock file it does not
  // recognise for stale and remove it.
  if (LockedByFile(device, &why)) return refuse();
  QSerialPort probe;
  probe.setPortName(device);
  if (!probe.open(QIODevice::ReadWrite)) {
    // The port layer's error does not tell a missing device from a forbidden one: the system's
    // own open does.
    const int fd =
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    why.error = fd < 0 ? errno : 0;
    if (fd >= 0) ::close(fd);
    why.detail = probe.errorString().toStdString();
    return refuse();
  }
  // Another program's flock on the device (pyserial's exclusive open, for one) is a lock too.
  const bool free = ::flock(probe.handle(), LOCK_EX | LOCK_NB) == 0;
  probe.close();  // closing the descriptor drops the probe's own flock
  why.deviceLocked = !free;
  return free || refuse();
}

bool SerialLink::Open(const QString& device, qint32 speed, QSerialPort::Parity parity,
                      QSerialPort::StopBits stop, QString* error) {
  if (port_.isOpen()) {
    if (error) *error = "Can't perform this operation while port is open";
    return false;
  }
  device_ = device;
  port_.setPortName(device);
  port_.setBaudRate(speed);
  port_.setParity(parity);
  port_.setStopBits(stop);
  port_.setDataBits(QSerialPort::Data8);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!port_.open(QIODevice::ReadWrite)) {
    int err = errno;
    if (error)
      *error = QString("Can't open specified device %1").arg(device) +
               QString(" (Error %1, %2)").arg(err).arg(QString::fromLocal8Bit(std::strerror(err)));
    return false;
  }
  // Hold the port the ways other programs look for. Someone who took it since the probe wins.
  if (::flock(port_.handle(), LOCK_EX | LOCK_NB) != 0 || !TakeLockFile(device)) {
    port_.close();
    DropLockFile();
    if (error)
      *error =
          QString("Can't open specified device %1").arg(device) +
          QString(" (Error %1, %2)").arg(EBUSY).arg(QString::fromLocal8Bit(std::strerror(EBUSY)));
    return false;
  }
  // Settings a pseudo-terminal refuses are not an error for the link itself.
  port_.clearError();
  rtsSupported_ = true;
  lostReported_ = false;
  return true;
}

void SerialLink::Close() {
  if (port_.isOpen()) port_.close();
  DropLockFile();
}

void SerialLink::Purge() {
  if (port_.isOpen()) port_.clear(QSerialPort::AllDirections);
}

void SerialLink::PurgeInput() {
  if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

void SerialLink::SetRts(bool on) {
  if (!port_.isOpen() || !rtsSupported_) return;
  if (!port_.setRequestToSend(on)) {
    // The device has no RTS line we can drive; stop trying for this opening.
    rtsSupported_ = false;
    port_.clearError();
  }
}

bool SerialLink::WriteAll(const char* data, qint64 n) {
  if (!port_.isOpen()) return false;
  if (port_.write(data, n) != n) return false;
  QElapsedTimer t;
  t.start();
  while (port_.bytesToWrite() > 0) {
    qint64 left = 1000 - t.elapsed();
    if (left <= 0 || !port_.waitForBytesWritten(static_cast<int>(left))) return false;
  }
  return true;
}

bool SerialLink::WriteByte(uint8_t b) {
  char c = static_cast<char>(b);
  return WriteAll(&c, 1);
}

bool SerialLink::WriteText(const std::string& bytes) {
  return WriteAll(bytes.data(), static_cast<qint64>(bytes.size()));
}

int SerialLink::LossError() const {
  const int fd = port_.handle();
  if (fd < 0) return EBADF;
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 0) < 0 && errno != EINTR) return errno;
  if (p.revents & POLLNVAL) return EBADF;
  // A hung-up line (device unplugged, the other end of a pseudo-terminal closed).
  if (p.revents & (POLLHUP | POLLERR)) return EIO;
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return errno;
  return 0;
}

void SerialLink::OnError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::NoError) return;
  port_.clearError();
  if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return;
  if (lostReported_ || !port_.isOpen()) return;
  // The port layer reports a read that returns nothing as an error, with whatever error number
  // an earlier call left behind. That happens on a healthy port when the input is purged after
  // the port reported data and before it was read; only a port that is really gone is lost.
  const int err = LossError();
  if (err == 0) {
    // After such a read the port layer may have stopped watching for input; it watches again
    // whenever its read buffer size is set.
    port_.setReadBufferSize(port_.readBufferSize());
    return;
  }
  lostReported_ = true;
  emit Lost(
      QString("Read error (%1), %2").arg(err).arg(QString::fromLocal8Bit(std::strerror(err))));
}

}  // namespace orvio
