// Scenario files on arbitrary text: either refused with a message, or a gateway whose meters all
// pass the simulator's own checks and whose device table fits its 64 slots.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/mbus_line.h"
#include "sim/scenario.h"

using namespace orvio::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GatewayModel model;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string error = ApplyScenario(text, "/nonexistent", &model);
  if (!error.empty()) return 0;
  for (const Meter& m : model.line.meters())
    if (!CheckMeter(m).empty()) std::abort();
  if (model.slots.size() > kMaxDevices) std::abort();
  for (uint16_t r = 1; r < 1 + 28 * 3; ++r) (void)model.InputRegister(r);
  return 0;
}
