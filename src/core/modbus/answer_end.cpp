#include "core/modbus/answer_end.h"

#include <algorithm>

#include "core/modbus/crc.h"

namespace orvio {

namespace {

uint8_t At(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

// Read device identification (MEI type 0x0E): unit, 2B, 0E, code, conformity, more follows, next
// object, object count, then per object its id, length and bytes, then the checksum.
std::optional<size_t> DeviceIdentificationLength(std::string_view f) {
  if (f.size() < 3) return std::nullopt;
  if (At(f, 2) != 0x0E) return std::nullopt;
  constexpr size_t kHeader = 8;
  if (f.size() < kHeader) return std::nullopt;
  size_t pos = kHeader;
  for (int n = At(f, 7); n > 0; --n) {
    if (f.size() < pos + 2) return std::nullopt;
    pos += 2 + At(f, pos + 1);
  }
  return pos + 2;
}

// A complete answer frame to `request` starting at `start`: its end, else nothing.
std::optional<size_t> AnswerAt(std::string_view request, std::string_view received, size_t start) {
  const std::string_view frame = received.substr(start);
  if (frame.size() < 2) return std::nullopt;
  const uint8_t function = At(request, 1);
  if ((At(frame, 1) & 0x7F) != function) return std::nullopt;
  const auto length = RtuAnswerLength(frame);
  if (!length || *length < 4 || *length > frame.size()) return std::nullopt;
  const uint16_t crc = ModbusCrc16(frame.substr(0, *length - 2));
  if (At(frame, *length - 2) != CrcLo(crc) || At(frame, *length - 1) != CrcHi(crc))
    return std::nullopt;
  return start + *length;
}

}  // namespace

std::optional<size_t> RtuAnswerLength(std::string_view frame) {
  if (frame.size() < 2) return std::nullopt;
  const uint8_t function = At(frame, 1);
  if (function & 0x80) return 5;
  switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x0C:
    case 0x11:
    case 0x14:
    case 0x15:
    case 0x17:
      if (frame.size() < 3) return std::nullopt;
      return 3 + static_cast<size_t>(At(frame, 2)) + 2;
    case 0x07: return 5;
    case 0x05:
    case 0x06:
    case 0x08:
    case 0x0B:
    case 0x0F:
    case 0x10: return 8;
    case 0x16: return 10;
    case 0x2B: return DeviceIdentificationLength(frame);
    default: return std::nullopt;
  }
}

bool RtuAnswersComplete(const std::vector<ByteString>& requests, std::string_view received) {
  if (requests.empty()) return false;
  size_t pos = 0;
  for (const ByteString& request : requests) {
    if (request.size() < 2) return false;
    std::optional<size_t> end;
    for (size_t start = pos; start + 1 < received.size() && !end; ++start)
      end = AnswerAt(request, received, start);
    if (!end) return false;
    pos = *end;
  }
  return pos == received.size() || (pos + 1 == received.size() && At(received, pos) == 0x00);
}

bool TcpAnswersComplete(const std::vector<uint16_t>& transactionIds, std::string_view received) {
  if (transactionIds.empty()) return false;
  constexpr size_t kMbap = 6;  // id, protocol, length; the length counts the unit byte on
  std::vector<uint16_t> seen;
  size_t pos = 0;
  while (pos < received.size()) {
    if (received.size() < pos + kMbap) return false;
    const size_t length = static_cast<size_t>(At(received, pos + 4)) << 8 | At(received, pos + 5);
    if (length == 0 || received.size() < pos + kMbap + length) return false;
    seen.push_back(static_cast<uint16_t>(At(received, pos) << 8 | At(received, pos + 1)));
    pos += kMbap + length;
  }
  return std::all_of(transactionIds.begin(), transactionIds.end(), [&](uint16_t id) {
    return std::find(seen.begin(), seen.end(), id) != seen.end();
  });
}

}  // namespace orvio
