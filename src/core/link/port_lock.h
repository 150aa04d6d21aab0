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

}  // namespace orvio
