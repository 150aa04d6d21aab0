// Request frames of the six request kinds, for the serial link (RTU, with checksum) and the TCP
// link (MBAP header, no checksum). Pure builders: sending, pacing and RTS belong to the window.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "core/bytes.h"

namespace orvio {

enum class RequestKind {
  kReadHoldingRegisters,      // 0x03
  kReadInputRegisters,        // 0x04
  kWriteSingleRegister,       // 0x06
  kWriteMultipleRegisters,    // 0x10, a byte string
  kWriteDateTime,             // 0x10, eight clock bytes
  kReadDeviceIdentification,  // 0x2B / MEI 0x0E
};

// The largest byte string one write-multiple request carries (its byte-count field is one byte
// and the count is always even).
constexpr size_t kMaxWriteBytes = 254;

// The only register count the date/time write accepts, and the text when another is asked for.
constexpr int kDateTimeRegisterCount = 4;
inline constexpr char kNotAllowableRegisterCount[] = "Not allowable register count!";

// The gateway's clock layout: one byte each.
struct ClockFields {
  int second = 0;
  int minute = 0;
  int hour = 0;
  int dayOfWeek = 1;  // 1 Monday .. 7 Sunday
  int day = 1;
  int month = 1;    // 1..12
  int year = 2000;  // full year; sent as year - 2000 when above 2000, else its low byte
};
ClockFields ClockFieldsFromTm(const std::tm& local);

// Protocol data units: function code and data, without unit address and framing. Register
// addresses, counts and values above 65535 travel modulo 65536, high byte first.
ByteString ReadHoldingRegistersPdu(uint32_t firstRegister, uint32_t count);
ByteString ReadInputRegistersPdu(uint32_t firstRegister, uint32_t count);
ByteString WriteSingleRegisterPdu(uint32_t reg, uint8_t valueHi, uint8_t valueLo);
// An odd-length string gets one 0x00 so that it fills whole registers. Nothing when the padded
// string would not fit the one-byte byte-count field (more than kMaxWriteBytes).
std::optional<ByteString> WriteMultipleRegistersPdu(uint32_t firstRegister, std::string_view data);
// The gateway's date and time, the one builder of these bytes: second, minute, hour, day of
// week, day, month, year - 2000 (the low byte of the year when it is not above 2000), 00.
ByteString WriteDateTimePdu(uint32_t firstRegister, const ClockFields& clock);
// Read device identification with object identifier 0.
ByteString ReadDeviceIdentificationPdu(uint8_t code);

// unit, pdu, crc lo, crc hi.
ByteString RtuFrame(uint8_t unit, std::string_view pdu);
// tid hi, tid lo, 00 00 (protocol), length hi, length lo (bytes after it), unit, pdu.
ByteString TcpFrame(uint16_t transactionId, uint8_t unit, std::string_view pdu);

// The trace line written for a sent frame: "SENT: " for the two byte-string writes, "SENT:" for
// the others, then the frame in trace hex. Device identification requests are never logged.
std::optional<std::string> SentLine(RequestKind kind, std::string_view frame);

// Prefix plus trace hex, the shape of every hex trace line ("UNMD:01 03 ").
std::string TraceLine(std::string_view prefix, std::string_view bytes);

}  // namespace orvio
