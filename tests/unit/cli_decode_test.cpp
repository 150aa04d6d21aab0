// orvio-cli decode, run in-process: sources, text and JSON output, exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/decode_command.h"
#include "core/bytes.h"
#include "core/mbus/telegram.h"

namespace orvio::cli {
namespace {

// 68 L L 68 08 05 72, ID 12345678, ABC, water, records 04 13 78 56 34 12 and 02 5B 15 00.
const char kWater[] =
    "68 19 19 68 08 05 72 78 56 34 12 43 04 01 07 2A 00 00 00 04 13 78 56 34 12 02 5B 15 00 "
    "A9 16";

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

CliRun Cli(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = RunCli(args, in, out, err);
  return {status, out.str(), err.str()};
}

TEST(CliDecode, TheTestTelegramIsSound) {
  const auto bytes = ParseHexBytes(kWater);
  ASSERT_TRUE(bytes.has_value());
  ASSERT_TRUE(DecodeTelegram(*bytes).ok) << DecodeTelegram(*bytes).trace.back();
}

TEST(CliDecode, TextOutput) {
  const CliRun r = Cli({"decode", kWater});
  EXPECT_EQ(r.status, kAllDecoded);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "ID 12345678  Addr 5  Mfr ABC  Medium Water  Status 00\n"
            "No  Value       Unit    Description  DIF  VIF  VIFE\n"
            "1   305419.896  m3                   04   13\n"
            "2   21.000      deg. C  Flow Temp.   02   5B\n"
            "Main value: 305419.896 m3\n");
}

TEST(CliDecode, HexWithoutBlanksAndSplitOverArguments) {
  std::string packed;
  for (char c : std::string(kWater)) {
    if (c != ' ') packed += c;
  }
  EXPECT_EQ(Cli({"decode", packed}).status, kAllDecoded);
  EXPECT_EQ(Cli({"decode", packed.substr(0, 10), packed.substr(10)}).status, kAllDecoded);
  EXPECT_EQ(Cli({"decode", packed}).out, Cli({"decode", kWater}).out);
}

TEST(CliDecode, JsonHasExactlyTheMembers) {
  const CliRun r = Cli({"decode", "--json", kWater});
  EXPECT_EQ(r.status, kAllDecoded);
  EXPECT_EQ(r.out,
            std::string("{\"ok\":true,\"trace\":[\"Respond: ") + kWater +
                " \"],\"id\":\"12345678\",\"address\":5,\"manufacturer\":\"ABC\","
                "\"medium\":\"Water\",\"status\":\"00\",\"value\":\"305419.896\",\"unit\":\"m3\","
                "\"records\":[{\"number\":\"1\",\"value\":\"305419.896\",\"unit\":\"m3\","
                "\"description\":\"\",\"dif\":\"04 \",\"vif\":\"13\",\"vife\":\"\"},"
                "{\"number\":\"2\",\"value\":\"21.000\",\"unit\":\"deg. C\",\"description\":"
                "\"Flow Temp.\",\"dif\":\"02 \",\"vif\":\"5B\",\"vife\":\"\"}]}\n");
}

TEST(CliDecode, FailedChecksGiveEmptyHeaderAndStatusOne) {
  std::string bad = kWater;
  bad.replace(bad.size() - 5, 2, "A6");  // checksum
  const CliRun r = Cli({"decode", "--json", bad});
  EXPECT_EQ(r.status, kCheckFailed);
  EXPECT_NE(r.out.find("\"ok\":false"), std::string::npos);
  EXPECT_NE(r.out.find("\"Wrong CRC\""), std::string::npos);
  EXPECT_NE(r.out.find("\"id\":\"\",\"address\":0,\"manufacturer\":\"\",\"medium\":\"\","
                       "\"status\":\"\",\"value\":\"\",\"unit\":\"\",\"records\":[]}"),
            std::string::npos)
      << r.out;
  const CliRun text = Cli({"decode", bad});
  EXPECT_EQ(text.status, kCheckFailed);
  EXPECT_NE(text.out.find("Wrong CRC\n"), std::string::npos);
}

TEST(CliDecode, SeveralTelegramsFromStandardInput) {
  std::string bad = kWater;
  bad.replace(bad.size() - 2, 2, "17");  // stop byte
  const CliRun r = Cli({"decode", "--json", "-"}, std::string(kWater) + "\n\n" + bad + "\r\n");
  EXPECT_EQ(r.status, kCheckFailed);
  std::istringstream lines(r.out);
  std::string line;
  std::vector<std::string> objects;
  while (std::getline(lines, line)) objects.push_back(line);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].rfind("{\"ok\":true", 0), 0u);
  EXPECT_EQ(objects[1].rfind("{\"ok\":false", 0), 0u);
  // No source at all also reads standard input.
  EXPECT_EQ(Cli({"decode"}, kWater).status, kAllDecoded);
}

TEST(CliDecode, FromFile) {
  const auto path = std::filesystem::temp_directory_path() / "orvio_cli_decode_test.txt";
  {
    std::ofstream f(path);
    f << kWater << "\n" << kWater << "\n";
  }
  const CliRun r = Cli({"decode", "-f", path.string()});
  std::filesystem::remove(path);
  EXPECT_EQ(r.status, kAllDecoded);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 11);  // two blocks and a blank line
}

// Files named as arguments (a shell glob), written without a final newline and joined by cat: every
// telegram is read once, each on its own.
TEST(CliDecode, FilesAsArgumentsAndTelegramsJoinedWithoutALineBreak) {
  const auto folder = std::filesystem::temp_directory_path() / "orvio_cli_file_arguments";
  std::filesystem::create_directories(folder);
  const auto first = folder / "a.hex", second = folder / "b.hex";
  std::ofstream(first) << kWater;  // no final newline
  std::ofstream(second) << kWater << "\n" << kWater;
  const CliRun files = Cli({"decode", "--json", first.string(), second.string()});
  EXPECT_EQ(files.status, kAllDecoded) << files.err;
  EXPECT_EQ(std::count(files.out.begin(), files.out.end(), '\n'), 3);
  EXPECT_EQ(files.out.find("\"ok\":false"), std::string::npos);
  // -f and a named file together are one source of files.
  EXPECT_EQ(Cli({"decode", "--json", "-f", first.string(), second.string()}).out, files.out);

  // What `cat a.hex b.hex` gives: "... A9 1668 19 ...".
  const CliRun joined =
      Cli({"decode", "--json", "-"}, std::string(kWater) + kWater + "\n" + kWater);
  EXPECT_EQ(joined.status, kAllDecoded);
  EXPECT_EQ(joined.out, files.out);
  // A frame that does not end in its stop byte where its length says is not cut there.
  std::string unsplit = std::string(kWater) + kWater;
  unsplit.replace(std::string(kWater).size() - 2, 2, "17");
  EXPECT_EQ(SplitJoinedTelegrams(*ParseHexBytes(unsplit)).size(), 1u);
  EXPECT_EQ(Cli({"decode", unsplit}).status, kCheckFailed);

  // A missing file is still taken for hex digits, and files do not mix with hex arguments.
  const std::string missing = (folder / "missing.hex").string();
  const CliRun notFound = Cli({"decode", missing});
  EXPECT_EQ(notFound.status, kUnusableInput);
  EXPECT_EQ(notFound.err,
            "orvio-cli: arguments line 1: not a telegram in hex digits (two per byte, blanks "
            "allowed)\norvio-cli: \"" +
                missing + "\" is no file either\n");
  EXPECT_EQ(Cli({"decode", "68 1G"}).err.find("no file"), std::string::npos);
  EXPECT_EQ(Cli({"decode", first.string(), kWater}).status, kUnusableInput);
  std::filesystem::remove_all(folder);
}

TEST(CliDecode, Version) {
  const CliRun r = Cli({"--version"});
  EXPECT_EQ(r.status, kAllDecoded);
  EXPECT_EQ(r.out, "orvio-cli " ORVIO_VERSION "\n");
  EXPECT_EQ(r.err, "");
}

// Input repeated in a message is cut to its first 32 characters and its length: a line of
// megabytes gives a message of a line.
TEST(CliDecode, EchoedInputIsCutToAPrefix) {
  const std::string line(10'000'000, 'A');
  for (const bool json : {false, true}) {
    std::vector<std::string> args = {"decode", "-"};
    if (json) args.insert(args.begin() + 1, "--json");
    const CliRun r = Cli(args, line + "\n");
    EXPECT_EQ(r.status, kCheckFailed);
    EXPECT_LT(r.out.size() + r.err.size(), 1000u) << (json ? "json" : "text");
    EXPECT_NE(r.out.find("Respond: AA AA AA AA AA AA AA AA... (15000009 characters)"),
              std::string::npos)
        << r.out;
  }
  const CliRun option = Cli({"decode", "--" + line});
  EXPECT_EQ(option.status, kUnusableInput);
  EXPECT_NE(option.err.find("\"--" + std::string(30, 'A') + "... (10000002 characters)\""),
            std::string::npos);
  EXPECT_LT(option.err.size(), 2000u);
  // The echo of a telegram of sound length stays whole.
  EXPECT_NE(Cli({"decode", "--json", kWater}).out.find(kWater), std::string::npos);
}

TEST(CliDecode, NumbersUseAPointWhateverTheLocale) {
  const CliRun r = Cli({"decode", "--json", kWater});
  EXPECT_NE(r.out.find("\"305419.896\""), std::string::npos);
}

TEST(CliDecode, TextsAreEscapedInJson) {
  // Plain-text unit "A\"\xE9" and a control character.
  const char* t =
      "68 17 17 68 08 05 72 78 56 34 12 43 04 01 07 2A 00 00 00 01 7C 04 41 22 E9 01 07 xx 16";
  std::string telegram = t;
  // Fill in the checksum.
  const auto body = ParseHexBytes(telegram.substr(12, telegram.size() - 12 - 6));
  ASSERT_TRUE(body.has_value());
  uint8_t sum = 0;
  for (unsigned char b : *body) sum = static_cast<uint8_t>(sum + b);
  telegram.replace(telegram.size() - 5, 2, HexText(std::string(1, static_cast<char>(sum))));
  const CliRun r = Cli({"decode", "--json", telegram});
  EXPECT_EQ(r.status, kAllDecoded) << r.out;
  EXPECT_NE(r.out.find("\"unit\":\"A\\\"\\u00e9\\u0001\""), std::string::npos) << r.out;
}

TEST(CliDecode, FullText) {
  const CliRun r = Cli({"decode", "--full", kWater});
  EXPECT_EQ(r.status, kAllDecoded);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(
      r.out,
      "C 08  Addr 5  CI 72h  ID 12345678  Mfr ABC  Version 1  Medium 07 Water\n"
      "Access number 42  Status 00  Signature 0000\n"
      "No  Offset  Length  Function             Storage  Tariff  Subunit  Value       Unit  "
      "Quantity          DIF  VIF  VIFE  Data\n"
      "1   19      6       Instantaneous value  0        0       0        305419.896  m^3   "
      "Volume            04   13         78 56 34 12\n"
      "2   25      4       Instantaneous value  0        0       0        21          \xC2\xB0"
      "C    Flow temperature  02   5B         15 00\n");
}

TEST(CliDecode, FullJsonHasTheHeaderAndEveryRecordMember) {
  const CliRun r = Cli({"decode", "--full", "--json", kWater});
  EXPECT_EQ(r.status, kAllDecoded);
  EXPECT_EQ(r.out,
            "{\"ok\":true,\"errors\":[],\"header\":{\"c\":\"08\",\"address\":5,\"ci\":\"72\","
            "\"id\":\"12345678\",\"manufacturer\":\"ABC\",\"version\":1,\"medium_code\":\"07\","
            "\"medium\":\"Water\",\"access_number\":42,\"status\":\"00\",\"status_bits\":[],"
            "\"signature\":\"0000\",\"offset\":6,\"length\":13},\"records\":[{\"number\":1,"
            "\"function\":\"Instantaneous value\",\"storage\":0,\"tariff\":0,\"subunit\":0,"
            "\"value\":\"305419.896\",\"unit\":\"m^3\",\"quantity\":\"Volume\",\"dif\":\"04\","
            "\"vif\":\"13\",\"vife\":\"\",\"data\":\"78 56 34 12\",\"offset\":19,\"length\":6},"
            "{\"number\":2,\"function\":\"Instantaneous value\",\"storage\":0,\"tariff\":0,"
            "\"subunit\":0,\"value\":\"21\",\"unit\":\"\\u00b0C\",\"quantity\":\"Flow "
            "temperature\",\"dif\":\"02\",\"vif\":\"5B\",\"vife\":\"\",\"data\":\"15 00\","
            "\"offset\":25,\"length\":4}]}\n");
}

// The fixed data structure (CI 73h): two counters under --full; the summary decode, which reads
// the variable structure's header, gets through it without a fault.
TEST(CliDecode, FixedDataStructure) {
  const char kFixed[] =
      "68 13 13 68 08 05 73 78 56 34 12 0A 00 E9 7E 01 00 00 00 35 01 00 00 3C 16";
  CliRun r = Cli({"decode", "--full", kFixed});
  EXPECT_EQ(r.status, kAllDecoded);
  EXPECT_EQ(r.out.substr(0, r.out.find("No  ")),
            "C 08  Addr 5  CI 73h  ID 12345678  Medium 07 Water  Medium/unit E97E\n"
            "Access number 10  Status 00\n");
  EXPECT_NE(r.out.find("1   15      4       Instantaneous value  0        0       0        1"),
            std::string::npos)
      << r.out;
  r = Cli({"decode", "--full", "--json", kFixed});
  EXPECT_NE(r.out.find("\"signature\":null,\"offset\":6,\"length\":9,\"medium_unit\":\"E97E\"}"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"value\":\"135\",\"unit\":\"l\""), std::string::npos) << r.out;
  for (const auto& args : {std::vector<std::string>{"decode", kFixed},
                           std::vector<std::string>{"decode", "--json", kFixed}}) {
    r = Cli(args);
    EXPECT_NE(r.status, kUnusableInput);
    EXPECT_FALSE(r.out.empty());
  }
}

TEST(CliDecode, FullFailedChecksAndSeveralTelegrams) {
  std::string bad = kWater;
  bad.replace(bad.size() - 5, 2, "A8");  // checksum
  CliRun r = Cli({"decode", "--full", "--json", "-"}, std::string(kWater) + "\n" + bad + "\n");
  EXPECT_EQ(r.status, kCheckFailed);
  const size_t first_end = r.out.find('\n');
  ASSERT_NE(first_end, std::string::npos);
  EXPECT_EQ(r.out.rfind("{\"ok\":true,", 0), 0u);
  EXPECT_EQ(r.out.substr(first_end + 1),
            "{\"ok\":false,\"errors\":[\"Wrong CRC\"],\"header\":null,\"records\":[]}\n");
  r = Cli({"decode", "--full", bad});
  EXPECT_EQ(r.status, kCheckFailed);
  EXPECT_EQ(r.out, "Wrong CRC\nNot decoded\n");
}

TEST(CliDecode, JsonEscapesControlCharactersAsBefore) {
  // Plain-text unit 08 0C 5C 22: backspace and form feed as \u00XX, backslash and quote.
  const char* t =
      "68 17 17 68 08 05 72 78 56 34 12 43 04 01 07 2A 00 00 00 01 7C 04 08 0C 5C 22 07 26 16";
  const CliRun r = Cli({"decode", "--json", t});
  EXPECT_EQ(r.status, kAllDecoded) << r.out;
  EXPECT_NE(r.out.find("\"unit\":\"\\u0008\\u000c\\\\\\\"\""), std::string::npos) << r.out;
}

struct UnusableRow {
  const char* name;
  std::vector<std::string> args;
  const char* input;
};
class CliUnusableRows : public ::testing::TestWithParam<UnusableRow> {};
TEST_P(CliUnusableRows, ExitTwoWithAMessage) {
  const UnusableRow& u = GetParam();
  const CliRun r = Cli(u.args, u.input);
  EXPECT_EQ(r.status, kUnusableInput);
  EXPECT_FALSE(r.err.empty());
  EXPECT_EQ(r.out, "");
}
const UnusableRow kUnusableRows[] = {
    {"NoCommand", {}, ""},
    {"UnknownCommand", {"encode", "68"}, ""},
    {"UnknownOption", {"decode", "--xml", "68"}, ""},
    {"NotHex", {"decode", "68 1G"}, ""},
    {"OddDigits", {"decode", "68 1"}, ""},
    {"BadLineAmongGoodOnes", {"decode", "-"}, "68 19\nzz\n"},
    {"EmptyInput", {"decode", "-"}, "\n  \n"},
    {"MissingFile", {"decode", "-f", "/nonexistent/orvio/telegrams.txt"}, ""},
    {"FileWithoutName", {"decode", "-f"}, ""},
    {"TwoSources", {"decode", "-", "68"}, ""},
};
INSTANTIATE_TEST_SUITE_P(Cli, CliUnusableRows, ::testing::ValuesIn(kUnusableRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Input that cannot be read: one line on standard error naming the file and the system's
// reason, exit status 2, nothing on standard output; the same with --json.
struct UnreadableRow {
  const char* name;
  std::string path;
  const char* reason;
};
class CliUnreadableRows : public ::testing::TestWithParam<UnreadableRow> {};
TEST_P(CliUnreadableRows, OneLineWithFileAndReason) {
  const UnreadableRow& u = GetParam();
  for (const bool json : {false, true}) {
    SCOPED_TRACE(json ? "--json" : "text");
    std::vector<std::string> args = {"decode"};
    if (json) args.push_back("--json");
    args.insert(args.end(), {"-f", u.path});
    const CliRun r = Cli(args);
    EXPECT_EQ(r.status, kUnusableInput);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvio-cli: cannot read \"" + u.path + "\": " + u.reason + "\n");
  }
}
const UnreadableRow kUnreadableRows[] = {
    {"Folder", std::filesystem::temp_directory_path().string(), "Is a directory"},
    {"MissingFile", "/nonexistent/orvio/telegrams.txt", "No such file or directory"},
    // Opens, but reading at offset 0 fails: a read error after a successful open.
    {"ReadError", "/proc/self/mem", "Input/output error"},
};
INSTANTIATE_TEST_SUITE_P(Cli, CliUnreadableRows, ::testing::ValuesIn(kUnreadableRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliDecode, FileWithoutReadPermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const auto path = std::filesystem::temp_directory_path() / "orvio_cli_unreadable.txt";
  {
    std::ofstream f(path);
    f << kWater << "\n";
  }
  std::filesystem::permissions(path, std::filesystem::perms::none);
  const CliRun r = Cli({"decode", "-f", path.string()});
  std::filesystem::remove(path);
  EXPECT_EQ(r.status, kUnusableInput);
  EXPECT_EQ(r.err, "orvio-cli: cannot read \"" + path.string() + "\": Permission denied\n");
}

#ifdef ORVIO_CLI_EXE
// The program itself, as a user runs it, through the shell: exit status and both outputs.
CliRun Program(const std::string& arguments) {
  const std::string command = std::string(ORVIO_CLI_EXE) + " " + arguments + " 2>&1";
  CliRun run{-1, "", ""};
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, p)) run.out += buffer;
  const int status = ::pclose(p);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

TEST(CliProgram, FolderEndsWithStatusTwoNotAnAbort) {
  const std::string folder = std::filesystem::temp_directory_path().string();
  for (const char* options : {"decode -f ", "decode --json -f "}) {
    const CliRun r = Program(options + folder);
    EXPECT_EQ(r.status, kUnusableInput) << options;
    EXPECT_EQ(r.out, "orvio-cli: cannot read \"" + folder + "\": Is a directory\n");
  }
  const CliRun r = Program("decode < " + folder);
  EXPECT_EQ(r.status, kUnusableInput);
  EXPECT_EQ(r.out, "orvio-cli: cannot read standard input: Is a directory\n");
}
#endif

TEST(CliDecode, Help) {
  const CliRun r = Cli({"decode", "--help"});
  EXPECT_EQ(r.status, kAllDecoded);
  EXPECT_NE(r.out.find("orvio-cli decode"), std::string::npos);
}

}  // namespace
}  // namespace orvio::cli
