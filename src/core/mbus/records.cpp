#include "core/mbus/records.h"

#include "core/bytes.h"
#include "core/mbus/data_field.h"
#include "core/mbus/value_info.h"

namespace orvio {

std::vector<RecordRow> DecodeRecords(std::string_view t, char decimal_separator) {
  std::vector<RecordRow> rows;
  if (t.size() < kFirstRecordOffset + 2) return rows;
  const size_t end = t.size() - 2;  // the checksum byte; the data block lies before it
  const auto at = [&](size_t i) { return static_cast<uint8_t>(t[i]); };
  rows.reserve(16);

  size_t p = kFirstRecordOffset;
  while (p < end) {
    const uint8_t dif = at(p);
    if (dif == 0x2F) {  // idle filler
      ++p;
      continue;
    }
    if ((dif & 0x0F) == 0x0F) {
      // 0F / 1F: manufacturer-specific data up to the checksum, not interpreted.
      RecordRow row;
      row.number = std::to_string(rows.size() + 1);
      row.value = TraceHex(t.substr(p + 1, end - p - 1));
      row.description = "Manf. secific";
      row.dif_offset = p;
      row.dif_byte = dif;
      row.data_offset = p + 1;
      row.data_length = end - p - 1;
      rows.push_back(std::move(row));
      break;
    }

    // DIF chain: every byte with bit 7 set is followed by a DIFE.
    size_t q = p;
    while (q < end && (at(q) & 0x80)) ++q;
    const size_t v = q + 1;  // the first VIF
    if (v >= end) break;
    const uint8_t vif = at(v);

    // VIF chain. FC is laid out as meters send it: FC, length byte, text, then the VIFEs that
    // its extension bit announces.
    size_t chain_from = v;
    bool text_past_end = false;
    if (vif == 0xFC) {
      if (v + 1 >= end) break;
      const size_t text_end = v + 2 + at(v + 1);
      if (text_end >= end) {
        text_past_end = true;
      } else {
        chain_from = text_end;
      }
    }
    size_t data = end;
    if (!text_past_end) {
      // For FC the chain goes on at the first VIFE after the text, which is always one.
      size_t r = chain_from;
      while (r < end && (at(r) & 0x80)) ++r;
      data = r + 1;
      if (data >= end) break;
    }

    const ValueInfo info = DecodeValueInfo(vif, t.substr(v + 1, end - v - 1));
    if (vif == 0x7C) {
      // The length byte and the text stand between the VIF and the data field.
      if (info.text_truncated || data + info.text_bytes > end) {
        text_past_end = true;
        data = end;
      } else {
        data += info.text_bytes;
      }
    }

    RecordRow row;
    row.number = std::to_string(rows.size() + 1);
    row.unit = info.unit;
    row.description = info.description;
    row.dif = TraceHex(t.substr(p, v - p));
    row.vif = HexText(t.substr(v, 1));
    row.vife = TraceHex(t.substr(v + 1, data - v - 1));
    row.dif_offset = p;
    row.vif_offset = v;
    row.data_offset = data;
    row.dif_byte = dif;
    row.vif_byte = vif;
    row.multiplier = info.multiplier;

    if (text_past_end) {
      row.value = kFieldPastEnd;
      rows.push_back(std::move(row));
      break;
    }
    DataField field =
        DecodeDataField(dif, vif, t.substr(data, end - data), info.multiplier, decimal_separator);
    row.value = std::move(field.text);
    row.data_length = field.complete ? field.length : end - data;
    rows.push_back(std::move(row));
    if (!field.complete) break;
    p = data + field.length;
  }
  return rows;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void FillRecordTable(TextGrid& grid, const std::vector<RecordRow>& rows) {
  grid.SetRowCount(0);
  grid.SetRowCount(static_cast<int>(rows.size()) + 1);
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto cells = rows[r].Cells();
    for (size_t c = 0; c < cells.size(); ++c) {
      grid.SetCell(static_cast<int>(c), static_cast<int>(r), cells[c]);
    }
  }
}

}  // namespace orvio
