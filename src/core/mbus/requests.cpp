#include "core/mbus/requests.h"

#include "core/gateway/register_map.h"

namespace orvio {

ByteString ShortFrame(uint8_t control, uint8_t address) {
  ByteString f(5, '\0');
  f[0] = '\x10';  // short frame start
  f[1] = static_cast<char>(control);
  f[2] = static_cast<char>(address);
  f[3] = static_cast<char>(static_cast<uint8_t>(control + address));
  f[4] = '\x16';  // stop
  return f;
}

ByteString ReqUd2Frame(uint8_t address, bool alternate) {
  return ShortFrame(alternate ? kReqUd2ControlAlt : kReqUd2Control, address);
}

ByteString SndNkeFrame(uint8_t address) { return ShortFrame(kSndNkeControl, address); }

ByteString TunnelRequestData(const ByteString& telegram) {
  ByteString data = telegram;
  if (data.size() % 2) data += '\0';
  return data;
}

std::optional<int> TunnelAnswerRegisters(const FirstRegister& status) {
  if (!status.valid || status.lo == 0 || status.hi <= reg::kTunnelReadyState) return std::nullopt;
  return (status.lo + 1) / 2;
}

ScanStep NextScanStep(int address, int retries, bool attempt_failed, int retry_setting,
                      int last_address) {
  ScanStep next{address, retries, false};
  if (attempt_failed && ++next.retries <= retry_setting) return next;  // same address again
  ++next.address;
  next.retries = 0;
  next.done = next.address > last_address;
  return next;
}

}  // namespace orvio
