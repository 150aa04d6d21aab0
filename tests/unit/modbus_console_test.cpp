// The console's hexadecimal command line.
#include <gtest/gtest.h>

#include "core/modbus/console.h"

namespace orvio {
namespace {

constexpr const char* kNoError = nullptr;

struct ConsoleRow {
  const char* name;
  std::string_view text;
  const char* bytes;  // trace hex of what is sent
  const char* error;
};

const ConsoleRow kConsoleRows[] = {
    {"read_holding_frame", "1 3 0 0 0 A C5 CD", "01 03 00 00 00 0A C5 CD ", kNoError},
    {"long_token_cut_to_two", "123 4", "12 04 ", kNoError},
    {"blank_runs_skipped", "   01    02   ", "01 02 ", kNoError},
    {"two_digits_no_blank", "FF", "FF ", kNoError},
    {"zero_byte", "00 0", "00 00 ", kNoError},
    {"only_blanks", "   ", "", kNoError},
    {"empty_sends_nothing_silently", "", "", kNoError},
    {"one_character", "A", "", kConsoleTooShort},
    {"one_blank", " ", "", kConsoleTooShort},
    {"one_multibyte_character", "\xC3\xA9", "", kConsoleTooShort},
    {"prefix_0x", "0x01", "", kConsoleBadCharacter},
    {"lower_case", "0a", "", kConsoleBadCharacter},
    {"letter_beyond_F", "0G", "", kConsoleBadCharacter},
    {"tab_separator", "01\t02", "", kConsoleBadCharacter},
    {"bad_character_after_good", "01 02 0z", "", kConsoleBadCharacter},
    {"nul_byte",
     std::string_view("01\0"
                      "2",
                      4),
     "", kConsoleBadCharacter},
};

class ConsoleTable : public ::testing::TestWithParam<ConsoleRow> {};

TEST_P(ConsoleTable, BytesOrError) {
  const ConsoleRow& row = GetParam();
  const ConsoleHex out = ParseConsoleHex(row.text);
  if (row.error == kNoError) {
    EXPECT_FALSE(out.error.has_value()) << *out.error;
    EXPECT_EQ(TraceHex(out.bytes), row.bytes);
  } else {
    EXPECT_EQ(out.error.value_or("<none>"), row.error);
    EXPECT_TRUE(out.bytes.empty()) << "a refused text sends nothing";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ConsoleTable, ::testing::ValuesIn(kConsoleRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvio
