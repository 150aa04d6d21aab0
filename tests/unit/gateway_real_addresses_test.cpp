// The gateway's address list as memo lines: slot j -> the primary address in byte j.
#include <gtest/gtest.h>

#include "core/gateway/real_addresses.h"
#include "core/modbus/crc.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Hex;
using Lines = std::vector<std::string>;

Lines Listing(const ByteString& answer) { return RealAddressLines(answer, ValidateAnswer(answer)); }

struct ListRow {
  const char* name;
  ByteString answer;
  Lines lines;
};
class RealAddressRows : public ::testing::TestWithParam<ListRow> {};
TEST_P(RealAddressRows, Lines) { EXPECT_EQ(Listing(GetParam().answer), GetParam().lines); }
INSTANTIATE_TEST_SUITE_P(
    GatewayRealAddresses, RealAddressRows,
    ::testing::Values(
        // Slot 1 gets the high byte, slot 2 the low byte; decimal, not hex.
        ListRow{"HighByteFirst",
                WithModbusCrc(Hex("01 04 04 05 00 FA 10")),
                {"Modbus 1 -> Mbus 5", "Modbus 2 -> Mbus 0", "Modbus 3 -> Mbus 250",
                 "Modbus 4 -> Mbus 16"}},
        ListRow{"FillerByteAccepted",
                WithModbusCrc(Hex("01 04 02 07 08")) + '\0',
                {"Modbus 1 -> Mbus 7", "Modbus 2 -> Mbus 8"}},
        // An odd byte count's last byte fills no register.
        ListRow{"OddCountWholeRegistersOnly",
                WithModbusCrc(Hex("01 04 03 01 02 03")),
                {"Modbus 1 -> Mbus 1", "Modbus 2 -> Mbus 2"}},
        // A byte count larger than what came: only the registers that are there.
        ListRow{"ShortAnswer",
                WithModbusCrc(Hex("01 04 40 09 0A")),
                {"Modbus 1 -> Mbus 9", "Modbus 2 -> Mbus 10"}},
        ListRow{"BadChecksum", Hex("01 04 02 05 00 12 34"), {}},
        ListRow{"Exception", WithModbusCrc(Hex("01 84 02")), {}},
        ListRow{"LeadingZero", WithModbusCrc(Hex("00 04 02 05 00")), {}},
        ListRow{"Empty", Hex(""), {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GatewayRealAddresses, FullListHasSixtyFourSlots) {
  ByteString a = Hex("01 04 40");
  for (int i = 0; i < 64; ++i) a += static_cast<char>(i + 1);
  const Lines lines = Listing(WithModbusCrc(a));
  ASSERT_EQ(lines.size(), 64u);
  EXPECT_EQ(lines.front(), "Modbus 1 -> Mbus 1");
  EXPECT_EQ(lines.back(), "Modbus 64 -> Mbus 64");
}

}  // namespace
}  // namespace orvio
