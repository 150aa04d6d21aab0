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

// Trace hex: two upper-case digits and one blank per byte ("01 03 ").
std::string TraceHex(std::string_view bytes);

// Hex text: two upper-case digits per byte, no separators ("0103").
std::string HexText(std::string_view bytes);

// Parses hex digits (either case); blanks, tabs and line ends between bytes are ignored.
// Returns nothing on a non-hex character or an odd number of digits.
std::optional<ByteString> ParseHexBytes(std::string_view text);

// The first eight characters of `text` read as hexadecimal digits into a 32-bit integer that
// wraps to a signed value. Returns nothing when a character is not a hex digit or text is empty.
std::optional<int32_t> HexToInt32(std::string_view text);

}  // namespace orvio
