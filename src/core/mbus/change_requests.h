// M-Bus SND_UD telegrams that change a meter: a new medium code (enhanced identification record)
// and a new counter value, with the encodings of their data fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/bytes.h"

namespace orvio {

inline constexpr uint8_t kSndUdControl = 0x53;   // SND_UD, FCB clear
inline constexpr uint8_t kCiDataSend = 0x51;     // CI: data send (mode 1, LSB first)
inline constexpr uint8_t kUnknownMedium = 0x0F;  // medium code of a name not in the table

// Long frame 68 L L 68 C A CI data CS 16; L counts C, A, CI and the data, CS is the sum of the
// bytes from C to the end of the data, modulo 256. Nothing when L would not fit one byte.
std::optional<ByteString> LongFrame(uint8_t control, uint8_t address, uint8_t ci,
                                    std::string_view data);

// The medium code written for a medium name; names not in the table give 0x0F.
uint8_t MediumCode(std::string_view name);

// True when `id` is a meter ID as the table shows it: exactly eight decimal digits.
bool IsMeterId(std::string_view id);

// An eight-digit ID d1..d8 as four BCD bytes, least significant first: d7d8, d5d6, d3d4, d1d2.
// Nothing unless `id` is eight decimal digits (another character would send a wrong ID).
std::optional<ByteString> MeterIdBcd(std::string_view id);

// SND_UD to `address` with the enhanced identification record 07 79 that keeps the meter's ID,
// manufacturer (FF FF) and version (FF) and writes `medium`:
// 68 0D 0D 68 53 A 51 07 79 I1 I2 I3 I4 FF FF FF M CS 16. Nothing when `id` is not a meter ID.
std::optional<ByteString> MediumChangeTelegram(uint8_t address, std::string_view id,
                                               uint8_t medium);

enum class CounterEncoding { kBinary, kBcd };

// The four data bytes of a counter value, least significant first. `digits` (one to eight
// decimal digits, padded on the left with zeros to eight) is written as 8-digit BCD or as a
// 32-bit unsigned integer. Nothing for an empty text, more than eight characters or a non-digit.
std::optional<ByteString> CounterValueBytes(std::string_view digits, CounterEncoding encoding);

// SND_UD to `address` with one volume record (VIF 13, litres): DIF 0C for BCD, 04 for binary.
// 68 09 09 68 53 A 51 DIF 13 V1 V2 V3 V4 CS 16. Nothing when the value is not valid.
std::optional<ByteString> CounterTelegram(uint8_t address, std::string_view digits,
                                          CounterEncoding encoding);

}  // namespace orvio
