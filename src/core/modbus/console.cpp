#include "core/modbus/console.h"

namespace orvio {

namespace {

int UpperHexValue(char c) { return c >= 'a' && c <= 'f' ? -1 : HexDigitValue(c); }

// Characters, not bytes: UTF-8 continuation bytes (10xxxxxx) do not start one.
size_t CharacterCount(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace

ConsoleHex ParseConsoleHex(std::string_view text) {
  ConsoleHex out;
  if (text.empty()) return out;
  if (CharacterCount(text) == 1) {
    out.error = kConsoleTooShort;
    return out;
  }
  for (char c : text) {
    if (c != ' ' && UpperHexValue(c) < 0) {
      out.error = kConsoleBadCharacter;
      return out;
    }
  }
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] != ' ') ++end;
    const int first = UpperHexValue(text[i]);
    const int value = end - i == 1 ? first : (first << 4) | UpperHexValue(text[i + 1]);
    out.bytes += static_cast<char>(value);
    i = end;
  }
  return out;
}

}  // namespace orvio
