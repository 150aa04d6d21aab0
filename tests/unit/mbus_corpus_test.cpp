// Real telegrams of many meters, judged against an independent decoder's normalised reading
// (meters/NAME.norm.xml), and broken telegrams that must fail cleanly with the outcome listed
// for each in malformed/expected.txt.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/mbus/number_format.h"
#include "core/mbus/telegram.h"
#include "mbus_corpus_files.h"

namespace orvio {
namespace {

namespace fs = std::filesystem;

using test::Ascii;
using test::Blocks;
using test::Files;
using test::kCorpus;
using test::ReadFile;
using test::Tag;

std::string StripLeadingZeros(const std::string& s) {
  const size_t i = s.find_first_not_of('0');
  return i == std::string::npos ? "0" : s.substr(i);
}

// Half a unit of the last decimal a number text shows.
double HalfLastDecimal(const std::string& text) {
  const size_t point = text.find('.');
  const size_t decimals = point == std::string::npos ? 0 : text.size() - point - 1;
  return 0.5 * std::pow(10.0, -static_cast<double>(decimals));
}

// Medium words of the normalised files, mapped once to this decoder's medium texts.
const std::map<std::string, std::string> kMediumWords = {
    {"Electricity", "Electricity"},
    {"Cold water", "Cold water"},
    {"Gas", "Gas"},
    {"Oil", "Oil"},
    {"Other", "Other"},
    {"Water", "Water"},
    {"Heat / Cooling load meter", "H/C load meter"},
    {"Heat Cost Allocator", "Heat C.A."},
    {"Heat: Inlet", "Heat (ft)"},
    {"Heat: Outlet", "Heat (rt)"},
    {"Warm water (30-90C)", "Hot water"},
    // Medium 20h (breaker) is not in this decoder's medium table: "Unknown".
    {"Breaker: Electricity", "Unknown"},
};

// This decoder's units in the normalised units: factor to multiply our value with.
struct Conversion {
  const char* xml_unit;
  double factor;
};
const std::map<std::string, Conversion> kUnits = {
    {"kWh", {"Wh", 1e3}},     {"kJ", {"J", 1e3}},   {"MJ", {"J", 1e6}},
    {"m3", {"m^3", 1}},       {"W", {"W", 1}},      {"kW", {"W", 1e3}},
    {"l/h", {"m^3/h", 1e-3}}, {"deg. C", {"C", 1}}, {"deg. K", {"K", 1}},
};

// Where this project's own rules give a different reading, with the reason.
const std::map<std::pair<std::string, int>, const char*> kExplainedRecords = {
    {{"landis+gyr_ultraheat_t230", 9},
     "6-digit BCD F0 20 00 carries the sign nibble F (-0.2 K); this decoder shows a BCD digit "
     "above 9 as the conversion error \"Exception \""},
};
// CI 73h is the fixed data structure, not variable data records: this decoder walks records
// from byte 19 of every RSP_UD whatever its CI, so only the ID is compared for it.
const std::set<std::string> kFixedStructure = {"sen_pollusonic_2"};

TEST(MbusCorpus, MetersDecodeAndAgreeWithTheNormalisedReading) {
  const auto files = Files(kCorpus / "meters", ".hex");
  ASSERT_GE(files.size(), 30u) << "corpus missing at " << kCorpus;
  int compared_records = 0;
  std::set<std::pair<std::string, int>> explained_seen;

  for (const fs::path& hex_path : files) {
    const std::string name = hex_path.stem().string();
    SCOPED_TRACE(name);
    const auto telegram = ParseHexBytes(ReadFile(hex_path));
    ASSERT_TRUE(telegram.has_value());
    const fs::path xml_path = hex_path.parent_path() / (name + ".norm.xml");
    ASSERT_TRUE(fs::exists(xml_path)) << "no expectation for " << name;
    const std::string xml = ReadFile(xml_path);

    const TelegramDecode d = DecodeTelegram(*telegram);
    ASSERT_TRUE(d.ok);
    ASSERT_TRUE(d.decoded);
    for (const RecordRow& r : d.records) {
      EXPECT_LE(r.data_offset + r.data_length, telegram->size() - 2) << r.number;
    }

    const auto slave = Blocks(xml, "SlaveInformation");
    ASSERT_EQ(slave.size(), 1u);
    const auto id = Tag(slave[0], "Id");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(StripLeadingZeros(d.header.id), StripLeadingZeros(*id));
    if (kFixedStructure.count(name)) continue;

    EXPECT_EQ(d.header.manufacturer, Tag(slave[0], "Manufacturer").value_or("<none>"));
    const auto medium = Tag(slave[0], "Medium");
    ASSERT_TRUE(medium.has_value());
    const auto mapped = kMediumWords.find(Ascii(*medium));
    ASSERT_NE(mapped, kMediumWords.end()) << "medium word not mapped: " << *medium;
    EXPECT_EQ(d.header.medium.name, mapped->second);
    EXPECT_EQ(d.header.status, Tag(slave[0], "Status").value_or("<none>"));

    const auto records = Blocks(xml, "DataRecord");
    EXPECT_EQ(d.records.size(), records.size());
    for (size_t i = 0; i < d.records.size(); ++i) {
      const RecordRow& row = d.records[i];
      const auto unit = kUnits.find(row.unit);
      if (unit == kUnits.end()) continue;  // texts, dates, times, codes: this project's rules
      const auto key = std::make_pair(name, static_cast<int>(i + 1));
      if (kExplainedRecords.count(key)) {
        explained_seen.insert(key);
        continue;
      }
      SCOPED_TRACE("record " + row.number + " " + row.value + " " + row.unit);
      ASSERT_LT(i, records.size());
      EXPECT_EQ(Ascii(Tag(records[i], "Unit").value_or("")), unit->second.xml_unit);
      double expected = 0, ours = 0;
      ASSERT_TRUE(ParseFixed(Tag(records[i], "Value").value_or(""), expected));
      ASSERT_TRUE(ParseFixed(row.value, ours)) << "not a number";
      // Both texts are rounded to the decimals they show.
      const std::string xml_value = Tag(records[i], "Value").value_or("");
      const double tolerance = HalfLastDecimal(row.value) * unit->second.factor +
                               HalfLastDecimal(xml_value) + 1e-9 * std::fabs(expected);
      EXPECT_NEAR(ours * unit->second.factor, expected, tolerance);
      ++compared_records;
    }
  }
  // Every explanation must still be needed, and the comparison must have substance.
  EXPECT_EQ(explained_seen.size(), kExplainedRecords.size());
  EXPECT_GE(compared_records, 240);
  std::printf("compared %d records numerically\n", compared_records);
}

// One expected outcome per broken telegram, from malformed/expected.txt: "NAME.hex;decoded or
// failed;record rows;first line after the Respond line" ('#' starts a comment line).
struct MalformedOutcome {
  std::string outcome;
  size_t records = 0;
  std::string reason;
};

std::map<std::string, MalformedOutcome> ReadMalformedOutcomes(const fs::path& path) {
  std::map<std::string, MalformedOutcome> out;
  std::istringstream lines(ReadFile(path));
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
      const size_t semicolon = line.find(';', start);
      if (semicolon == std::string::npos) break;
      fields.push_back(line.substr(start, semicolon - start));
      start = semicolon + 1;
    }
    fields.push_back(line.substr(start));
    EXPECT_EQ(fields.size(), 4u) << path << " line " << number << ": " << line;
    if (fields.size() != 4u) continue;
    EXPECT_TRUE(fields[1] == "decoded" || fields[1] == "failed") << "line " << number;
    EXPECT_FALSE(fields[2].empty() ||
                 fields[2].find_first_not_of("0123456789") != std::string::npos)
        << "line " << number;
    const bool added =
        out.emplace(fields[0], MalformedOutcome{fields[1], std::stoul("0" + fields[2]), fields[3]})
            .second;
    EXPECT_TRUE(added) << "second entry for " << fields[0];
  }
  return out;
}

TEST(MbusCorpus, MalformedTelegramsFailCleanlyOrGiveAPartialTable) {
  const auto files = Files(kCorpus / "malformed", ".hex");
  ASSERT_GE(files.size(), 20u);
  auto expected = ReadMalformedOutcomes(kCorpus / "malformed" / "expected.txt");
  for (const fs::path& path : files) {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    const std::string text = ReadFile(path);
    // A file that is not even hex goes in as its raw bytes.
    const ByteString telegram = ParseHexBytes(text).value_or(text);
    const TelegramDecode d = DecodeTelegram(telegram);
    ASSERT_FALSE(d.trace.empty());
    EXPECT_EQ(d.trace[0].rfind("Respond: ", 0), 0u);

    const std::string outcome = d.ok ? "decoded" : "failed";
    const std::string reason = d.trace.size() > 1 ? d.trace[1] : "";
    const auto entry = expected.find(name);
    if (entry == expected.end()) {
      ADD_FAILURE() << "no expected outcome; the decoder gives: " << name << ";" << outcome << ";"
                    << d.records.size() << ";" << reason;
    } else {
      EXPECT_EQ(outcome, entry->second.outcome);
      EXPECT_EQ(d.records.size(), entry->second.records);
      EXPECT_EQ(reason, entry->second.reason);
      expected.erase(entry);
    }
    if (d.ok) {
      EXPECT_TRUE(d.decoded);
      for (const RecordRow& r : d.records) {
        EXPECT_LE(r.data_offset + r.data_length, telegram.size() - 2) << r.number;
      }
    } else {
      EXPECT_TRUE(d.records.empty());
      EXPECT_FALSE(d.decoded);
      if (telegram.size() >= 8) {
        EXPECT_GE(d.trace.size(), 2u) << "failure without a reason";
      }
    }
  }
  for (const auto& [name, outcome] : expected)
    ADD_FAILURE() << "expected outcome without a file: " << name;
}

}  // namespace
}  // namespace orvio
