#include "core/bytes.h"

namespace orvio {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string HexByte(uint8_t b) { return {kHexDigits[b >> 4], kHexDigits[b & 0x0F]}; }

std::string TraceHex(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char b : bytes) {
    out += HexByte(b);
    out += ' ';
  }
  return out;
}

std::string HexText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) out += HexByte(b);
  return out;
}

std::optional<ByteString> ParseHexBytes(std::string_view text) {
  ByteString out;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    int v = HexDigitValue(c);
    if (v < 0) return std::nullopt;
    if (high < 0) {
      high = v;
    } else {
      out += static_cast<char>((high << 4) | v);
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return out;
}

std::string HexToBits(std::string_view hex) {
  std::string bits;
  bits.reserve(hex.size() * 4);
  for (char c : hex) {
    const int v = HexDigitValue(c);
    if (v < 0) continue;
    for (int bit = 3; bit >= 0; --bit) bits += ((v >> bit) & 1) ? '1' : '0';
  }
  return bits;
}

std::optional<int32_t> HexToInt32(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint32_t value = 0;
  size_t n = text.size() < 8 ? text.size() : 8;
  for (size_t i = 0; i < n; ++i) {
    int v = HexDigitValue(text[i]);
    if (v < 0) return std::nullopt;
    value = (value << 4) | static_cast<uint32_t>(v);
  }
  return static_cast<int32_t>(value);
}

std::optional<int32_t> BcdToInt32(std::string_view bytes) {
  int64_t v = 0;
  for (size_t i = bytes.size(); i-- > 0;) {
    const uint8_t b = ByteAt(bytes, i);
    const int hi = b >> 4, lo = b & 0x0F;
    if (hi > 9 || lo > 9) return std::nullopt;
    v = v * 100 + hi * 10 + lo;
    if (v > 2147483647) return std::nullopt;
  }
  return static_cast<int32_t>(v);
}

ByteString DigitsToBcd(std::string_view digits) {
  ByteString out((digits.size() + 1) / 2, '\0');
  for (size_t i = 0; i < digits.size(); ++i) {
    const int d = (digits[i] - '0') & 0x0F;
    out[i / 2] = static_cast<char>(static_cast<uint8_t>(out[i / 2]) | (i % 2 ? d : d << 4));
  }
  return out;
}

}  // namespace orvio
