// Selection of meters by their secondary address (the 8-digit identification number) and the
// wildcard search that finds every meter on a line by refining the ID digit by digit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/bytes.h"

namespace orvio {

// The digits of an ID by position: position 1 is the least significant digit, position 8 the
// most significant one; index 0 is unused. A digit is 0..9, or 15 (F), which a meter takes for
// "any digit" in a selection.
using SearchDigitArray = std::array<uint8_t, 9>;
inline constexpr int kIdDigits = 8;
inline constexpr uint8_t kWildcardDigit = 15;
// Network-layer address of the meter(s) selected by secondary address.
inline constexpr uint8_t kSelectedMeterAddress = 0xFD;
// Text of the ID field that asks for the full wildcard search.
inline constexpr char kWildcardIdText[] = "FFFFFFFF";

// Memo texts of "Find by ID" and the search worker.
namespace search_text {
inline constexpr char kWrongId[] = "Wrong ID entered - 8-digit or FFFFFFFF available...";
inline constexpr char kStartedAt[] = "Secondary search Thread started at ";  // + date,time
inline constexpr char kTerminated[] = "Secondary search thread terminated normally.";
inline constexpr char kWriteException[] = "Unable to write to COM port, exception...";  // + what
// Any other exception, by where it was caught: a selection (or the whole run), the decode of an
// answer, the read of a selected meter.
inline constexpr char kUnknownException1001[] =
    "Unknown exception in secondary search, code #1001...";
inline constexpr char kUnknownException1003[] =
    "Unknown exception in secondary search, code #1003...";
inline constexpr char kUnknownException1004[] =
    "Unknown exception in secondary search, code #1004...";
}  // namespace search_text

// What an ID field text asks for: eight decimal digits read one meter, "FFFFFFFF" searches the
// line, anything else is refused.
enum class IdRequest { kWrong, kExact, kWildcard };
IdRequest ClassifyIdText(std::string_view text);

// The digits of an 8-character ID as printed (most significant first): the last character goes
// to position 1. Decimal digits, and the hex letters A..F (either case) as 10..15, so that an ID
// cell holding F keeps it as the wildcard; nothing for any other text.
std::optional<SearchDigitArray> SearchDigitsFromId(std::string_view id);

// Position p := v, every position above p := wildcard. Positions outside 1..8 are not touched.
void FillWildcards(SearchDigitArray& digits, int p, uint8_t v);

// "Checking " + positions 1..8 in that order (least significant first; a wildcard as F) + "...".
std::string CheckingLine(const SearchDigitArray& digits);

// SND_UD selection by secondary address to 253 (EN 13757-3 CI 52h):
//   68 0B 0B 68 | 53 FD 52 | ID as BCD, least significant byte first | FF FF (manufacturer)
//   FF (version) FF (medium) | checksum | 16
// A byte is (digit at position 2k) * 16 + digit at position 2k-1, so wildcards travel as F nibbles.
ByteString SelectionTelegram(const SearchDigitArray& digits);

// SND_UD to `address` writing a new primary address (DIF 01, VIF 7A):
//   68 06 06 68 | 73 A 51 01 7A N | checksum | 16
ByteString SetAddressTelegram(uint8_t address, uint8_t new_address);

// The steps a wildcard search takes on the line; the caller does the tunnel transactions.
struct SearchSteps {
  std::function<bool()> stop_requested;
  // The digits about to be selected (the "Checking" line).
  std::function<void(const SearchDigitArray&)> checking;
  // One selection attempt with these digits; true when anything answered it.
  std::function<bool(const SearchDigitArray&)> select;
  // Reads the selected meter(s); true when one valid telegram came back. False after a
  // selection that drew an answer means a collision: several meters share the digits so far.
  std::function<bool()> read_selected;
};

// Refinement after a collision at position p: the ten values of position p + 1 (p above 7
// counts as 7), each selected with up to retry_setting + 1 attempts while nothing answers, and
// below each new collision the next position, down to position 8 where a collision ends the
// branch. Returns early once stop_requested() holds.
void SearchNextDigit(int p, SearchDigitArray digits, int retry_setting, const SearchSteps& steps);

// The whole search: the ten values of position `start` (1 for a whole line) with all higher
// positions wildcards, refined after every collision.
void WildcardSearch(int start, int retry_setting, const SearchSteps& steps);

}  // namespace orvio
