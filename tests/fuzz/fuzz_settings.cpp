// The settings reader over arbitrary INI text: values stay in their ranges, and what was read
// survives a write and a second read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/settings/settings.h"
#include "fuzz_require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvio;
  const Settings defaults = DefaultSettings("/opt/orvio/");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Settings s1 = ParseSettings(text, defaults);
  Require(s1.mbusTimeout >= 300 && s1.mbusTimeout <= 9900);
  Require(s1.searchFrom >= 0 && s1.searchFrom <= 250);
  Require(s1.searchTo >= 0 && s1.searchTo <= 255);
  Require(s1.retry >= 0 && s1.retry <= 9);
  Require(s1.modbusTimeout >= 50 && s1.modbusTimeout <= 20000);
  Require(s1.modbusAddress >= 1 && s1.modbusAddress <= 255);
  Require(s1.ethTimeout >= 30 && s1.ethTimeout <= 9999);

  // Numbers and flags come back exactly. A text may lose what the INI format cannot carry
  // (an inline comment after " ;"), but after one write and read it is stable.
  const Settings s2 = ParseSettings(RenderSettings(s1), defaults);
  Require(s2.autoOpen == s1.autoOpen && s2.mbusTimeout == s1.mbusTimeout &&
          s2.searchFrom == s1.searchFrom && s2.searchTo == s1.searchTo && s2.retry == s1.retry &&
          s2.modbusTimeout == s1.modbusTimeout && s2.modbusAddress == s1.modbusAddress &&
          s2.ethTimeout == s1.ethTimeout);
  const Settings s3 = ParseSettings(RenderSettings(s2), defaults);
  Require(s3 == s2);
  return 0;
}
