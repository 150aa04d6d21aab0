#include "sim/framing.h"

#include <algorithm>

namespace orvio::sim {
namespace {

constexpr size_t kMaxRtuFrame = 256;
constexpr size_t kMaxTcpFrame = 260;

uint8_t At(std::string_view b, size_t i) { return static_cast<uint8_t>(b[i]); }

}  // namespace

uint16_t ModbusCrc(std::string_view bytes) {
  uint16_t crc = 0xFFFF;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int i = 0; i < 8; ++i)
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

long RtuRequestLength(std::string_view b) {
  if (b.size() < 2) return kNeedMore;
  // No frame is longer: a line that keeps talking past it is sending garbage.
  if (b.size() > kMaxRtuFrame && RtuRequestLength(b.substr(0, kMaxRtuFrame)) == kUntilSilence)
    return kInvalid;
  long length;
  switch (At(b, 1)) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x08:
      length = 8;  // unit, function, two 16-bit fields, CRC
      break;
    case 0x07:
    case 0x0B:
    case 0x0C:
    case 0x11:
      length = 4;  // unit, function, CRC
      break;
    case 0x0F:
    case 0x10:  // ..., address, count, byte count n, n bytes, CRC
      if (b.size() < 7) return kNeedMore;
      length = 9 + At(b, 6);
      break;
    case 0x14:
    case 0x15:  // unit, function, byte count n, n bytes, CRC
      if (b.size() < 3) return kNeedMore;
      length = 5 + At(b, 2);
      break;
    case 0x16: length = 10; break;
    case 0x17:  // read address, count, write address, count, byte count n, n bytes
      if (b.size() < 11) return kNeedMore;
      length = 13 + At(b, 10);
      break;
    case 0x18: length = 6; break;
    case 0x2B:  // MEI 0x0E: read device id code, object id
      if (b.size() < 3) return kNeedMore;
      if (At(b, 2) != 0x0E) return kUntilSilence;
      length = 7;
      break;
    default: return kUntilSilence;
  }
  if (static_cast<size_t>(length) > kMaxRtuFrame) return kInvalid;
  return b.size() < static_cast<size_t>(length) ? kNeedMore : length;
}

long TcpRequestLength(std::string_view b) {
  if (b.size() < 7) return kNeedMore;
  // Transaction id (2), protocol id (2, always 0), length (2: unit + PDU), unit.
  const size_t length = static_cast<size_t>(At(b, 4) << 8 | At(b, 5));
  if (At(b, 2) != 0 || At(b, 3) != 0 || length < 2 || 6 + length > kMaxTcpFrame) return kInvalid;
  return b.size() < 6 + length ? kNeedMore : static_cast<long>(6 + length);
}

bool SplitRequest(Transport transport, std::string_view frame, uint8_t* unit, std::string* pdu) {
  if (transport == Transport::kTcp) {
    if (frame.size() < 8) return false;
    *unit = At(frame, 6);
    *pdu = std::string(frame.substr(7));
    return true;
  }
  if (frame.size() < 4) return false;
  *unit = At(frame, 0);
  *pdu = std::string(frame.substr(1, frame.size() - 3));
  return true;
}

std::string AnswerFrame(Transport transport, std::string_view request, uint8_t unit,
                        std::string_view pdu, const Fault* fault) {
  std::string body;
  if (fault != nullptr && fault->other_unit >= 0) unit = static_cast<uint8_t>(fault->other_unit);
  body.push_back(static_cast<char>(unit));
  if (fault != nullptr && fault->exception > 0 && !pdu.empty()) {
    body.push_back(static_cast<char>(At(pdu, 0) | 0x80));
    body.push_back(static_cast<char>(fault->exception));
  } else {
    body += pdu;
  }
  const bool leading_zero = fault != nullptr && fault->leading_zero;
  const bool filler = fault != nullptr && fault->trailing_filler;
  if (transport == Transport::kTcp) {
    // The zero byte goes where an RTU answer would have it: before the unit address.
    if (leading_zero) body.insert(body.begin(), '\0');
    if (filler) body.push_back('\0');
    std::string frame;
    frame.push_back(request.size() > 0 ? request[0] : '\0');
    frame.push_back(request.size() > 1 ? request[1] : '\0');
    frame += std::string(2, '\0');
    frame.push_back(static_cast<char>(body.size() >> 8));
    frame.push_back(static_cast<char>(body.size() & 0xFF));
    return frame + body;
  }
  uint16_t crc = ModbusCrc(body);
  if (fault != nullptr && fault->bad_crc) crc = static_cast<uint16_t>(crc ^ 0xA5A5);
  std::string frame = body;
  frame.push_back(static_cast<char>(crc & 0xFF));
  frame.push_back(static_cast<char>(crc >> 8));
  if (leading_zero) frame.insert(frame.begin(), '\0');
  if (filler) frame.push_back('\0');
  return frame;
}

std::vector<std::string> SplitPieces(const std::string& frame, int parts) {
  std::vector<std::string> pieces;
  if (parts <= 1 || frame.size() <= 1) {
    pieces.push_back(frame);
    return pieces;
  }
  const size_t n = std::min(frame.size(), static_cast<size_t>(parts));
  size_t pos = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t len = (frame.size() - pos) / (n - i);
    pieces.push_back(frame.substr(pos, len));
    pos += len;
  }
  return pieces;
}

}  // namespace orvio::sim
