#include "core/mbus/tunnel.h"

#include "core/mbus/telegram.h"

namespace orvio {

TunnelledTelegram ExtractTunnelledTelegram(std::string_view answer, size_t payload_count) {
  TunnelledTelegram out;
  out.check = ValidateAnswer(answer);
  if (!out.check.ok()) return out;

  // Address, function, byte count, register bytes, checksum.
  constexpr size_t kPayloadStart = 3;
  const size_t body = out.check.bodyLength < answer.size() ? out.check.bodyLength : answer.size();
  if (body <= kPayloadStart) return out;
  size_t available = body - kPayloadStart;
  const size_t byte_count = static_cast<uint8_t>(answer[2]);
  if (byte_count < available) available = byte_count;
  if (payload_count < available) available = payload_count;
  const std::string_view payload = answer.substr(kPayloadStart, available);
  if (payload.empty()) return out;

  if (const size_t frame = LongFrameLength(payload)) {
    out.telegram.assign(payload.substr(0, frame));
    return out;
  }
  const auto at = [&](size_t i) { return static_cast<uint8_t>(payload[i]); };

  size_t take = payload_count - 1 < payload.size() ? payload_count - 1 : payload.size();
  if (take < payload.size() && (take == 0 || at(take - 1) != 0x16)) ++take;
  out.telegram.assign(payload.substr(0, take));
  return out;
}

}  // namespace orvio
