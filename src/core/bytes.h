// Byte strings and their text forms, shared by every layer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvio {

// A counted string of 8-bit characters that may hold 0x00: receive buffers, frames, answers,
// payloads and telegrams.
using ByteString = std::string;

inline uint8_t ByteAt(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

// Upper-case hex digits by value: every hex text the program writes uses these.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of a hex digit (either case); -1 for any other character.
int HexDigitValue(char c);

// One byte as two upper-case hex digits ("0F").
std::string HexByte(uint8_t b);

// Trace hex: two upper-case digits and one blank per byte ("01 03 ").
std::string TraceHex(std::string_view bytes);

// Hex text: two upper-case digits per byte, no separators ("0103").
std::string HexText(std::string_view bytes);

// Parses hex digits (either case); blanks, tabs and line ends between bytes are ignored.
// Returns nothing on a non-hex character or an odd number of digits.
std::optional<ByteString> ParseHexBytes(std::string_view text);

// Every hex digit (either case) becomes its four binary digits; other characters are skipped.
std::string HexToBits(std::string_view hex);

// The first eight characters of `text` read as hexadecimal digits into a 32-bit integer that
// wraps to a signed value. Returns nothing when a character is not a hex digit or text is empty.
std::optional<int32_t> HexToInt32(std::string_view text);

// BCD bytes, least significant byte first (as M-Bus sends them), read as a decimal number.
// Nothing when a nibble is A to F (a sign nibble among them) or the number exceeds 2147483647.
std::optional<int32_t> BcdToInt32(std::string_view bytes);

// Decimal digits two to a byte, in text order ("1234" gives 12 34); an odd last digit fills
// the high nibble of a last byte. The caller checks that `digits` are decimal digits.
ByteString DigitsToBcd(std::string_view digits);

}  // namespace orvio
