#include "core/mbus/secondary_search.h"

#include "core/mbus/change_requests.h"

namespace orvio {

namespace {

constexpr uint8_t kSndUdFcb = 0x73;  // SND_UD, FCB set
constexpr uint8_t kCiSelection = 0x52;

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
  return IsMeterId(text) ? IdRequest::kExact : IdRequest::kWrong;
}

std::optional<SearchDigitArray> SearchDigitsFromId(std::string_view id) {
  if (id.size() != kIdDigits) return std::nullopt;
  SearchDigitArray d{};
  for (int p = 1; p <= kIdDigits; ++p) {
    const int v = HexDigitValue(id[static_cast<size_t>(kIdDigits - p)]);
    if (v < 0) return std::nullopt;
    d[p] = static_cast<uint8_t>(v);
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
  ByteString data;
  for (size_t k = 1; k <= 4; ++k)
    data.push_back(static_cast<char>((digits[2 * k] & 0x0F) << 4 | (digits[2 * k - 1] & 0x0F)));
  data.append(4, '\xFF');  // manufacturer (2 bytes), version, medium: any
  return *LongFrame(kSndUdControl, kSelectedMeterAddress, kCiSelection, data);
}

ByteString SetAddressTelegram(uint8_t address, uint8_t new_address) {
  const ByteString data{'\x01', '\x7A', static_cast<char>(new_address)};  // DIF 01, VIF 7A
  return *LongFrame(kSndUdFcb, address, kCiDataSend, data);
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
