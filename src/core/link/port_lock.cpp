#include "core/link/port_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvio {

std::string PortLockName(std::string_view devicePath) {
  constexpr std::string_view kDev = "/dev/";
  if (devicePath.substr(0, kDev.size()) == kDev) devicePath.remove_prefix(kDev.size());
  std::string name = "LCK..";
  for (char c : devicePath) name += c == '/' ? '_' : c;
  return name;
}

std::optional<long> PortLockPid(std::string_view content) {
  const std::string_view line = content.substr(0, content.find('\n'));
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  long pid = 0;
  size_t digits = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i, ++digits) {
    if (pid > 999999999L) return std::nullopt;  // more than any PID the kernel hands out
    pid = pid * 10 + (line[i] - '0');
  }
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
  if (digits == 0 || i != line.size() || pid <= 0) return std::nullopt;
  return pid;
}

std::string PortLockText(long pid) {
  char text[32];
  std::snprintf(text, sizeof text, "%10ld\n", pid);
  return text;
}

std::string PortRefusalText(std::string_view device, const PortRefusal& why) {
  const std::string name(device);
  if (!why.lockFile.empty()) {
    std::string holder = why.lockPid ? "PID " + std::to_string(*why.lockPid) + ", " : "";
    return name + " is held by another program (" + holder + "lock file " + why.lockFile + ").";
  }
  if (why.deviceLocked) return name + " is held by another program (it has locked the device).";
  switch (why.error) {
    case 0: return name + ": " + (why.detail.empty() ? "cannot be opened" : why.detail) + ".";
    case ENOENT:
    case ENODEV:
    case ENXIO: return name + ": no such device. Is the adapter plugged in and the name right?";
    case EACCES:
    case EPERM:
      return name +
             ": permission denied. Serial ports need membership in the group dialout (sudo "
             "adduser $USER dialout, then log in again).";
    case EBUSY: return name + " is held by another program (device busy).";
    default: return name + ": " + std::strerror(why.error) + ".";
  }
}

}  // namespace orvio
