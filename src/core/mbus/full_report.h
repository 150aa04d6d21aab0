// The full decode (DecodeFull) written out for people and programs: the record table's columns
// and cells, the record table as delimited text, and the decode as one JSON object. The command
// line and the window's record view share these, so a file saved from either reads the same.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"
#include "core/mbus/full_decode.h"

namespace orvio {

// Bytes as two hex digits each, separated by blanks ("04 13"); "" for none.
std::string HexBlanks(std::string_view bytes);

// The signature field (or another two-byte field) as sent, low byte first ("0000").
std::string SignatureHex(uint16_t signature);

// The names of the bits set in the status byte, comma-separated ("power low, temporary error").
std::string StatusBitsText(const FullHeader& header);

// Column titles of the record table: No, Offset, Length, Function, Storage, Tariff, Subunit,
// Value, Unit, Quantity, DIF, VIF, VIFE, Data.
const std::vector<std::string>& FullRecordColumns();
enum FullRecordColumn {
  kRecordNo,
  kRecordOffset,
  kRecordLength,
  kRecordFunction,
  kRecordStorage,
  kRecordTariff,
  kRecordSubunit,
  kRecordValue,
  kRecordUnit,
  kRecordQuantity,
  kRecordDif,
  kRecordVif,
  kRecordVife,
  kRecordData,
  kRecordColumnCount
};

// One record as the cells of those columns (UTF-8, raw bytes as HexBlanks).
std::vector<std::string> FullRecordCells(const FullRecord& record);

// Rows of cells as delimited text, one line per row ending in CR LF.
//  - ';' (the separator of the program's table files): a cell holding ';', '"', CR or LF is
//    quoted, its quotes doubled, so every cell reads back whole.
//  - '\t' (for the clipboard): tabs and line breaks inside a cell become blanks.
std::string DelimitedRows(const std::vector<std::vector<std::string>>& rows, char separator);

// The column titles, then one row per record of `decoded`, as DelimitedRows with ';'.
std::string FullRecordsCsv(const FullDecode& decoded);

// The decode as a JSON object: ok, errors, header (c, address, ci, id, manufacturer, version,
// medium_code, medium, access_number, status, status_bits, signature, offset, length; for the
// fixed data structure signature is null and medium_unit, its medium and unit field as sent,
// follows; null when the frame failed) and records (number, function, storage, tariff, subunit,
// value, unit, quantity, dif, vif, vife, data, offset, length). Members in that order.
nlohmann::ordered_json FullDecodeJson(const FullDecode& decoded);

// A JSON value on one line: members in their order, every byte above 7Eh escaped, control
// characters other than tab, line feed and carriage return as \u00XX, invalid UTF-8 replaced.
std::string JsonLine(const nlohmann::ordered_json& value);

}  // namespace orvio
