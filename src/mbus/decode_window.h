// The window's side of the M-Bus decoder: the tunnelled telegram cut out of a read answer, and
// its decode written to the memo, the record table and the M-Bus device table.
#pragma once

#include <cstddef>

#include "core/bytes.h"

namespace orvio {

class TForm1;

// What becomes of a tunnelled telegram: decoded into the tables, or only handed back (the
// secondary-search worker decodes it itself).
enum class RawAnswer { kDecode, kKeep };
// The decimal separator of shown values: the user's locale's when it is one plain character,
// else ".".
char DecimalSeparator();

// Cuts the telegram out of a tunnel-block read answer (RTU form) of which `payload_count`
// payload bytes were asked for. The answer's check writes its memo line and status panel. With
// kDecode, adds "Mbus telegram decode:" and decodes the telegram (TForm1::DecodeTelegram), setting
// AttemptFailed when that fails. Returns the telegram (empty when the answer was rejected).
ByteString ExtractTunnelledTelegram(TForm1& form, const ByteString& answer, size_t payload_count,
                                    RawAnswer use = RawAnswer::kDecode);

}  // namespace orvio
