#include "core/text/number.h"

#include <climits>

namespace orvio {

namespace {

constexpr double kPowers[] = {1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4,
                              1e-3,  1e-2,  1e-1,  1e0,  1e1,  1e2,  1e3,  1e4,  1e5,
                              1e6,   1e7,   1e8,   1e9,  1e10, 1e11, 1e12};
constexpr int kPowerBias = 12;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<long long> ParseSignedDecimal(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  constexpr long long kLimit = LLONG_MAX / 10 - 9;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<int> ParseDecimal(std::string_view text) {
  if (text.empty() || !IsDigit(text[0])) return std::nullopt;
  const auto value = ParseSignedDecimal(text);
  if (!value || *value > INT_MAX) return std::nullopt;
  return static_cast<int>(*value);
}

std::optional<int> ParseInt(std::string_view text) {
  const auto value = ParseSignedDecimal(text);
  if (!value || *value > INT_MAX || *value < INT_MIN) return std::nullopt;
  return static_cast<int>(*value);
}

double PowerOfTen(int exponent) {
  if (exponent < -kPowerBias || exponent > kPowerBias) return 1.0;
  return kPowers[exponent + kPowerBias];
}

char DecimalSeparatorFrom(std::string_view localePoint) {
  if (localePoint.size() == 1 && static_cast<unsigned char>(localePoint[0]) < 0x80)
    return localePoint[0];
  return '.';
}

}  // namespace orvio
