#include "core/mbus/secondary_search.h"

namespace orvio {

namespace {

constexpr uint8_t kSndUd = 0x53;
constexpr uint8_t kSndUdFcb = 0x73;
constexpr uint8_t kCiSelection = 0x52;
constexpr uint8_t kCiData = 0x51;

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }

// Long frame 68 L L 68 | body | CS 16, CS = sum of the body bytes modulo 256.
ByteString LongFrame(const ByteString& body) {
  ByteString frame{'\x68', static_cast<char>(body.size()), static_cast<char>(body.size()), '\x68'};
  uint8_t sum = 0;
  for (char c : body) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  frame += body;
  frame.push_back(static_cast<char>(sum));
  frame.push_back('\x16');
  return frame;
}

// The ten values of position q, each tried until something answers or the attempts run out.
void WalkPosition(int q, SearchDigitArray digits, int retry_setting, const SearchSteps& steps) {
  for (uint8_t v = 0; v <= 9; ++v) {
    if (steps.stop_requested()) return;
    FillWildcards(digits, q, v);
    steps.checking(digits);
    for (int attempt = 0; attempt <= retry_setting; ++attempt) {
      if (steps.stop_requested()) return;
      if (!steps.select(digits)) continue;
      if (steps.stop_requested()) return;
      if (!steps.read_selected() && q < kIdDigits) SearchNextDigit(q, digits, retry_setting, steps);
      break;
    }
  }
}

}  // namespace

IdRequest ClassifyIdText(std::string_view text) {
  if (text == kWildcardIdText) return IdRequest::kWildcard;
  if (text.size() != kIdDigits) return IdRequest::kWrong;
  for (char c : text)
    if (!IsDecimal(c)) return IdRequest::kWrong;
  return IdRequest::kExact;
}

std::optional<SearchDigitArray> SearchDigitsFromId(std::string_view id) {
  if (id.size() != kIdDigits) return std::nullopt;
  SearchDigitArray d{};
  for (int p = 1; p <= kIdDigits; ++p) {
    const char c = id[static_cast<size_t>(kIdDigits - p)];
    if (IsDecimal(c))
      d[p] = static_cast<uint8_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      d[p] = static_cast<uint8_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f')
      d[p] = static_cast<uint8_t>(c - 'a' + 10);
    else
      return std::nullopt;
  }
  return d;
}

void FillWildcards(SearchDigitArray& digits, int p, uint8_t v) {
  if (p < 1 || p > kIdDigits) return;
  digits[static_cast<size_t>(p)] = v;
  for (int i = p + 1; i <= kIdDigits; ++i) digits[static_cast<size_t>(i)] = kWildcardDigit;
}

std::string CheckingLine(const SearchDigitArray& digits) {
  std::string line = "Checking ";
  for (int p = 1; p <= kIdDigits; ++p) {
    const uint8_t d = digits[static_cast<size_t>(p)];
    line += d <= 9 ? static_cast<char>('0' + d) : 'F';
  }
  return line + "...";
}

ByteString SelectionTelegram(const SearchDigitArray& digits) {
  ByteString body{static_cast<char>(kSndUd), static_cast<char>(kSelectedMeterAddress),
                  static_cast<char>(kCiSelection)};
  for (size_t k = 1; k <= 4; ++k)
    body.push_back(static_cast<char>((digits[2 * k] & 0x0F) << 4 | (digits[2 * k - 1] & 0x0F)));
  body.append(4, '\xFF');  // manufacturer (2 bytes), version, medium: any
  return LongFrame(body);
}

ByteString SetAddressTelegram(uint8_t address, uint8_t new_address) {
  return LongFrame({static_cast<char>(kSndUdFcb), static_cast<char>(address),
                    static_cast<char>(kCiData), '\x01', '\x7A', static_cast<char>(new_address)});
}

void SearchNextDigit(int p, SearchDigitArray digits, int retry_setting, const SearchSteps& steps) {
  if (p >= kIdDigits) p = kIdDigits - 1;
  if (steps.stop_requested()) return;
  WalkPosition(p + 1, digits, retry_setting, steps);
}

void WildcardSearch(int start, int retry_setting, const SearchSteps& steps) {
  SearchDigitArray digits{};
  digits.fill(kWildcardDigit);
  WalkPosition(start < 1 ? 1 : start, digits, retry_setting, steps);
}

}  // namespace orvio
