// UUCP lock files of serial devices: their names, reading the holder's PID in the forms other
// Linux programs write, and the text written for this program's own lock.
#include "core/link/port_lock.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvio
