// Selection by secondary address and the wildcard search's digit stepping, the latter run against
// a small model of a line: a selection is answered when any meter matches it, and the REQ_UD2
// that follows gives one valid telegram only when exactly one meter is selected.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/mbus/secondary_search.h"

namespace orvio {
namespace {

SearchDigitArray Digits(const char* id) { return *SearchDigitsFromId(id); }

// ---- ID field ----

struct SelectionIdRow {
  const char* name;
  const char* text;
  IdRequest request;
};
class SelectionIdRows : public ::testing::TestWithParam<SelectionIdRow> {};
TEST_P(SelectionIdRows, Classified) {
  EXPECT_EQ(ClassifyIdText(GetParam().text), GetParam().request);
}
INSTANTIATE_TEST_SUITE_P(
    SecondarySearch, SelectionIdRows,
    ::testing::Values(SelectionIdRow{"EightDigits", "21436587", IdRequest::kExact},
                      SelectionIdRow{"LeadingZeros", "00000001", IdRequest::kExact},
                      SelectionIdRow{"AllF", "FFFFFFFF", IdRequest::kWildcard},
                      SelectionIdRow{"SevenDigits", "2143658", IdRequest::kWrong},
                      SelectionIdRow{"NineDigits", "214365870", IdRequest::kWrong},
                      SelectionIdRow{"FAmongDigits", "2143F587", IdRequest::kWrong},
                      SelectionIdRow{"SevenF", "FFFFFFF", IdRequest::kWrong},
                      SelectionIdRow{"LowerCaseF", "ffffffff", IdRequest::kWrong},
                      SelectionIdRow{"Empty", "", IdRequest::kWrong},
                      SelectionIdRow{"Blank", "2143 587", IdRequest::kWrong}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SecondarySearch, IdDigitsGoLeastSignificantFirst) {
  const SearchDigitArray d = Digits("12345678");
  EXPECT_EQ(std::vector<int>(d.begin() + 1, d.end()), (std::vector<int>{8, 7, 6, 5, 4, 3, 2, 1}));
  // A table cell holding F keeps it as the wildcard instead of a value beyond one nibble.
  EXPECT_EQ(Digits("F234567F")[1], 15);
  EXPECT_EQ(Digits("F234567F")[8], 15);
  EXPECT_FALSE(SearchDigitsFromId("1234567").has_value());
  EXPECT_FALSE(SearchDigitsFromId("1234567G").has_value());
}

// ---- telegrams ----

struct SelectionTelegramRow {
  const char* name;
  ByteString telegram;
  const char* hex;
};
class SelectionTelegramRows : public ::testing::TestWithParam<SelectionTelegramRow> {};
TEST_P(SelectionTelegramRows, Bytes) { EXPECT_EQ(HexText(GetParam().telegram), GetParam().hex); }
// Checksums summed by hand from the C field to the byte before the checksum, modulo 256.
INSTANTIATE_TEST_SUITE_P(
    SecondarySearch, SelectionTelegramRows,
    ::testing::Values(
        // ID 12345678 travels as BCD 78 56 34 12.
        SelectionTelegramRow{"SelectExact", SelectionTelegram(Digits("12345678")),
                             "680B0B6853FD5278563412FFFFFFFFB216"},
        SelectionTelegramRow{"SelectAllWildcards", SelectionTelegram(Digits("FFFFFFFF")),
                             "680B0B6853FD52FFFFFFFFFFFFFFFF9A16"},
        // Position 1 = 3, the rest wildcards: the low nibble of the first byte.
        SelectionTelegramRow{"SelectLastDigit3",
                             [] {
                               SearchDigitArray d = Digits("FFFFFFFF");
                               FillWildcards(d, 1, 3);
                               return SelectionTelegram(d);
                             }(),
                             "680B0B6853FD52F3FFFFFFFFFFFFFF8E16"},
        SelectionTelegramRow{"SetAddress7", SetAddressTelegram(0xFD, 7),
                             "6806066873FD51017A074316"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- wildcard digits and the Checking line ----

TEST(SecondarySearch, FillWildcardsSetsOnePositionAndFreesTheOnesAbove) {
  SearchDigitArray d = Digits("12345678");
  FillWildcards(d, 3, 0);
  EXPECT_EQ(CheckingLine(d), "Checking 870FFFFF...");
  FillWildcards(d, 8, 9);
  EXPECT_EQ(CheckingLine(d), "Checking 870FFFF9...");
  FillWildcards(d, 9, 1);  // outside the ID: nothing changes
  FillWildcards(d, 0, 1);
  EXPECT_EQ(CheckingLine(d), "Checking 870FFFF9...");
}

TEST(SecondarySearch, CheckingLineShowsTheLeastSignificantDigitFirst) {
  SearchDigitArray d = Digits("FFFFFFFF");
  FillWildcards(d, 1, 3);
  EXPECT_EQ(CheckingLine(d), "Checking 3FFFFFFF...");
  EXPECT_EQ(CheckingLine(Digits("21436587")), "Checking 78563412...");
}

// ---- the search against a modelled line ----

class Line {
 public:
  explicit Line(std::vector<std::string> ids) : ids_(std::move(ids)) {}

  // Attempts that draw no answer although a meter matches (a meter slow to wake up).
  int deaf_attempts = 0;
  // Stops the search after this many selections (-1: never).
  int stop_after = -1;

  std::vector<std::string> found;
  std::vector<std::string> checking;
  int selections = 0;

  SearchSteps Steps() {
    return {
        [this] { return stop_after >= 0 && selections >= stop_after; },
        [this](const SearchDigitArray& d) { checking.push_back(CheckingLine(d)); },
        [this](const SearchDigitArray& d) {
          ++selections;
          selected_.clear();
          for (const std::string& id : ids_)
            if (Matches(d, id)) selected_.push_back(id);
          if (!selected_.empty() && deaf_attempts > 0) {
            --deaf_attempts;
            return false;
          }
          return !selected_.empty();
        },
        [this] {
          if (selected_.size() != 1) return false;  // superimposed answers never decode
          found.push_back(selected_[0]);
          return true;
        },
    };
  }

  std::set<std::string> FoundSet() const { return {found.begin(), found.end()}; }

 private:
  static bool Matches(const SearchDigitArray& d, const std::string& id) {
    const SearchDigitArray m = *SearchDigitsFromId(id);
    for (int p = 1; p <= kIdDigits; ++p)
      if (d[static_cast<size_t>(p)] != kWildcardDigit && d[static_cast<size_t>(p)] != m[p])
        return false;
    return true;
  }
  std::vector<std::string> ids_;
  std::vector<std::string> selected_;
};

struct SearchLineRow {
  const char* name;
  std::vector<std::string> ids;
  int retry_setting;
  int selections;  // what the whole search costs
};
class SearchLineRows : public ::testing::TestWithParam<SearchLineRow> {};
TEST_P(SearchLineRows, EveryMeterFoundOnce) {
  Line line(GetParam().ids);
  WildcardSearch(1, GetParam().retry_setting, line.Steps());
  EXPECT_EQ(line.FoundSet(), std::set<std::string>(GetParam().ids.begin(), GetParam().ids.end()));
  EXPECT_EQ(line.found.size(), GetParam().ids.size());
  EXPECT_EQ(line.selections, GetParam().selections);
}
// A silent value costs retry + 1 selections, an answered one a single selection.
INSTANTIATE_TEST_SUITE_P(
    SecondarySearch, SearchLineRows,
    ::testing::Values(
        SearchLineRow{"EmptyLine", {}, 1, 20}, SearchLineRow{"EmptyLineRetry2", {}, 2, 30},
        SearchLineRow{"OneMeter", {"12345678"}, 1, 1 + 9 * 2},
        // Last digits differ: told apart at position 1.
        SearchLineRow{"LastDigitsDiffer", {"12345678", "12345671"}, 1, 2 + 8 * 2},
        // Only the first printed digit differs: collisions at positions 1..7, resolved at 8.
        SearchLineRow{
            "FirstDigitDiffers", {"21436587", "71436587"}, 1, 7 * (1 + 9 * 2) + 2 + 8 * 2},
        // Told apart at position 2 (the tens): one refinement below the collision on 7.
        SearchLineRow{"TensDiffer", {"21436587", "21436597", "00000003"}, 1, 2 + 8 * 2 + 2 + 8 * 2},
        SearchLineRow{"DemoLine",
                      {"12345678", "23456789", "34567890", "45678901", "56789012", "67890123",
                       "78901234", "21436587", "71436587", "89012345"},
                      0,
                      10 + 7 * 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SecondarySearch, TwoMetersWithOneIdEndTheirBranchAtTheLastPosition) {
  // Both answer every selection that matches; they never decode, so the branch ends at
  // position 8 without a result instead of descending further.
  Line line({"11111111", "11111111"});
  WildcardSearch(1, 1, line.Steps());
  EXPECT_TRUE(line.found.empty());
  EXPECT_EQ(line.selections, 8 * (1 + 9 * 2));
  // The deepest branch tried all ten values of position 8 and went no further.
  EXPECT_EQ(std::count(line.checking.begin(), line.checking.end(), "Checking 11111119..."), 1);
  EXPECT_EQ(line.checking.size(), 80u);
}

TEST(SecondarySearch, OneMeterSeenInCheckingOrder) {
  Line line({"00000003"});
  WildcardSearch(1, 1, line.Steps());
  ASSERT_EQ(line.checking.size(), 10u);
  EXPECT_EQ(line.checking[0], "Checking 0FFFFFFF...");
  EXPECT_EQ(line.checking[3], "Checking 3FFFFFFF...");
  EXPECT_EQ(line.checking[9], "Checking 9FFFFFFF...");
}

TEST(SecondarySearch, ASilentAttemptIsRepeated) {
  Line line({"00000003"});
  line.deaf_attempts = 1;
  WildcardSearch(1, 1, line.Steps());
  EXPECT_EQ(line.found, (std::vector<std::string>{"00000003"}));
  EXPECT_EQ(line.selections, 2 * 10);  // the deaf first attempt at 3 costs one more

  Line unlucky({"00000003"});
  unlucky.deaf_attempts = 2;  // both attempts allowed by retry 1 stay unanswered
  WildcardSearch(1, 1, unlucky.Steps());
  EXPECT_TRUE(unlucky.found.empty());
}

TEST(SecondarySearch, StopEndsTheWalkAtOnceAtAnyDepth) {
  for (int stop : {0, 1, 5, 25, 60}) {
    Line line({"21436587", "71436587"});
    line.stop_after = stop;
    WildcardSearch(1, 1, line.Steps());
    EXPECT_EQ(line.selections, stop) << stop;
  }
}

TEST(SecondarySearch, RefinementStartsAboveTheCollision) {
  Line line({"21436587", "71436587"});
  SearchDigitArray d = Digits("FFFFFFFF");
  FillWildcards(d, 1, 7);
  SearchNextDigit(1, d, 1, line.Steps());
  EXPECT_EQ(line.checking.front(), "Checking 70FFFFFF...");
  EXPECT_EQ(line.FoundSet(), (std::set<std::string>{"21436587", "71436587"}));

  // A collision reported at position 8 or beyond is refined at position 8 itself.
  Line last({"21436587", "71436587"});
  SearchNextDigit(9, Digits("F1436587"), 1, last.Steps());
  EXPECT_EQ(last.checking.front(), "Checking 78563410...");
  EXPECT_EQ(last.FoundSet(), (std::set<std::string>{"21436587", "71436587"}));
}

}  // namespace
}  // namespace orvio
