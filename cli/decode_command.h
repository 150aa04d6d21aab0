// orvio-cli decode: M-Bus telegrams from arguments, a file or standard input, decoded into the
// header, the record table and the main value, as text or as one JSON object per telegram.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/mbus/full_decode.h"
#include "core/mbus/telegram.h"

namespace orvio::cli {

// Exit statuses.
inline constexpr int kAllDecoded = 0;
inline constexpr int kCheckFailed = 1;
inline constexpr int kUnusableInput = 2;

// `args` are the words after the program name ("decode", options, hex or "-f FILE" or "-").
// Reads `in` for "-" or when no telegram source is given.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);

// One decoded telegram as a JSON object on one line (members ok, trace, id, address,
// manufacturer, medium, status, value, unit, records). Texts are taken as Latin-1.
std::string TelegramJson(const TelegramDecode& decoded);

// The full decode as a JSON object on one line: ok, errors, header (c, address, ci, id,
// manufacturer, version, medium_code, medium, access_number, status, status_bits, signature,
// offset, length; null when the frame failed) and records (number, function, storage, tariff,
// subunit, value, unit, quantity, dif, vif, vife, data, offset, length).
std::string FullJson(const FullDecode& decoded);

// The full decode as text: the header lines and one aligned row per record.
std::string FullText(const FullDecode& decoded);

// The header, the record table in aligned columns and the main value (or the reasons of a
// failure), as lines ending in "\n".
std::string TelegramText(const TelegramDecode& decoded);

}  // namespace orvio::cli
