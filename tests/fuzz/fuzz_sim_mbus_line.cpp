// The simulated M-Bus line on arbitrary telegrams: the input is a series of telegrams, each with a
// one-byte length before it. Whatever meters answer either passes the M-Bus frame checks (one
// meter) or is a collision (several), a lone acknowledgement, or nothing; the meters stay valid.
// The record walk and the adoption of a raw telegram run on the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_require.h"
#include "sim/mbus_line.h"
#include "sim/scenario.h"

using namespace orvio::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const MbusLine base = DemoModel().line;
  const std::string input(reinterpret_cast<const char*>(data), size);

  std::vector<DataRecord> records;
  if (SplitRecords(input, &records)) {
    std::string joined;
    for (const DataRecord& r : records) joined += r.header + r.data;
    Require(joined.size() <= input.size());
    for (const DataRecord& r : records) (void)r.IntegerValue();
  }
  Meter raw;
  raw.raw_telegram = input;
  if (AdoptRawTelegram(&raw).empty() && CheckMeter(raw).empty()) {
    const std::string t = raw.Telegram();
    Require(MbusFrameLength(t) == t.size());
  }

  MbusLine line = base;
  size_t pos = 0;
  while (pos < size) {
    const size_t length = data[pos++];
    const std::string telegram = input.substr(pos, length);
    pos += length;
    const std::string answer = line.Transact(telegram);
    if (answer.size() > 1) {
      // One answer is a valid RSP_UD; a collision never passes the checks.
      const bool valid = MbusFrameLength(answer) == answer.size();
      if (valid)
        Require(static_cast<uint8_t>(answer[0]) == 0x68 && static_cast<uint8_t>(answer[4]) == 0x08);
    } else if (answer.size() == 1) {
      Require(static_cast<uint8_t>(answer[0]) == 0xE5);
    }
    for (const Meter& m : line.meters()) Require(CheckMeter(m).empty());
  }
  return 0;
}
