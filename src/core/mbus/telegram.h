// An RSP_UD long frame (68 L L 68 C A CI, 12-byte fixed header, records, CS 16) decoded into
// trace lines, the record table, the fixed header, the meter's main value and its summary row.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"
#include "core/mbus/records.h"

namespace orvio {

// Three letters from the manufacturer field, m = low + 256 * high: first m div 1024, second
// (m div 32) mod 32, third m mod 32, each as the character 64 + value (1 = 'A').
std::string DecodeManufacturer(uint8_t low, uint8_t high);

struct Medium {
  std::string name;
  // Units in the order they are tried when the main value is picked.
  std::array<std::string, 3> units;
};
Medium MediumName(uint8_t code);

struct FixedRecord {
  std::string value;
  std::string unit;
  // Trace line, empty when none.
  std::string trace;
  // False when the register does not lie wholly before the checksum byte (nothing was read).
  bool inside = true;
};
// The fixed-layout register of a "ZPA" meter whose data field starts at byte `data`: the DIF is
// the byte four before it (data type: low nibble), the VIF the byte two before it (energy code:
// low nibble only).
FixedRecord DecodeFixedRecord(std::string_view telegram, size_t data, char decimal_separator = '.');

struct TelegramHeader {
  std::string id;            // identification number, eight hex digits as sent (bytes 10..7)
  int address = 0;           // primary address (A field)
  std::string manufacturer;  // three letters
  uint8_t medium_code = 0;
  Medium medium;
  std::string status;  // two hex digits
};

// Columns of the M-Bus device table gridLoops: ID, Addr, Mfr, Value, Unit, Medium, Status, Time.
using MeterSummary = std::array<std::string, 8>;

struct TelegramDecode {
  bool ok = false;
  // Lines for the trace memo, in order ("Respond: ..." first).
  std::vector<std::string> trace;
  // Set when the frame checks passed and the header was read; the fields below are valid then.
  bool decoded = false;
  TelegramHeader header;
  std::vector<RecordRow> records;
  std::string value;  // main value, "" when no record carries a preferred unit
  std::string unit;
  // The device-table row; the time column (7) is left for the caller to fill.
  MeterSummary summary;
};

// Bytes a telegram needs so that the header fields read (up to the status, byte 16) lie before
// the checksum and the stop byte. A shorter sound frame is an error in the telegram; one of this
// length or a little more has a header and no data records.
inline constexpr size_t kMinHeaderTelegram = 17 + 2;

TelegramDecode DecodeTelegram(std::string_view telegram, char decimal_separator = '.');

// The length of the long frame (68 L L 68 ... CS 16) at the start of `bytes`, L + 6, when its
// start says so and all of its bytes are there; 0 otherwise. Nothing else of the frame is checked.
size_t LongFrameLength(std::string_view bytes);

// Telegrams written one after the other without a line break between them (files without a final
// newline joined by cat): `bytes` cut after every long frame that ends in its stop byte and is
// followed by the start of another (68). Bytes that do not split so stay one telegram.
std::vector<ByteString> SplitJoinedTelegrams(const ByteString& bytes);

}  // namespace orvio
