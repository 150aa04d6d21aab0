// The full decode written out: record cells, the CSV and clipboard forms, and the JSON object
// shared by orvio-cli and the record view.
#include <gtest/gtest.h>

#include "core/mbus/full_report.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Rsp;

// Volume 305419.896 m^3, then a plain-text unit `A;"` sent last character first.
const ByteString kTelegram = Rsp("04 13 78 56 34 12  01 7C 03 22 3B 41 05");

TEST(MbusFullReport, RecordCellsFollowTheColumns) {
  const FullDecode d = DecodeFull(kTelegram);
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.records.size(), 2u);
  EXPECT_EQ(FullRecordColumns().size(), static_cast<size_t>(kRecordColumnCount));
  EXPECT_EQ(FullRecordColumns()[kRecordValue], "Value");
  EXPECT_EQ(
      FullRecordCells(d.records[0]),
      (std::vector<std::string>{"1", "19", "6", "Instantaneous value", "0", "0", "0", "305419.896",
                                "m^3", "Volume", "04", "13", "", "78 56 34 12"}));
  EXPECT_EQ(FullRecordCells(d.records[1])[kRecordUnit], "A;\"");
  EXPECT_EQ(FullRecordCells(d.records[1])[kRecordVife], "03 22 3B 41");
}

TEST(MbusFullReport, CsvQuotesOnlyCellsThatWouldSplit) {
  const std::string csv = FullRecordsCsv(DecodeFull(kTelegram));
  EXPECT_EQ(
      csv,
      "No;Offset;Length;Function;Storage;Tariff;Subunit;Value;Unit;Quantity;DIF;VIF;VIFE;"
      "Data\r\n"
      "1;19;6;Instantaneous value;0;0;0;305419.896;m^3;Volume;04;13;;78 56 34 12\r\n"
      "2;25;7;Instantaneous value;0;0;0;5;\"A;\"\"\";Plain-text unit;01;7C;03 22 3B 41;05\r\n");
  // A telegram that failed the checks has the titles only.
  EXPECT_EQ(FullRecordsCsv(DecodeFull("\x68")), csv.substr(0, csv.find('\n') + 1));
}

TEST(MbusFullReport, DelimitedRowsKeepEveryRowOnOneLine) {
  const std::vector<std::vector<std::string>> rows = {{"a\tb", "c\r\nd", ""}, {"x;y", "\"q\""}};
  EXPECT_EQ(DelimitedRows(rows, '\t'), "a b\tc  d\t\r\nx;y\t\"q\"\r\n");
  EXPECT_EQ(DelimitedRows(rows, ';'), "a\tb;\"c\r\nd\";\r\n\"x;y\";\"\"\"q\"\"\"\r\n");
}

TEST(MbusFullReport, JsonMembersAndHeaderTexts) {
  const FullDecode d = DecodeFull(Rsp("", "04", "4304", "14"));
  const nlohmann::ordered_json j = FullDecodeJson(d);
  EXPECT_EQ(j["header"]["status"], "14");
  EXPECT_EQ(j["header"]["status_bits"], (nlohmann::ordered_json{"power low", "temporary error"}));
  EXPECT_EQ(StatusBitsText(d.header), "power low, temporary error");
  EXPECT_EQ(SignatureHex(0x1234), "3412");
  EXPECT_EQ(HexBlanks(""), "");
  EXPECT_EQ(HexBlanks("\x01\xAB"), "01 AB");
  EXPECT_EQ(JsonLine(FullDecodeJson(DecodeFull(""))),
            "{\"ok\":false,\"errors\":[\"Not a long frame (68 L L 68 ... CS 16)\"],"
            "\"header\":null,\"records\":[]}");
  // Bytes above 7Eh and control characters escaped, so the line is plain ASCII.
  EXPECT_EQ(JsonLine(nlohmann::ordered_json("\xC2\xB0\x08\x0C\t")), "\"\\u00b0\\u0008\\u000c\\t\"");
}

}  // namespace
}  // namespace orvio
