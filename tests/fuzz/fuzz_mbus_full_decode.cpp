// The full record decode over arbitrary bytes: no crash, no read past the input, and every
// record lies inside the user data, after the one before it, made of exactly its parts. Its JSON
// line is printable ASCII that reads back with every record, and its CSV has one line per record
// whatever the telegram's texts hold.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/mbus/full_decode.h"
#include "core/mbus/full_report.h"
#include "fuzz_require.h"

namespace {

// Lines of semicolon-separated text, line ends inside quoted cells not counted.
size_t CsvLines(const std::string& csv) {
  size_t lines = 0;
  bool quoted = false;
  for (char c : csv) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '\n') ++lines;
  }
  Require(!quoted);
  return lines;
}

void CheckReports(const orvio::FullDecode& d) {
  const std::string line = orvio::JsonLine(orvio::FullDecodeJson(d));
  for (char c : line) Require(c >= 0x20 && c < 0x7F);
  const nlohmann::json back = nlohmann::json::parse(line);
  Require(back["records"].size() == d.records.size());
  Require(CsvLines(orvio::FullRecordsCsv(d)) == d.records.size() + 1);
}

void Check(std::string_view input) {
  const size_t size = input.size();
  const orvio::FullDecode d = orvio::DecodeFull(input);
  CheckReports(d);
  if (!d.ok) {
    Require(!d.errors.empty());
    Require(d.records.empty());
    return;
  }
  const orvio::FullHeader& h = d.header;
  Require(h.offset + h.length <= size - 2);
  size_t end = h.offset + h.length;
  int number = 0;
  for (const orvio::FullRecord& r : d.records) {
    Require(r.number == ++number);
    Require(r.offset >= end);
    Require(r.length > 0 && r.offset + r.length <= size - 2);
    Require(input.substr(r.offset, r.length) == r.dif + r.vif + r.vife + r.data);
    Require(r.data_offset == r.offset + r.dif.size() + r.vif.size() + r.vife.size());
    // A record with an error ends the walk.
    Require(r.error.empty() || &r == &d.records.back() || r.error == "BCD digits out of range");
    if (r.numeric) Require(!r.value.empty());
    end = r.offset + r.length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Check(input);
  // The input as the body of a sound long frame (C A CI header records), so that mutations
  // get past the frame checks into the header and the record walk.
  if (size <= 250) {
    std::string frame = {'\x68', static_cast<char>(size), static_cast<char>(size), '\x68'};
    frame += input;
    uint8_t sum = 0;
    for (size_t i = 4; i < frame.size(); ++i) sum = static_cast<uint8_t>(sum + frame[i]);
    frame += static_cast<char>(sum);
    frame += '\x16';
    Check(frame);
  }
  return 0;
}
