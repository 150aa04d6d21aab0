// The serial port object: exclusive open with line settings, purge, RTS, byte and text writes with
// a 1000 ms limit, and a receive notification on the user-interface thread. While open it holds
// the port the ways other Linux programs look for: flock on the device and a UUCP lock file.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "core/link/port_lock.h"

namespace orvio {

// Device path for a port name: "COMn" is the n-th standard port (/dev/ttyS(n-1)), a name starting
// with "/" is a path, any other name lives in /dev.
QString SerialDevicePath(const QString& portName);

// Names of the ports the system reports, as device paths.
QStringList SystemSerialPorts();

// Line settings from the texts of the port boxes; unknown texts fall back to 19200, Even, 1.
qint32 SerialSpeedFromText(const QString& text);
QSerialPort::Parity SerialParityFromText(const QString& text);
QSerialPort::StopBits SerialStopBitsFromText(const QString& text);

class SerialLink : public QObject {
  Q_OBJECT
 public:
  explicit SerialLink(QObject* parent = nullptr);
  ~SerialLink() override;

  // Whether the device can be had: no live UUCP lock file names it, no other descriptor holds a
  // flock on it, and it opens for reading and writing (exclusively) and closes again at once.
  // When it cannot, `reason` (if given) receives why, as PortRefusalText words it.
  bool Probe(const QString& device, QString* reason = nullptr);
  // The running process a UUCP lock file of the device names (the lock folders are searched);
  // nothing when no such lock file names one.
  std::optional<long> LockingProcess(const QString& device) const;
  // Opens the port; on failure returns false and `error` holds the port layer's text.
  bool Open(const QString& device, qint32 speed, QSerialPort::Parity parity,
            QSerialPort::StopBits stop, QString* error);
  void Close();

  // Folders searched for UUCP lock files and where this link writes its own (the first writable
  // one); /var/lock and /run/lock unless set.
  void SetLockDirectories(const QStringList& dirs) { lockDirs_ = dirs; }
  QStringList LockDirectories() const { return lockDirs_; }
  bool IsOpen() const { return port_.isOpen(); }
  QString Device() const { return device_; }

  void Purge();
  // Drops what has arrived and not been read, leaving bytes still on their way out alone.
  void PurgeInput();
  // Raises or lowers RTS; devices that cannot (pseudo-terminals, automatic converters) are skipped.
  void SetRts(bool on);
  bool WriteByte(uint8_t b);
  bool WriteText(const std::string& bytes);
  qint64 BytesWaiting() const { return port_.isOpen() ? port_.bytesAvailable() : 0; }
  qint64 Read(char* buf, qint64 max) { return port_.isOpen() ? port_.read(buf, max) : 0; }

 signals:
  // Bytes arrived; `count` is the number waiting.
  void RxChar(int count);
  // The port failed under us (device gone, hang-up); emitted once per opening, never for a read
  // that merely found nothing (input purged between the readiness report and the read).
  void Lost(const QString& message);

 private:
  bool WriteAll(const char* data, qint64 n);
  void OnError(QSerialPort::SerialPortError error);
  // 0 while the open port still works, else the error number of its loss.
  int LossError() const;
  // True when a lock file in the lock folders names a running process (or cannot be read);
  // `why` receives that file and the process.
  bool LockedByFile(const QString& device, PortRefusal* why = nullptr) const;
  // Takes this link's lock file; false when a running process got one first.
  bool TakeLockFile(const QString& device);
  void DropLockFile();

  QSerialPort port_;
  QString device_;
  QStringList lockDirs_{QStringLiteral("/var/lock"), QStringLiteral("/run/lock")};
  QString ownLockFile_;  // the lock file this link wrote (removed on close)
  bool rtsSupported_ = true;
  bool lostReported_ = false;
};

}  // namespace orvio
