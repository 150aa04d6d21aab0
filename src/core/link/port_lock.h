// UUCP-style lock files of serial devices ("LCK..ttyUSB0" in /var/lock or /run/lock): their name,
// the process they name and the text a holder writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvio {

// Lock file name of a device: "LCK.." and the path below /dev with every '/' as '_'
// (/dev/ttyUSB0 -> LCK..ttyUSB0, /dev/pts/3 -> LCK..pts_3).
std::string PortLockName(std::string_view devicePath);

// The process a lock file names: the first line holds its PID in decimal, possibly padded with
// blanks (HDB style, "      1234\n"); further lines (a holder's name, host) are ignored.
// Nothing when the first line holds no positive PID.
std::optional<long> PortLockPid(std::string_view content);

// What this program writes into a lock file it takes: the PID right-aligned in ten columns and a
// line end, as other programs on Linux expect it.
std::string PortLockText(long pid);

// Why a serial port could not be had.
struct PortRefusal {
  int error = 0;                // errno of opening the device; 0 when it opened
  std::string lockFile;         // a lock file naming a running process (or unreadable)
  std::optional<long> lockPid;  // the process that lock file names
  bool deviceLocked = false;    // another descriptor holds a flock on the device
  std::string detail;           // the port layer's text, for a failure without an errno
};

// The reason as one line for the user (the box's informative text and the trace): no such
// device; permission denied, with the hint to join the group dialout; held by another program,
// with its PID when the lock file names one; otherwise the system's text.
std::string PortRefusalText(std::string_view device, const PortRefusal& why);

}  // namespace orvio
