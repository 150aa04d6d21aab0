// Lock file contents and device paths of any bytes: a PID read back is positive and survives
// being written in this program's own form; a lock name never leaves the lock folder.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/link/port_lock.h"
#include "fuzz_require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvio;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto pid = PortLockPid(text)) {
    Require(*pid > 0);
    Require(PortLockPid(PortLockText(*pid)) == pid);
  }
  const std::string name = PortLockName(text);
  Require(name.rfind("LCK..", 0) == 0);
  Require(name.find('/') == std::string::npos);
  return 0;
}
