#include "core/gateway/real_addresses.h"

namespace orvio {

std::vector<std::string> RealAddressLines(std::string_view answer, const AnswerCheck& check) {
  std::vector<std::string> lines;
  if (!check.ok() || answer.size() < 3) return lines;
  const std::vector<RegisterValue> registers = ReadAnswerRegisters(answer, check);
  size_t whole = ByteAt(answer, 2) / 2u;  // an odd byte count's last byte fills no register
  if (registers.size() < whole) whole = registers.size();
  const auto line = [](size_t slot, uint8_t address) {
    return "Modbus " + std::to_string(slot) + " -> Mbus " + std::to_string(address);
  };
  for (size_t k = 0; k < whole; ++k) {
    lines.push_back(line(2 * k + 1, registers[k].hi));
    lines.push_back(line(2 * k + 2, registers[k].lo));
  }
  return lines;
}

}  // namespace orvio
