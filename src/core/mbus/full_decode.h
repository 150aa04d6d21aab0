// The full EN 13757-3 reading of an RSP_UD long frame: the fixed header with every field and
// the status bits named, and one record per data record with its DIF/DIFE coordinates
// (function, storage number, tariff, subunit), its value as the data type defines it, the unit
// with the decimal scale applied, the quantity with the meaning of every VIFE, and where the
// record lies in the telegram. Independent of the record table's summary texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"

namespace orvio {

enum class RecordFunction : uint8_t {
  kInstantaneous,         // DIF bits 5-4 = 00
  kMaximum,               // 01
  kMinimum,               // 10
  kValueDuringError,      // 11
  kManufacturerSpecific,  // DIF 0F: manufacturer-specific data to the end of the user data
  kMoreRecordsFollow,     // DIF 1F: the same, and more records follow in the next telegram
};
const char* RecordFunctionName(RecordFunction f);

// Date (type G) or date and time (type F) as transmitted.
struct TimePoint {
  bool has_time = false;  // type F
  int year = 0;           // calendar year; -1 when the year field says "every year" (127)
  int month = 0;          // -1: "every month" (15)
  int day = 0;
  int hour = 0;
  int minute = 0;
  bool invalid = false;      // IV bit of type F: the time is not valid
  bool summer_time = false;  // SU bit of type F
};

struct FullRecord {
  int number = 0;  // counted from 1
  // Where the record lies in the telegram: byte index of its DIF and its length in bytes (DIF
  // to the end of the data field). The parts follow each other: dif, vif, vife, data.
  size_t offset = 0;
  size_t length = 0;
  size_t data_offset = 0;

  RecordFunction function = RecordFunction::kInstantaneous;
  uint64_t storage = 0;
  uint32_t tariff = 0;
  uint32_t subunit = 0;

  ByteString dif;   // DIF and DIFEs
  ByteString vif;   // the first VIF (empty for manufacturer-specific data)
  ByteString vife;  // the bytes between the VIF and the data field: VIFEs, plain-text unit
  ByteString data;  // the data field

  std::string data_type;  // "32-bit integer", "8-digit BCD", "variable length text", ...
  // The value as text: a decimal number in `unit` (exact, the decimal scale applied), a text, a
  // date "2014-03-13" or date and time "2014-03-13T11:11" (with " invalid", " summer time"),
  // hex digits for binary data, or blank-separated bytes for manufacturer-specific data.
  std::string value;
  std::optional<double> numeric;  // the value in `unit`, when it is a number
  std::optional<TimePoint> time;
  std::string unit;      // "Wh", "m^3", "m^3/h", "°C" (UTF-8), "s", ...; empty when none
  std::string quantity;  // "Energy", "Volume flow", "Flow temperature", ... with VIFE meanings
  std::vector<std::string> extensions;  // the meaning of each VIFE, in order
  std::string error;                    // a problem with this record ("" when none)
};

// Status byte of the fixed header, bits named.
std::vector<std::string> StatusBitNames(uint8_t status);

// Medium byte by the EN 13757-3 table ("Heat (outlet)", "Warm water (30-90 °C)", ...).
std::string MediumFullName(uint8_t code);

// Status byte of the fixed data structure (CI 73h), bits named: bit 0 the counters' coding
// (set: signed binary, clear: BCD), bit 1 stored at a fixed date (clear: actual values), bits 2-4
// as in the variable structure, bits 5-7 manufacturer specific.
std::vector<std::string> FixedStatusBitNames(uint8_t status);

// Medium of the fixed data structure: four bits, the top two bits of each byte of the medium and
// unit field (first byte the low pair). Its table is not the variable structure's.
std::string FixedMediumName(uint8_t code);

struct FullHeader {
  uint8_t c_field = 0;
  uint8_t address = 0;
  uint8_t ci = 0;
  bool long_header = false;  // CI 72h: identification, manufacturer, version, medium present
  // CI 73h, the fixed data structure: identification, access number, status, the medium and
  // unit field, then two 4-byte counters (the two records). No manufacturer, version, signature.
  bool fixed_structure = false;
  uint16_t medium_unit = 0;  // CI 73h: the medium and unit field, first byte in the low bits
  std::string id;            // eight digits as sent (BCD), most significant byte first
  uint16_t manufacturer_code = 0;
  std::string manufacturer;  // three letters
  uint8_t version = 0;
  uint8_t medium_code = 0;
  std::string medium;
  uint8_t access_number = 0;
  uint8_t status = 0;
  std::vector<std::string> status_bits;
  uint16_t signature = 0;
  size_t offset = 0;  // the CI field
  size_t length = 0;  // CI field and the fixed header after it
};

struct FullDecode {
  // The frame checks passed and the header was read; `header` and `records` are valid then.
  bool ok = false;
  // Frame check failures, or what stopped the record walk early.
  std::vector<std::string> errors;
  FullHeader header;
  std::vector<FullRecord> records;
};

// Reads a long frame 68 L L 68 C A CI ... CS 16. Never reads past `telegram`.
FullDecode DecodeFull(std::string_view telegram);

}  // namespace orvio
