// Builds M-Bus long frames for the decoder tests from hex text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/bytes.h"

namespace orvio::test {

inline ByteString Hex(std::string_view hex) {
  auto bytes = ParseHexBytes(hex);
  if (!bytes) throw std::invalid_argument("bad hex in test: " + std::string(hex));
  return *bytes;
}

// 68 L L 68, then `body` (C A CI fixed header records), the checksum over it, 16.
inline ByteString LongFrame(std::string_view body_hex) {
  const ByteString body = Hex(body_hex);
  uint8_t sum = 0;
  for (unsigned char b : body) sum = static_cast<uint8_t>(sum + b);
  ByteString frame;
  frame += '\x68';
  frame += static_cast<char>(body.size());
  frame += static_cast<char>(body.size());
  frame += '\x68';
  frame += body;
  frame += static_cast<char>(sum);
  frame += '\x16';
  return frame;
}

// C=08, A=05, CI=72; ID 12345678, manufacturer bytes `mfr` (low high), version 01, `medium`,
// access number 2A, status `status`, signature 0000; then `records`.
inline ByteString Rsp(std::string_view records_hex, std::string_view medium = "07",
                      std::string_view mfr = "4304", std::string_view status = "00") {
  return LongFrame("08 05 72 78 56 34 12 " + std::string(mfr) + " 01 " + std::string(medium) +
                   " 2A " + std::string(status) + " 00 00 " + std::string(records_hex));
}

}  // namespace orvio::test
