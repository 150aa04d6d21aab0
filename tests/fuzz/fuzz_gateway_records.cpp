// Fuzzes the gateway's answer decoders: device-map records, the status step builders and the
// texts typed into the configuration commands. The first byte picks the decoder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/gateway/configuration.h"
#include "core/gateway/device_map.h"
#include "core/gateway/status_readout.h"
#include "core/modbus/answer.h"
#include "fuzz_require.h"

using namespace orvio;

namespace {

void Record(std::string_view answer) {
  const AnswerCheck check = ValidateAnswer(answer, CheckForm::kDeviceMap);
  if (!check.ok()) return;
  const TModbusDevice d = DecodeDeviceRecord(ReadAnswerRegisters(answer, check));
  for (const int size : {24, 28}) {
    const DeviceRowCells cells = DeviceRow(d, size, ',');
    Require(cells[1] == std::to_string(d.PrimaryAddress));
    Require(cells[2].empty() || cells[2].size() == 3);
    Require(size == 28 || cells[14].empty());
    for (int col = 5; col <= 9; ++col) Require(!cells[static_cast<size_t>(col)].empty());
  }
  Require(d.Identification.size() <= 8);
}

void Status(std::string_view answer, int step) {
  const StatusStepSpec* spec = StatusStepAt(step);
  Require(spec != nullptr);
  const AnswerCheck check = ValidateAnswer(answer, spec->check);
  const StatusLines out = spec->build(answer, check);
  Require(out.lines.size() <= 1);
  if (!check.ok()) Require(out.lines.empty());
  if (out.activeDeviceCount) Require(*out.activeDeviceCount >= 0 && *out.activeDeviceCount <= 256);
}

void Texts(std::string_view text) {
  if (const auto ip = ParseDottedAddress(text)) {
    const std::string back = std::to_string((*ip)[0]) + "." + std::to_string((*ip)[1]) + "." +
                             std::to_string((*ip)[2]) + "." + std::to_string((*ip)[3]);
    Require(ParseDottedAddress(back) == ip);
  }
  if (const auto port = ListenPort(text); port.ok()) Require(*port.value >= 50);
  if (const auto addr = NewModbusAddress(text); addr.ok()) Require(*addr.value < 255);
  if (const auto bcd = SerialNumberBytes(text); bcd.ok()) Require(bcd.value->size() == 4);
  (void)MbusPortBaudText(text);
  (void)ParseDeviceAddress(text);
  (void)ActivateAnswerFailed(text, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const uint8_t mode = data[0];
  switch (mode % 3) {
    case 0: Record(rest); break;
    case 1: Status(rest, mode / 3 % kStatusStepCount + 1); break;
    default: Texts(rest); break;
  }
  return 0;
}
