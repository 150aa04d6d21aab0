// The gateway's address list (input registers 59400.., 32 registers): byte j, in register order
// high byte first, is the M-Bus primary address assigned to Modbus device slot j (1..64).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/modbus/answer.h"

namespace orvio {

// "Modbus <slot> -> Mbus <address>" for both bytes of every whole register of a checked read
// answer (byte count / 2 registers, never past the answer's end); nothing when the check failed.
std::vector<std::string> RealAddressLines(std::string_view answer, const AnswerCheck& check);

}  // namespace orvio
