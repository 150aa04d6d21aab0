#include "core/mbus/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace orvio {

namespace {

// Drops the "-" of a text whose digits are all zero ("-0.000" -> "0.000").
void DropSignOfZero(std::string& s) {
  if (s.empty() || s[0] != '-') return;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] >= '1' && s[i] <= '9') return;
  }
  s.erase(0, 1);
}

}  // namespace

std::string FormatFixed(double value, int precision, int decimals, char decimal_separator) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (precision < 1) precision = 1;
  if (precision > 17) precision = 17;
  if (decimals < 0) decimals = 0;
  if (decimals > 30) decimals = 30;

  const double magnitude = std::fabs(value);
  if (magnitude == 0.0) {
    std::string zero = "0";
    if (decimals > 0) {
      zero += decimal_separator;
      zero.append(static_cast<size_t>(decimals), '0');
    }
    return zero;
  }
  std::string out;
  if (std::signbit(value)) out += '-';

  // Round to `precision` significant digits first: "d.ddddde+XX".
  char sci[48];
  auto sr =
      std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific, precision - 1);
  std::string_view s(sci, static_cast<size_t>(sr.ptr - sci));
  const size_t e_at = s.find('e');
  int exponent = std::atoi(std::string(s.substr(e_at + 1)).c_str());
  std::string digits;  // the `precision` significant digits
  for (char c : s.substr(0, e_at)) {
    if (c != '.') digits += c;
  }

  if (exponent + 1 > precision) {
    // Integer part longer than the precision: scientific notation.
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    out += digits[0];
    if (digits.size() > 1) {
      out += decimal_separator;
      out.append(digits, 1, std::string::npos);
    }
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    int ae = exponent < 0 ? -exponent : exponent;
    if (ae < 10) out += '0';
    out += std::to_string(ae);
    return out;
  }

  if (exponent + 1 + decimals <= precision) {
    // The decimals are the coarser rounding: round once, at the last decimal.
    char fix[400];
    auto fr = std::to_chars(fix, fix + sizeof fix, magnitude, std::chars_format::fixed, decimals);
    for (char* c = fix; c < fr.ptr; ++c) out += (*c == '.') ? decimal_separator : *c;
    DropSignOfZero(out);
    return out;
  }

  // The significant digits are the coarser rounding: place them and pad with zeros.
  std::string int_part, frac_part;
  if (exponent >= 0) {
    int_part = digits.substr(0, static_cast<size_t>(exponent + 1));
    frac_part = digits.substr(static_cast<size_t>(exponent + 1));
  } else {
    int_part = "0";
    frac_part = std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  if (frac_part.size() < static_cast<size_t>(decimals)) {
    frac_part.append(static_cast<size_t>(decimals) - frac_part.size(), '0');
  }
  frac_part.resize(static_cast<size_t>(decimals));
  out += int_part;
  if (decimals > 0) {
    out += decimal_separator;
    out += frac_part;
  }
  DropSignOfZero(out);
  return out;
}

bool ParseFixed(const std::string& text, double& value, char decimal_separator) {
  if (text.empty()) return false;
  std::string t = text;
  for (char& c : t) {
    if (c == decimal_separator) c = '.';
  }
  const char* first = t.data();
  const char* last = t.data() + t.size();
  auto r = std::from_chars(first, last, value);
  return r.ec == std::errc() && r.ptr == last;
}

}  // namespace orvio
