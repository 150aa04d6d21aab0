#include "core/bytes.h"

namespace orvio {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

std::string TraceHex(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
    out += ' ';
  }
  return out;
}

std::string HexText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::optional<ByteString> ParseHexBytes(std::string_view text) {
  ByteString out;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    int v = HexValue(c);
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

std::optional<int32_t> HexToInt32(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint32_t value = 0;
  size_t n = text.size() < 8 ? text.size() : 8;
  for (size_t i = 0; i < n; ++i) {
    int v = HexValue(text[i]);
    if (v < 0) return std::nullopt;
    value = (value << 4) | static_cast<uint32_t>(v);
  }
  return static_cast<int32_t>(value);
}

}  // namespace orvio
