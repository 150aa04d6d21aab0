// The M-Bus decoder and the tunnel extraction over arbitrary bytes: no crash, no read past the
// input, and the results keep their own rules.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/mbus/telegram.h"
#include "core/mbus/tunnel.h"
#include "core/modbus/crc.h"
#include "fuzz_require.h"

namespace {

void CheckDecode(std::string_view telegram, char separator) {
  const orvio::TelegramDecode d = orvio::DecodeTelegram(telegram, separator);
  Require(!d.trace.empty());
  Require(d.ok == d.decoded);
  if (!d.decoded) {
    Require(d.records.empty());
    return;
  }
  for (const orvio::RecordRow& r : d.records) {
    Require(r.data_offset + r.data_length <= telegram.size() - 2);
  }
  // The main value is one of the records' values (or the ZPA sum, which has no records).
  if (!d.records.empty() && !d.unit.empty()) {
    bool found = false;
    for (const orvio::RecordRow& r : d.records) found = found || (r.unit == d.unit);
    Require(found);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // The input as a telegram.
  CheckDecode(input, '.');
  CheckDecode(input, ',');

  // The input as a whole Modbus answer, the payload count taken from its first byte.
  const size_t count = size ? data[0] : 0;
  orvio::TunnelledTelegram raw = orvio::ExtractTunnelledTelegram(input, count);
  Require(raw.telegram.size() <= size);
  if (!raw.check.ok()) Require(raw.telegram.empty());

  // The input as the register payload of a sound answer, so that mutations reach the cut and
  // the decoder behind it.
  if (size <= 250) {
    orvio::ByteString answer("\x01\x04", 2);
    answer += static_cast<char>(size);
    answer += input;
    answer = orvio::WithModbusCrc(answer);
    for (size_t n : {size, size + 1, size ? size - 1 : 0}) {
      orvio::TunnelledTelegram t = orvio::ExtractTunnelledTelegram(answer, n);
      Require(t.check.ok());
      Require(t.telegram.size() <= size);
      Require(input.substr(0, t.telegram.size()) == t.telegram);
      CheckDecode(t.telegram, '.');
    }
  }
  return 0;
}
