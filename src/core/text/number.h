// Numbers read from texts and the decimal scale of shown values: the one place the core parses
// decimal numbers, keeps the powers of ten and picks the decimal separator.
#pragma once

#include <optional>
#include <string_view>

namespace orvio {

// A decimal number with an optional leading "+" or "-": ASCII digits only, no blanks. A number
// beyond the range of long long is saturated (it stays far beyond any int). Nothing for any
// other text, an empty one or a sign alone.
std::optional<long long> ParseSignedDecimal(std::string_view text);

// A decimal number made of ASCII digits only (no sign, no blanks); nothing for any other text or
// a value beyond int range. A sign is refused on purpose: "-1" would travel as address 255.
std::optional<int> ParseDecimal(std::string_view text);

// A decimal number with an optional sign that fits an int; nothing otherwise (a cell's number).
std::optional<int> ParseInt(std::string_view text);

// The exact double nearest to 10^exponent, for exponents -12 to 12; 1 outside them.
double PowerOfTen(int exponent);

// The decimal separator for shown values from the locale's decimal point (UTF-8): the point
// itself when it is one plain ASCII character, else ".".
char DecimalSeparatorFrom(std::string_view localePoint);

}  // namespace orvio
