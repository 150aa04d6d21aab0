#include "core/mbus/full_report.h"

#include "core/mbus/records.h"

namespace orvio {

using Json = nlohmann::ordered_json;

std::string HexBlanks(std::string_view bytes) {
  std::string s = TraceHex(bytes);
  if (!s.empty()) s.pop_back();
  return s;
}

std::string SignatureHex(uint16_t signature) {
  return HexByte(static_cast<uint8_t>(signature & 0xFF)) +
         HexByte(static_cast<uint8_t>(signature >> 8));
}

std::string StatusBitsText(const FullHeader& header) {
  std::string bits;
  for (const std::string& b : header.status_bits) bits += (bits.empty() ? "" : ", ") + b;
  return bits;
}

const std::vector<std::string>& FullRecordColumns() {
  static const std::vector<std::string> kColumns = {
      "No",    "Offset", "Length",   "Function", "Storage", "Tariff", "Subunit",
      "Value", "Unit",   "Quantity", "DIF",      "VIF",     "VIFE",   "Data"};
  return kColumns;
}

std::vector<std::string> FullRecordCells(const FullRecord& r) {
  return {std::to_string(r.number),
          std::to_string(r.offset),
          std::to_string(r.length),
          RecordFunctionName(r.function),
          std::to_string(r.storage),
          std::to_string(r.tariff),
          std::to_string(r.subunit),
          r.value,
          r.unit,
          r.quantity,
          HexBlanks(r.dif),
          HexBlanks(r.vif),
          HexBlanks(r.vife),
          HexBlanks(r.data)};
}

namespace {

std::string CsvCell(const std::string& cell) {
  if (cell.find_first_of(";\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string TabCell(std::string cell) {
  for (char& c : cell) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return cell;
}

}  // namespace

std::string DelimitedRows(const std::vector<std::vector<std::string>>& rows, char separator) {
  std::string out;
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c) out += separator;
      out += separator == '\t' ? TabCell(row[c]) : CsvCell(row[c]);
    }
    out += "\r\n";
  }
  return out;
}

std::string FullRecordsCsv(const FullDecode& decoded) {
  std::vector<std::vector<std::string>> rows = {FullRecordColumns()};
  for (const FullRecord& r : decoded.records) rows.push_back(FullRecordCells(r));
  return DelimitedRows(rows, ';');
}

Json FullDecodeJson(const FullDecode& d) {
  Json j;
  j["ok"] = d.ok;
  j["errors"] = d.errors;
  if (!d.ok) {
    j["header"] = nullptr;
    j["records"] = Json::array();
    return j;
  }
  const FullHeader& h = d.header;
  Json header;
  header["c"] = HexByte(h.c_field);
  header["address"] = h.address;
  header["ci"] = HexByte(h.ci);
  header["id"] = h.id;
  header["manufacturer"] = Latin1ToUtf8(h.manufacturer);
  header["version"] = h.version;
  const bool has_medium = h.long_header || h.fixed_structure;
  header["medium_code"] = has_medium ? Json(HexByte(h.medium_code)) : Json(nullptr);
  header["medium"] = h.medium;
  header["access_number"] = h.access_number;
  header["status"] = HexByte(h.status);
  header["status_bits"] = h.status_bits;
  header["signature"] = h.fixed_structure ? Json(nullptr) : Json(SignatureHex(h.signature));
  header["offset"] = h.offset;
  header["length"] = h.length;
  if (h.fixed_structure) header["medium_unit"] = SignatureHex(h.medium_unit);
  j["header"] = std::move(header);
  Json records = Json::array();
  for (const FullRecord& r : d.records) {
    Json record;
    record["number"] = r.number;
    record["function"] = RecordFunctionName(r.function);
    record["storage"] = r.storage;
    record["tariff"] = r.tariff;
    record["subunit"] = r.subunit;
    record["value"] = r.value;
    record["unit"] = r.unit;
    record["quantity"] = r.quantity;
    record["dif"] = HexBlanks(r.dif);
    record["vif"] = HexBlanks(r.vif);
    record["vife"] = HexBlanks(r.vife);
    record["data"] = HexBlanks(r.data);
    record["offset"] = r.offset;
    record["length"] = r.length;
    records.push_back(std::move(record));
  }
  j["records"] = std::move(records);
  return j;
}

std::string JsonLine(const Json& j) {
  const std::string raw = j.dump(-1, ' ', true, Json::error_handler_t::replace);
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 >= raw.size()) {
      out += raw[i];
      continue;
    }
    const char e = raw[++i];
    if (e == 'b') {
      out += "\\u0008";
    } else if (e == 'f') {
      out += "\\u000c";
    } else {
      out += '\\';
      out += e;
    }
  }
  return out;
}

}  // namespace orvio
