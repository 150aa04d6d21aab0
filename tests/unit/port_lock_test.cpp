// UUCP lock files of serial devices: their names, reading the holder's PID in the forms other
// Linux programs write, and the text written for this program's own lock.
#include "core/link/port_lock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace orvio {
namespace {

TEST(PortLock, NamesFollowTheDevicePathBelowDev) {
  const std::pair<const char*, const char*> cases[] = {
      {"/dev/ttyUSB0", "LCK..ttyUSB0"},  {"/dev/ttyS0", "LCK..ttyS0"},
      {"/dev/pts/3", "LCK..pts_3"},      {"/dev/serial/by-id/usb-1", "LCK..serial_by-id_usb-1"},
      {"/tmp/vport", "LCK.._tmp_vport"}, {"ttyACM1", "LCK..ttyACM1"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(PortLockName(path), name) << path;
}

TEST(PortLock, HolderPidInTheFormsProgramsWrite) {
  const std::pair<std::string, std::optional<long>> cases[] = {
      {"      1234\n", 1234},             // HDB: ten columns, right-aligned
      {"1234\n", 1234},                   // plain
      {"1234", 1234},                     // no line end
      {"  4321\nminicom\nhost\n", 4321},  // further lines name the holder
      {"77\r\n", 77},
      {"", std::nullopt},
      {"\n1234\n", std::nullopt},  // the PID belongs on the first line
      {"abc\n", std::nullopt},
      {"12a4\n", std::nullopt},
      {"-5\n", std::nullopt},
      {"0\n", std::nullopt},
      {"99999999999999999999\n", std::nullopt},  // no PID is that large; no overflow either
      {std::string("\xd2\x04\x00\x00", 4), std::nullopt},  // binary forms are not read
  };
  for (const auto& [text, pid] : cases) EXPECT_EQ(PortLockPid(text), pid) << text;
}

TEST(PortLock, OwnLockTextIsReadBackAndHasTheHdbLayout) {
  for (long pid : {1L, 4242L, 4194304L}) {
    const std::string text = PortLockText(pid);
    EXPECT_EQ(text.size(), 11u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(PortLockPid(text), pid);
  }
  EXPECT_EQ(PortLockText(1234), "      1234\n");
}

// The reason a port cannot be had, by what refused it: lock file (with or without a PID), flock,
// or the system's error number.
TEST(PortLock, RefusalTextNamesTheReason) {
  PortRefusal lock;
  lock.lockFile = "/run/lock/LCK..ttyUSB0";
  lock.lockPid = 4242;
  EXPECT_EQ(PortRefusalText("/dev/ttyUSB0", lock),
            "/dev/ttyUSB0 is held by another program (PID 4242, lock file "
            "/run/lock/LCK..ttyUSB0).");
  lock.lockPid.reset();
  EXPECT_EQ(PortRefusalText("/dev/ttyUSB0", lock),
            "/dev/ttyUSB0 is held by another program (lock file /run/lock/LCK..ttyUSB0).");
  PortRefusal flock;
  flock.deviceLocked = true;
  EXPECT_EQ(PortRefusalText("/dev/ttyS1", flock),
            "/dev/ttyS1 is held by another program (it has locked the device).");
  const auto by_errno = [](int error) {
    PortRefusal why;
    why.error = error;
    why.detail = "port layer text";
    return PortRefusalText("/dev/ttyS0", why);
  };
  EXPECT_EQ(by_errno(ENOENT),
            "/dev/ttyS0: no such device. Is the adapter plugged in and the name right?");
  EXPECT_EQ(by_errno(ENXIO), by_errno(ENOENT));
  EXPECT_EQ(by_errno(EACCES),
            "/dev/ttyS0: permission denied. Serial ports need membership in the "
            "group dialout (sudo adduser $USER dialout, then log in again).");
  EXPECT_EQ(by_errno(EBUSY), "/dev/ttyS0 is held by another program (device busy).");
  EXPECT_EQ(by_errno(EIO), "/dev/ttyS0: " + std::string(std::strerror(EIO)) + ".");
  EXPECT_EQ(by_errno(0), "/dev/ttyS0: port layer text.");
}

}  // namespace
}  // namespace orvio
