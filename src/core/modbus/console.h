// The custom-command console's hexadecimal line: "1 3 0 0 0 A C5 CD" is eight bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/bytes.h"

namespace orvio {

inline constexpr char kConsoleTooShort[] = "Wrong custom hex command, 2 symbols at least...";
inline constexpr char kConsoleBadCharacter[] = "Wrong custom hex command, 0..F uppercase allowed";
// The console's send when the serial port is closed, and "Save log" when its file cannot be
// written.
inline constexpr char kConsoleNoSerialPort[] = "Serial port is not opened";
inline constexpr char kLogNotWritten[] = "Can not write file, no rights...";

struct ConsoleHex {
  ByteString bytes;                  // to write, in order
  std::optional<std::string> error;  // the memo line when the text is refused; nothing is sent
};

// Tokens separated by blanks (runs of blanks allowed). Only 0-9, upper-case A-F and blank are
// accepted. A one-digit token is one byte ("A" is 0A), a two-digit token is one byte, of a longer
// token only the first two digits count ("123" is 12). A one-character text is refused. The text
// is UTF-8; its length is counted in characters. An empty text gives no bytes and no error.
ConsoleHex ParseConsoleHex(std::string_view text);

}  // namespace orvio
