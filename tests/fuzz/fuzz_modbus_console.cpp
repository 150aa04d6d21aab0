// The console's hex command line over arbitrary text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/modbus/console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const orvio::ConsoleHex out = orvio::ParseConsoleHex(text);
  // A refused text sends nothing; an accepted one gives at most one byte per two characters
  // (token and blank), and a text of only valid characters is never refused for them.
  if (out.error && !out.bytes.empty()) std::abort();
  if (!out.error && out.bytes.size() > (size + 1) / 2) std::abort();
  bool allValid = true;
  for (char c : text) allValid &= c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
  if (allValid && size >= 2 && out.error) std::abort();
  if (!allValid && size >= 2 && !out.error) std::abort();
  return 0;
}
