// The fixed number format every decoded value is shown in.
#pragma once

#include <string>

namespace orvio {

// `value` rounded to `precision` significant digits and written with `decimals` digits after
// `decimal_separator`, no thousands separators, "-" in front of a negative value. When the
// integer part needs more than `precision` digits the value is written in scientific notation
// instead ("1.2345E+15": mantissa without trailing zeros, signed exponent of at least two
// digits). A value that rounds to zero carries no sign.
std::string FormatFixed(double value, int precision, int decimals, char decimal_separator = '.');

// Reads a text written by FormatFixed (or any decimal number using `decimal_separator`) back;
// returns false when the whole text is not a number.
bool ParseFixed(const std::string& text, double& value, char decimal_separator = '.');

}  // namespace orvio
