// Modbus framing on the simulator's side: where a request ends in an RTU byte stream or a TCP
// stream, and how an answer PDU is put on the wire (with the faults a test asked for).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/gateway_sim.h"

namespace orvio::sim {

uint16_t ModbusCrc(std::string_view bytes);  // CRC-16/MODBUS, sent low byte first

// Results of the frame-length functions besides a length.
constexpr long kNeedMore = 0;       // the frame is not complete yet
constexpr long kUntilSilence = -1;  // RTU: a function whose length only the line's silence ends
constexpr long kInvalid = -2;       // cannot be a request: resynchronise

// Length of the RTU request at the start of `buffer` (unit, function, data, CRC), from its
// function code and count fields. A frame of unknown length waiting for silence is invalid
// once it outgrows the longest RTU frame (256 bytes).
long RtuRequestLength(std::string_view buffer);
// Length of the Modbus TCP request at the start of `buffer` from its MBAP header.
long TcpRequestLength(std::string_view buffer);

// Unit address and PDU of a complete request frame; false when the frame is too short.
bool SplitRequest(Transport transport, std::string_view frame, uint8_t* unit, std::string* pdu);

// The answer frame for `pdu` to `request` (TCP: its transaction id), shaped by `fault` (may be
// null): other unit, wrong CRC, leading zero byte, trailing filler byte, exception code.
std::string AnswerFrame(Transport transport, std::string_view request, uint8_t unit,
                        std::string_view pdu, const Fault* fault);

// Cuts a frame into `parts` pieces of nearly equal size (parts >= size: byte by byte).
std::vector<std::string> SplitPieces(const std::string& frame, int parts);

}  // namespace orvio::sim
