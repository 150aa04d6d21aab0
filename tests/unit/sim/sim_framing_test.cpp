// Where the simulator cuts requests out of an RTU line and a TCP stream, and how it frames
// answers.
#include <gtest/gtest.h>

#include "sim/framing.h"
#include "sim_test_util.h"

namespace orvio::sim {
namespace {

using test::Bytes;
using test::Hex;

struct LengthRow {
  const char* name;
  bool tcp;
  std::string buffer;
  long length;
};

class RequestLength : public ::testing::TestWithParam<LengthRow> {};

TEST_P(RequestLength, FromTheFrameItself) {
  const LengthRow& row = GetParam();
  EXPECT_EQ(row.tcp ? TcpRequestLength(row.buffer) : RtuRequestLength(row.buffer), row.length);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RequestLength,
    ::testing::Values(
        LengthRow{"rtu_read", false, Bytes({1, 4, 0xEA, 0x60, 0, 1, 0x88, 0x0A, 1, 4}), 8},
        LengthRow{"rtu_read_incomplete", false, Bytes({1, 4, 0xEA, 0x60, 0, 1, 0x88}), kNeedMore},
        LengthRow{"rtu_write_multiple", false, Bytes({1, 0x10, 0, 0x10, 0, 2, 4, 1, 2, 3, 4, 0, 0}),
                  13},
        LengthRow{"rtu_write_multiple_before_its_count", false, Bytes({1, 0x10, 0, 0x10, 0, 2}),
                  kNeedMore},
        LengthRow{"rtu_write_multiple_too_long", false, Bytes({1, 0x10, 0, 0, 0, 0x7F, 0xFE}),
                  kInvalid},
        LengthRow{"rtu_device_id", false, Bytes({1, 0x2B, 0x0E, 2, 0, 0, 0}), 7},
        LengthRow{"rtu_other_mei", false, Bytes({1, 0x2B, 0x0D, 2, 0, 0, 0}), kUntilSilence},
        LengthRow{"rtu_unknown_function", false, Bytes({1, 0x41, 0, 0}), kUntilSilence},
        LengthRow{"rtu_unknown_function_past_256_bytes", false,
                  Bytes({1, 0x41}) + std::string(255, 'x'), kInvalid},
        LengthRow{"rtu_one_byte", false, Bytes({1}), kNeedMore},
        LengthRow{"tcp_read", true, Bytes({0, 1, 0, 0, 0, 6, 1, 4, 0xEA, 0x60, 0, 1, 9}), 12},
        LengthRow{"tcp_header_only", true, Bytes({0, 1, 0, 0, 0, 6, 1}), kNeedMore},
        LengthRow{"tcp_protocol_id_not_0", true, Bytes({0, 1, 0, 1, 0, 6, 1, 4}), kInvalid},
        LengthRow{"tcp_length_1", true, Bytes({0, 1, 0, 0, 0, 1, 1, 4}), kInvalid},
        LengthRow{"tcp_length_255", true, Bytes({0, 1, 0, 0, 0, 0xFF, 1, 4}), kInvalid}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnswerFrame, RtuCarriesTheCrcOfItsBytes) {
  // 01 03 02 00 05 78 47: a known-good answer.
  EXPECT_EQ(Hex(AnswerFrame(Transport::kRtu, "", 1, Bytes({3, 2, 0, 5}), nullptr)),
            "01 03 02 00 05 78 47");
  EXPECT_EQ(ModbusCrc(Bytes({1, 3, 2, 0, 5})), 0x4778);
}

TEST(AnswerFrame, TcpEchoesTheTransactionId) {
  EXPECT_EQ(Hex(AnswerFrame(Transport::kTcp, Bytes({0x03, 0xE8, 0, 0, 0, 6, 1}), 1,
                            Bytes({3, 2, 0, 5}), nullptr)),
            "03 E8 00 00 00 05 01 03 02 00 05");
}

TEST(SplitPieces, CoverTheFrameInOrder) {
  const std::string frame = "abcdefg";
  EXPECT_EQ(SplitPieces(frame, 3), (std::vector<std::string>{"ab", "cd", "efg"}));
  EXPECT_EQ(SplitPieces(frame, 100).size(), 7u);
  EXPECT_EQ(SplitPieces(frame, 0), std::vector<std::string>{frame});
}

}  // namespace
}  // namespace orvio::sim
