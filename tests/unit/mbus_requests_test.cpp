// M-Bus request telegrams and the pure steps of the tunnel transaction: the bytes written to the
// tunnel block, the answer-status reading, and how a primary scan moves through its range.
#include <gtest/gtest.h>

#include "core/mbus/requests.h"
#include "core/modbus/crc.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Hex;

struct FrameRow {
  const char* name;
  ByteString frame;
  const char* hex;
};
class ShortFrameRows : public ::testing::TestWithParam<FrameRow> {};
TEST_P(ShortFrameRows, Bytes) { EXPECT_EQ(HexText(GetParam().frame), GetParam().hex); }
// Checksums worked out by hand from EN 13757-2: (C + A) modulo 256.
INSTANTIATE_TEST_SUITE_P(
    MbusRequests, ShortFrameRows,
    ::testing::Values(FrameRow{"ReqUd2Address1", ReqUd2Frame(1), "107B017C16"},
                      FrameRow{"ReqUd2Address0", ReqUd2Frame(0), "107B007B16"},
                      FrameRow{"ReqUd2Alternate5", ReqUd2Frame(5, true), "105B056016"},
                      // 7B + FE = 179: the checksum keeps the low byte only
                      FrameRow{"ReqUd2ChecksumWraps", ReqUd2Frame(0xFE), "107BFE7916"},
                      FrameRow{"ReqUd2Broadcast", ReqUd2Frame(0xFF), "107BFF7A16"},
                      FrameRow{"SndNkeAddress1", SndNkeFrame(1), "1040014116"},
                      FrameRow{"SndNkeBroadcast", SndNkeFrame(0xFF), "1040FF3F16"},
                      FrameRow{"AnyControl", ShortFrame(0x53, 0xB0), "1053B00316"}),
    [](const auto& info) { return std::string(info.param.name); });

struct PadRow {
  const char* name;
  const char* telegram;
  const char* written;
};
class TunnelPadRows : public ::testing::TestWithParam<PadRow> {};
TEST_P(TunnelPadRows, Written) {
  EXPECT_EQ(HexText(TunnelRequestData(Hex(GetParam().telegram))), GetParam().written);
}
INSTANTIATE_TEST_SUITE_P(MbusRequests, TunnelPadRows,
                         ::testing::Values(
                             // A short frame travels as 5 bytes padded to 6, in 3 registers.
                             PadRow{"ShortFramePadded", "10 7B 05 80 16", "107B05801600"},
                             PadRow{"EvenKeptAsIs", "68 03 03 68 53 FE 51 A2 16 00",
                                    "6803036853FE51A21600"},
                             PadRow{"Empty", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

// The answer to a read of the status register 33799 with the given register value.
FirstRegister Status(const char* value_hex) {
  return ReadFirstRegister(WithModbusCrc(Hex(std::string("01 04 02 ") + value_hex)));
}

struct StatusRow {
  const char* name;
  FirstRegister status;
  int registers;  // 0 = nothing to read, the attempt failed
};
class TunnelStatusRows : public ::testing::TestWithParam<StatusRow> {};
TEST_P(TunnelStatusRows, Registers) {
  const auto n = TunnelAnswerRegisters(GetParam().status);
  EXPECT_EQ(n.value_or(0), GetParam().registers);
}
INSTANTIATE_TEST_SUITE_P(
    MbusRequests, TunnelStatusRows,
    ::testing::Values(StatusRow{"OneByteOneRegister", Status("04 01"), 1},
                      StatusRow{"OddLengthRoundsUp", Status("05 31"), 25},  // 49 bytes
                      StatusRow{"EvenLength", Status("04 30"), 24},
                      StatusRow{"LongestAnswer", Status("FF FF"), 128},
                      StatusRow{"StateThreeIsNotReady", Status("03 31"), 0},
                      StatusRow{"StateZero", Status("00 31"), 0},
                      StatusRow{"NoAnswerHeld", Status("04 00"), 0},
                      // A rejected answer's "bytes" are its computed CRC: never a length.
                      StatusRow{"BadChecksum", ReadFirstRegister(Hex("01 04 02 04 31 00 01")), 0},
                      StatusRow{"Exception", ReadFirstRegister(WithModbusCrc(Hex("01 84 02"))), 0},
                      StatusRow{"TooShort", ReadFirstRegister(WithModbusCrc(Hex("01 04 00"))), 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct StepRow {
  const char* name;
  int address, retries;
  bool failed;
  int retry_setting, last;
  ScanStep next;
};
class ScanStepRows : public ::testing::TestWithParam<StepRow> {};
TEST_P(ScanStepRows, Next) {
  const StepRow& r = GetParam();
  const ScanStep s = NextScanStep(r.address, r.retries, r.failed, r.retry_setting, r.last);
  EXPECT_EQ(s.address, r.next.address);
  EXPECT_EQ(s.retries, r.next.retries);
  EXPECT_EQ(s.done, r.next.done);
}
INSTANTIATE_TEST_SUITE_P(
    MbusRequests, ScanStepRows,
    ::testing::Values(StepRow{"AnsweredMovesOn", 3, 0, false, 2, 5, {4, 0, false}},
                      StepRow{"AnsweredAfterRepeatsMovesOn", 3, 2, false, 2, 5, {4, 0, false}},
                      StepRow{"FailedRepeats", 3, 0, true, 2, 5, {3, 1, false}},
                      StepRow{"FailedLastRepeat", 3, 1, true, 2, 5, {3, 2, false}},
                      StepRow{"RepeatsUsedUpMovesOn", 3, 2, true, 2, 5, {4, 0, false}},
                      StepRow{"NoRepeatsSetting", 3, 0, true, 0, 5, {4, 0, false}},
                      StepRow{"LastAddressEnds", 5, 0, false, 2, 5, {6, 0, true}},
                      StepRow{"LastAddressRepeatsFirst", 5, 0, true, 1, 5, {5, 1, false}},
                      // An 8-bit address would wrap to 0 here and never end.
                      StepRow{"Address255Ends", 255, 0, false, 2, 255, {256, 0, true}}),
    [](const auto& info) { return std::string(info.param.name); });

// Retry setting 2 on a silent address: three requests, then the next address.
TEST(MbusRequests, SilentAddressGetsOneRequestAndTheRepeats) {
  ScanStep s{7, 0, false};
  int requests_to_7 = 0;
  while (!s.done && s.address == 7) {
    ++requests_to_7;
    s = NextScanStep(s.address, s.retries, true, 2, 9);
  }
  EXPECT_EQ(requests_to_7, 3);
  EXPECT_EQ(s.address, 8);
  EXPECT_EQ(s.retries, 0);
}

}  // namespace
}  // namespace orvio
