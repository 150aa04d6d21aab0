// The full decode of every real telegram against the independent decoder's normalised reading
// beside it (meters/NAME.norm.xml): function, storage number, tariff, subunit and value of every
// record the file describes. Where that reading is wrong by EN 13757-3 the record is listed below
// with the reason, and the list must stay exact.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "core/bytes.h"
#include "core/mbus/full_decode.h"
#include "core/mbus/number_format.h"
#include "mbus_corpus_files.h"

namespace orvio {
namespace {

namespace fs = std::filesystem;
using test::Blocks;
using test::Tag;

// (file, DataRecord id) -> why the normalised reading is not followed.
const std::map<std::pair<std::string, int>, const char*> kDisagreements = {
    {{"REL-Relay-Padpuls2", 1},
     "04 6D A1 15 E9 17: the IV bit (bit 7 of the minute byte) of the type F date and time is "
     "set, the time is invalid; the normalised reading prints a zeroed 1900-01-00T00:00 in its "
     "place, this decode keeps the date sent (2015-07-09T21:33) and marks it invalid"},
    {{"landis+gyr_ultraheat_t230", 19},
     "94 10 AD 6F 00 00 00 00: VIFE 6Fh (E110 1f1b, date(/time) of end of last) makes the field "
     "a type F date and time; the normalised reading ignores the VIFE and shows 0 W"},
    {{"landis+gyr_ultraheat_t230", 20},
     "94 10 BB 6F 00 00 00 00: VIFE 6Fh makes the field a date and time, not 0 m^3/h"},
    {{"landis+gyr_ultraheat_t230", 21},
     "94 10 DA 6F 32 14 7A 18: VIFE 6Fh makes the field the date and time 2011-08-26T20:50 of "
     "the maximum flow temperature; the normalised reading shows the date bytes as "
     "41065374.6 degrees C"},
    {{"landis+gyr_ultraheat_t230", 22},
     "94 10 DE 6F 2B 0B 69 18: VIFE 6Fh, the date and time 2011-08-09T11:43 of the maximum "
     "return temperature, not 40953732.3 degrees C"},
    {{"landis+gyr_ultraheat_t230", 32},
     "84 8F 0F 6D 00 00 E1 F1: year field 127 of a type F date means every year (a recurring "
     "date, 1 January 00:00); the normalised reading turns it into the year 2027"},
};

// Telegrams the full decode does not read as data records, with the reason.
// (None at present: sen_pollusonic_2, CI 73h, is read as the fixed data structure's counters.)
const std::map<std::string, const char*> kNotRecords = {};

// Factor from a unit of the decode to the normalised files' unit: they count durations in
// seconds and energy, power, mass in Wh, J, W, kg.
double ToNormalisedUnit(const std::string& unit) {
  static const std::map<std::string, double> kFactors = {
      {"min", 60}, {"h", 3600}, {"d", 86400},  {"MWh", 1e6},
      {"GJ", 1e9}, {"MW", 1e6}, {"GJ/h", 1e9}, {"t", 1e3},
  };
  const auto f = kFactors.find(unit);
  return f == kFactors.end() ? 1 : f->second;
}

std::string StripLeadingZeros(const std::string& s) {
  const size_t i = s.find_first_not_of('0');
  return i == std::string::npos ? "0" : s.substr(i);
}

// The value text of `r` agrees with the normalised value `xml`.
::testing::AssertionResult SameValue(const FullRecord& r, const std::string& xml) {
  if (r.time) {
    // "2014-03-13T11:11:00Z" or "2014-03-13"; ours "2014-03-13T11:11" with flags after a blank.
    const std::string ours = r.value.substr(0, r.value.find(' '));
    const std::string theirs = r.time->has_time ? xml.substr(0, 16) : xml;
    if (ours == theirs) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "time " << r.value << " against " << xml;
  }
  if (r.numeric) {
    double expected = 0;
    if (!ParseFixed(xml, expected)) {
      return ::testing::AssertionFailure() << "number " << r.value << " against " << xml;
    }
    const double ours = *r.numeric * ToNormalisedUnit(r.unit);
    // The files show six decimals; reals carry single precision.
    const double tolerance = 5e-7 + 1e-7 * std::fabs(expected);
    if (std::fabs(ours - expected) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "number " << r.value << " " << r.unit << " against " << xml;
  }
  if (r.value == xml) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "text \"" << r.value << "\" against \"" << xml << "\"";
}

TEST(MbusFullCorpus, EveryRecordAgreesWithTheNormalisedReading) {
  const auto files = test::Files(test::kCorpus / "meters", ".hex");
  ASSERT_GE(files.size(), 30u) << "corpus missing at " << test::kCorpus;
  int compared = 0;
  std::set<std::pair<std::string, int>> disagreements_seen;
  std::set<std::string> not_records_seen;

  for (const fs::path& hex_path : files) {
    const std::string name = hex_path.stem().string();
    SCOPED_TRACE(name);
    const auto telegram = ParseHexBytes(test::ReadFile(hex_path));
    ASSERT_TRUE(telegram.has_value());
    const std::string xml = test::ReadFile(hex_path.parent_path() / (name + ".norm.xml"));
    const FullDecode d = DecodeFull(*telegram);
    const auto slave = Blocks(xml, "SlaveInformation");
    ASSERT_EQ(slave.size(), 1u);
    if (kNotRecords.count(name)) {
      not_records_seen.insert(name);
      EXPECT_FALSE(d.ok);
      EXPECT_EQ(d.errors.size(), 1u);
      continue;
    }
    ASSERT_TRUE(d.ok) << (d.errors.empty() ? "" : d.errors.front());
    EXPECT_TRUE(d.errors.empty()) << d.errors.front();
    // The normalised files write the identification number without leading zeros.
    EXPECT_EQ(StripLeadingZeros(d.header.id), Tag(slave[0], "Id").value_or(""));
    EXPECT_EQ(d.header.manufacturer, Tag(slave[0], "Manufacturer").value_or(""));
    EXPECT_EQ(d.header.access_number, std::stoi(Tag(slave[0], "AccessNumber").value_or("-1")));
    // The fixed data structure (CI 73h) has no version; its medium has a table of its own.
    const bool fixed = d.header.fixed_structure;
    if (fixed) {
      EXPECT_EQ(d.header.medium, Tag(slave[0], "Medium").value_or(""));
    } else {
      EXPECT_EQ(d.header.version, std::stoi(Tag(slave[0], "Version").value_or("-1")));
    }
    EXPECT_EQ(HexText(std::string(1, static_cast<char>(d.header.status))),
              Tag(slave[0], "Status").value_or(""));

    const auto records = Blocks(xml, "DataRecord");
    ASSERT_EQ(d.records.size(), records.size());
    size_t end = 0;
    for (size_t i = 0; i < records.size(); ++i) {
      const FullRecord& r = d.records[i];
      const std::string& x = records[i];
      SCOPED_TRACE("record " + std::to_string(i) + " at byte " + std::to_string(r.offset));
      // The records follow each other through the telegram.
      EXPECT_GE(r.offset, end);
      end = r.offset + r.length;
      EXPECT_LE(end, telegram->size() - 2);

      if (fixed) {
        // Its counters are actual values (status bit 1 clear) in the units of its unit field.
        EXPECT_EQ("Actual value", Tag(x, "Function").value_or(""));
        EXPECT_EQ(r.unit, Tag(x, "Unit").value_or(""));
      } else {
        EXPECT_EQ(RecordFunctionName(r.function), Tag(x, "Function").value_or(""));
      }
      EXPECT_EQ(std::to_string(r.storage), Tag(x, "StorageNumber").value_or("0"));
      EXPECT_EQ(std::to_string(r.tariff), Tag(x, "Tariff").value_or("0"));
      EXPECT_EQ(std::to_string(r.subunit), Tag(x, "Device").value_or("0"));
      const auto key = std::make_pair(name, static_cast<int>(i));
      if (kDisagreements.count(key)) {
        disagreements_seen.insert(key);
        EXPECT_FALSE(SameValue(r, Tag(x, "Value").value_or(""))) << "agrees now: " << r.value;
        continue;
      }
      EXPECT_TRUE(SameValue(r, Tag(x, "Value").value_or("")));
      ++compared;
    }
  }
  EXPECT_EQ(disagreements_seen.size(), kDisagreements.size());
  EXPECT_EQ(not_records_seen.size(), kNotRecords.size());
  EXPECT_GE(compared, 400);
  std::printf("compared %d records\n", compared);
}

TEST(MbusFullCorpus, MalformedTelegramsNeverReadPastTheirEnd) {
  for (const fs::path& path : test::Files(test::kCorpus / "malformed", ".hex")) {
    SCOPED_TRACE(path.filename().string());
    const std::string text = test::ReadFile(path);
    const ByteString telegram = ParseHexBytes(text).value_or(text);
    const FullDecode d = DecodeFull(telegram);
    if (!d.ok) {
      EXPECT_TRUE(d.records.empty());
      EXPECT_FALSE(d.errors.empty());
      continue;
    }
    for (const FullRecord& r : d.records) {
      EXPECT_LE(r.offset + r.length, telegram.size() - 2);
      EXPECT_EQ(telegram.substr(r.offset, r.length), r.dif + r.vif + r.vife + r.data);
    }
  }
}

}  // namespace
}  // namespace orvio
