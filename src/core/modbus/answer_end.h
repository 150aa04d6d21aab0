// Where an answer ends: whether the bytes received so far hold the complete answers to the
// requests sent, so that a wait may end as soon as they are in. Anything that is not a complete
// answer (garbage, a checksum error, a frame still growing, another transaction's frame, nothing)
// leaves the wait to run its full time. The bytes themselves are not changed: the answer checks
// see everything that arrived, bytes in front included.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/bytes.h"

namespace orvio {

// The length of the RTU answer frame that starts at `frame` (unit, function, ...), checksum
// included, by its function code's rule: exception answers 5 bytes; reads of bits and registers 3
// plus their byte count plus 2; single and multiple writes 8; read device identification by its
// objects. Nothing while the bytes in hand do not yet tell, or for a function without a rule.
std::optional<size_t> RtuAnswerLength(std::string_view frame);

// True when `received` holds a complete RTU answer to each of `requests` (whole RTU frames, in
// the order sent), one after the other with a correct checksum, and nothing after the last but at
// most one filler byte 0x00. Bytes in front of an answer (an echo of the request, noise) are passed
// over. An answer with another function code than its request's (or its exception form) does not
// count.
bool RtuAnswersComplete(const std::vector<ByteString>& requests, std::string_view received);

// True when `received` is a sequence of whole Modbus TCP frames (by the MBAP length field) among
// which every transaction id of `transactionIds` has its frame. A frame that is still growing, a
// length of zero or only other transactions' frames are not complete.
bool TcpAnswersComplete(const std::vector<uint16_t>& transactionIds, std::string_view received);

}  // namespace orvio
