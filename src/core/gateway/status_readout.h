// The gateway status readout: fourteen request/answer steps, each with the request it sends and
// the builder that turns its checked answer into memo lines.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/gateway/gateway_request.h"
#include "core/modbus/answer.h"

namespace orvio {

struct StatusLines {
  std::vector<std::string> lines;        // to add to the memo, in order
  std::optional<int> activeDeviceCount;  // the bitmap step's count of 1 bits
};

// Builds the lines of one step from an answer (RTU form) and its check by ValidateAnswer in the
// step's form. A failed check, or an answer too short for the data a line needs, gives no line.
using StatusLineBuilder = StatusLines (*)(std::string_view answer, const AnswerCheck& check);

struct StatusStepSpec {
  int step;  // 1..14
  GatewayRequest request;
  CheckForm check;  // form of ValidateAnswer for the step's answer
  StatusLineBuilder build;
};

inline constexpr int kStatusStepCount = 14;

const std::array<StatusStepSpec, kStatusStepCount>& StatusSteps();
// The step's entry; nullptr outside 1..14 (the readout has ended).
const StatusStepSpec* StatusStepAt(int step);

// What step 1..14 reads, as the command line names its items ("Active devices", "IP", ...);
// the lines of the steps with a label start with it and ": ". "" outside 1..14.
const char* StatusItemName(int step);
// The value a line of step 1..14 shows: the line without its label and ": ", without the blanks
// around it ("Active devices: 5/10" -> "5/10", "IP: 192.168.1.100" -> "192.168.1.100").
std::string StatusItemValue(int step, std::string_view line);

// One blank before each byte's two upper-case hex digits (" 01 03"): the form of the status
// readout's "UNMD:" lines and of Activate All's "RCVD:" lines.
std::string BlankHex(std::string_view bytes);
// "UNMD:" and the answer in that form; "UNMD:" alone for an empty answer.
std::string StatusUnmdLine(std::string_view answer);

// Device identification text: the answer's 8th byte up to and including the 4th byte from the
// end (length - 10 bytes, empty below 11 bytes); bytes below 31 become one blank each.
std::string IdentificationText(std::string_view answer);

// Device slots (1-based) whose bit is set in the active-device bitmap; slot 1 is bit 0 of the
// first data byte (the high byte of the first register), slot 9 bit 0 of its low byte.
std::vector<int> ActiveDeviceSlots(const std::vector<RegisterValue>& bitmap);

}  // namespace orvio
