// Answer intake and checks over arbitrary bytes: the TCP unwrapping, the three forms of the
// check, the first register, the registers of a read answer and their bitmap.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/modbus/answer.h"
#include "core/modbus/answer_end.h"
#include "core/modbus/registers.h"
#include "fuzz_require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvio;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // Where an answer ends: the first bytes taken as the request, the rest as what arrived.
  if (size >= 2) {
    const size_t split = std::min<size_t>(data[0] % 16 + 2, size);
    const ByteString request(input.substr(0, split));
    const std::string_view received = input.substr(split);
    if (const auto length = RtuAnswerLength(received)) Require(*length >= 5);
    RtuAnswersComplete({request, request}, received);
    const uint16_t id = static_cast<uint16_t>(data[0] << 8 | data[1]);
    if (TcpAnswersComplete({id}, received)) Require(received.size() >= 7);
  }

  const UnwrappedAnswer unwrapped = UnwrapTcpAnswer(input);
  Require(unwrapped.answer.empty() || unwrapped.answer.size() == size - 4);
  Require(unwrapped.memoLine.has_value() == (size >= 1 && size <= 7));
  Require(UnmdLine(input).size() == 5 + 3 * size);

  for (const std::string_view answer : {input, std::string_view(unwrapped.answer)}) {
    for (CheckForm form :
         {CheckForm::kFull, CheckForm::kDeviceMap, CheckForm::kDeviceIdentification}) {
      const AnswerCheck check = ValidateAnswer(answer, form);
      Require(!check.ok() || answer.size() >= 4);
      Require(check.ok() == !check.memoLine.has_value() || check.fault == AnswerFault::kException ||
              check.fault == AnswerFault::kLeadingZero);
      Require(!check.statusPanel || form == CheckForm::kFull);
      Require(check.bodyLength <= answer.size());
      const FirstRegister first = ReadFirstRegister(answer, form);
      Require(first.check.fault == check.fault);
      const auto registers = ReadAnswerRegisters(answer, check);
      Require(registers.size() <= 128);
      Require(registers.empty() || check.ok());
      const RegisterBitmap bitmap = BitmapOfRegisters(registers);
      Require(bitmap.hexText.size() == 4 * registers.size());
      Require(bitmap.ones >= 0 && static_cast<size_t>(bitmap.ones) <= 16 * registers.size());
    }
  }
  // An unwrapped TCP answer carries its own checksum, so only its content can fail it.
  if (!unwrapped.answer.empty()) {
    Require(ValidateAnswer(unwrapped.answer).fault != AnswerFault::kChecksum);
  }
  return 0;
}
