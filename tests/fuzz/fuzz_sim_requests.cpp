// The simulator's request handling on arbitrary bytes: a TCP or RTU byte stream is cut into
// frames as the server cuts it, every frame goes through the gateway model (so tunnel writes put
// arbitrary telegrams on the simulated M-Bus line) and its answer is framed with a fault taken
// from the input. Checks the answers' shape and the model's invariants, not only the absence of
// crashes.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_require.h"
#include "sim/framing.h"
#include "sim/gateway_model.h"
#include "sim/scenario.h"

using namespace orvio::sim;

namespace {

void CheckAnswer(const std::string& pdu, const ModelAnswer& answer) {
  const auto function = static_cast<uint8_t>(pdu[0]);
  Require(!answer.pdu.empty());
  const auto answered = static_cast<uint8_t>(answer.pdu[0]);
  if (answer.exception != 0) {
    Require(answered == (function | 0x80) && answer.pdu.size() == 2);
    Require(answer.exception >= 1 && answer.exception <= 4);
    return;
  }
  Require(answered == function);
  if (function == 0x03 || function == 0x04) {
    const size_t count =
        static_cast<size_t>(static_cast<uint8_t>(pdu[3]) << 8 | static_cast<uint8_t>(pdu[4]));
    Require(answer.pdu.size() == 2 + 2 * count && static_cast<uint8_t>(answer.pdu[1]) == 2 * count);
  }
  Require(answer.pdu.size() <= 253);
}

void CheckModel(const GatewayModel& model) {
  // The status register, the bitmap and the real-address table describe the same slots.
  const int active = model.InputRegister(reg::kActiveDevices) & 0xFF;
  int bits = 0;
  for (uint16_t r = reg::kBitmap; r < reg::kBitmap + 16; ++r)
    bits += __builtin_popcount(static_cast<unsigned>(model.InputRegister(r)));
  Require(active == bits && active <= kMaxDevices);
  const int status = model.InputRegister(reg::kTunnelStatus);
  Require(status >= 0 && ((status >> 8) <= 3 || (status >> 8) == kTunnelAnswered ||
                          (status >> 8) == kTunnelNoAnswer));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const GatewayModel base = [] {
    GatewayModel m = DemoModel();
    m.line_time = std::chrono::milliseconds(0);
    m.now_ = [] {
      return std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 30));
    };
    return m;
  }();
  if (size < 2) return 0;
  GatewayModel model = base;
  const Transport transport = (data[0] & 1) ? Transport::kRtu : Transport::kTcp;
  Fault fault;
  fault.bad_crc = data[1] & 0x01;
  fault.leading_zero = data[1] & 0x02;
  fault.trailing_filler = data[1] & 0x04;
  if (data[1] & 0x08) fault.exception = data[0];
  if (data[1] & 0x10) fault.other_unit = data[0] >> 1;
  fault.split_parts = (data[1] >> 5) + 1;
  std::string buffer(reinterpret_cast<const char*>(data + 2), size - 2);

  while (!buffer.empty()) {
    long length =
        transport == Transport::kTcp ? TcpRequestLength(buffer) : RtuRequestLength(buffer);
    if (length == kUntilSilence) length = static_cast<long>(buffer.size());  // the line fell silent
    if (length <= 0) break;
    Require(static_cast<size_t>(length) <= buffer.size() && length <= 260);
    Require(transport == Transport::kTcp || length <= 256);
    const std::string frame = buffer.substr(0, static_cast<size_t>(length));
    buffer.erase(0, static_cast<size_t>(length));
    uint8_t unit = 0;
    std::string pdu;
    if (!SplitRequest(transport, frame, &unit, &pdu) || pdu.empty()) continue;
    const ModelAnswer answer = model.Handle(pdu);
    CheckAnswer(pdu, answer);
    const std::string wire = AnswerFrame(transport, frame, unit, answer.pdu, &fault);
    size_t total = 0;
    for (const std::string& piece : SplitPieces(wire, fault.split_parts)) total += piece.size();
    Require(total == wire.size());
    if (transport == Transport::kTcp) {
      Require(wire.size() >= 8 && wire[0] == frame[0] && wire[1] == frame[1]);
      Require(static_cast<size_t>(static_cast<uint8_t>(wire[4]) << 8 |
                                  static_cast<uint8_t>(wire[5])) == wire.size() - 6);
    }
    CheckModel(model);
  }
  return 0;
}
