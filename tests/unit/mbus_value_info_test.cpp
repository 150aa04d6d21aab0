// Value information: the primary VIF table and the FB/FD extension tables as named rows.
#include <gtest/gtest.h>

#include "core/mbus/value_info.h"
#include "mbus_test_frames.h"

namespace orvio {
namespace {

using test::Hex;

struct VifRow {
  const char* name;
  uint8_t vif;
  const char* after;  // bytes after the VIF
  const char* unit;
  const char* description;
  double multiplier;  // exact: the double nearest to the decimal power
};
class ValueInfoRows : public ::testing::TestWithParam<VifRow> {};
TEST_P(ValueInfoRows, Decodes) {
  const VifRow& r = GetParam();
  const ValueInfo info = DecodeValueInfo(r.vif, Hex(r.after));
  EXPECT_EQ(info.unit, r.unit);
  EXPECT_EQ(info.description, r.description);
  EXPECT_EQ(info.multiplier, r.multiplier);
}

const VifRow kVifRows[] = {
    {"EnergyWhMilli", 0x00, "", "kWh", "", 1e-6},
    {"EnergyWh", 0x03, "", "kWh", "", 1e-3},
    {"EnergyKWh", 0x06, "", "kWh", "", 1},
    {"EnergyTenKWh", 0x07, "", "kWh", "", 10},
    {"EnergyJoule", 0x08, "", "kJ", "", 1e-3},
    {"EnergyHundredKJ", 0x0D, "", "kJ", "", 100},
    {"EnergyMJ", 0x0E, "", "MJ", "", 1},
    {"EnergyTenMJ", 0x0F, "", "MJ", "", 10},
    {"VolumeLitre", 0x13, "", "m3", "", 1e-3},
    {"VolumeWithExtensionBit", 0x93, "3C", "m3", "", 1e-3},
    {"VolumeTenM3", 0x17, "", "m3", "", 10},
    {"ReservedVolumeCode", 0x18, "", "Not supported", "", 1},
    {"OnTimeSeconds", 0x20, "", "On Time", "seconds", 1},
    {"OnTimeHours", 0x22, "", "On Time", "hours", 1},
    {"OperatingTimeDays", 0x27, "", "Operating Time", "days", 1},
    {"PowerMilliwatt", 0x28, "", "W", "", 1e-3},
    {"PowerWatt", 0x2B, "", "W", "", 1},
    {"PowerKW", 0x2E, "", "kW", "", 1},
    {"PowerJoulePerHour", 0x33, "", "J/h", "", 1e3},
    {"PowerCodeThirtySeven", 0x37, "", "Not supported", "", 1},
    {"FlowMillilitrePerHour", 0x38, "", "l/h", "Debit", 1e-3},
    {"FlowLitrePerHour", 0x3B, "", "l/h", "Debit", 1},
    {"MassCode", 0x40, "", "Not supported", "", 1},
    {"FlowTemperature", 0x5B, "", "deg. C", "Flow Temp.", 1},
    {"FlowTemperatureTenth", 0x5A, "", "deg. C", "Flow Temp.", 0.1},
    {"ReturnTemperatureHundredth", 0x5D, "", "deg. C", "Return Temp.", 0.01},
    {"TemperatureDifferenceMilli", 0x60, "", "deg. K", "TDiff", 1e-3},
    {"ExternalTemperature", 0x67, "", "deg. C", "External Temperature", 1},
    {"Pressure", 0x6A, "", "mbar", "", 100},
    {"PressureCodeSixB", 0x6B, "", "Not supported", "", 1},
    {"Date", 0x6C, "", "Time point", "Date (dd.mm.yyyy)", 1},
    {"DateAndTime", 0x6D, "", "Time point", "Date and time (hh:mm, dd.mm.yyyy)", 1},
    {"DateAndTimeExtended", 0xED, "00", "Time point", "Date and time (hh:mm, dd.mm.yyyy)", 1},
    {"HeatCostAllocator", 0x6E, "", "N/A", "", 1},
    {"AveragingDuration", 0x70, "", "Average duration", "", 1},
    {"AveragingDurationMinutes", 0x71, "", "Not supported", "", 1},
    {"ActualityDuration", 0x74, "", "Actuality Duration", "", 1},
    {"FabricationNumber", 0x78, "", "Fabr. No.", "", 1},
    {"BusAddress", 0x7A, "", "Not supported", "", 1},
    {"AnyVif", 0x7E, "", "Readout - not supported for now", "", 1},
    {"AnyVifExtended", 0xFE, "00", "Readout - not supported for now", "", 1},
    {"ManufacturerSpecific", 0x7F, "", "Manufacturer specific", "", 1},
    {"ManufacturerSpecificExtended", 0xFF, "00", "Manufacturer specific", "", 1},
    {"FirstDigitFIsNotMapped", 0xF8, "00", "Not supported", "", 1},
    {"FirstDigitFIsNotMappedEither", 0xF3, "00", "Not supported", "", 1},
    // Plain text: length byte, then the text as stored.
    {"PlainText", 0x7C, "03 41 42 43 99", "ABC", "text", 1},
    {"PlainTextEmpty", 0x7C, "00 99", "Not supported", "", 1},
    {"PlainTextExtended", 0xFC, "02 4B 57 74", "VIF is user ASCII string: KW", "text", 1},
    // FD: meaning in the first VIFE, multiplier always 1.
    {"FdVolts", 0xFD, "47", "Volts, 10^-2", "", 1},
    {"FdVoltsLowest", 0xFD, "40", "Volts, 10^-9", "", 1},
    {"FdVoltsHighest", 0xFD, "4F", "Volts, 10^6", "", 1},
    {"FdAmperes", 0xFD, "53", "Ampers, 10^-9", "", 1},
    {"FdAmperesHighest", 0xFD, "55", "Ampers, 10^-7", "", 1},
    {"FdAmperesCodeFiftySix", 0xFD, "56", "VIF not supported", "", 1},
    {"FdResetCounter", 0xFD, "58", "VIF not supported", "", 1},
    {"FdCredit", 0xFD, "02", "Credit in currency units", "", 1},
    {"FdDebit", 0xFD, "07", "Debit in currency units", "", 1},
    {"FdFirmwareWithExtensionBit", 0xFD, "8E 00", "Firmware version No.", "", 1},
    {"FdErrorFlags", 0xFD, "17", "Error flags", "", 1},
    {"FdCodeFourteen", 0xFD, "14", "VIF not supported", "", 1},
    {"FdDigitalInput", 0xFD, "1B", "Digitial Input (binary)", "", 1},
    {"FdDimensionless", 0xFD, "3A", "Dimensionless", "", 1},
    {"FdWithoutVife", 0xFD, "", "Not supported", "", 1},
    // FB: unit and multiplier from the first VIFE.
    {"FbHundredKWh", 0xFB, "00", "kWh", "", 100},
    {"FbMWh", 0xFB, "01", "kWh", "", 1000},
    {"FbMWhWithExtensionBit", 0xFB, "81 00", "kWh", "", 1000},
    {"FbReservedEnergy", 0xFB, "03", "Reserved", "", 1},
    {"FbTenthGJ", 0xFB, "08", "GJ", "", 0.1},
    {"FbGJ", 0xFB, "09", "GJ", "", 1},
    {"FbHundredM3", 0xFB, "10", "m3", "", 100},
    {"FbThousandM3", 0xFB, "11", "m3", "", 1000},
    {"FbCodeTwelve", 0xFB, "12", "VIF not supported", "", 1},
    {"FbMW", 0xFB, "29", "kW", "", 1000},
    {"FbFlowFahrenheitTenth", 0xFB, "5A", "Flow Temperature, deg. F", "", 0.1},
    {"FbFlowFahrenheit", 0xFB, "5B", "Flow Temperature, F", "", 1},
    {"FbReturnFahrenheit", 0xFB, "5F", "Return Temperature, deg. F", "", 1},
    {"FbDifferenceFahrenheitMilli", 0xFB, "60", "Temp. difference, deg. F", "", 1e-3},
    {"FbDifferenceFahrenheit", 0xFB, "63", "Temp. difference, F", "", 1},
    {"FbExternalFahrenheitHundredth", 0xFB, "65", "External temperature, deg. F", "", 0.01},
    {"FbReservedSixF", 0xFB, "6F", "Reserved", "", 1},
    {"FbCodeSeventy", 0xFB, "70", "VIF not supported", "", 1},
};
INSTANTIATE_TEST_SUITE_P(Mbus, ValueInfoRows, ::testing::ValuesIn(kVifRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MbusValueInfo, PlainTextSaysHowManyBytesToSkip) {
  EXPECT_EQ(DecodeValueInfo(0x7C, Hex("03 41 42 43")).text_bytes, 4u);
  EXPECT_EQ(DecodeValueInfo(0x7C, Hex("00 12")).text_bytes, 0u);
  EXPECT_EQ(DecodeValueInfo(0xFC, Hex("00 74")).text_bytes, 1u);
  EXPECT_EQ(DecodeValueInfo(0xFC, Hex("00 74")).unit, "VIF is user ASCII string: ");
}

TEST(MbusValueInfo, PlainTextPastTheEndIsFlagged) {
  const ValueInfo info = DecodeValueInfo(0x7C, Hex("05 41 42"));
  EXPECT_TRUE(info.text_truncated);
  EXPECT_EQ(info.unit, "AB");
  EXPECT_TRUE(DecodeValueInfo(0x7C, "").text_truncated);
  EXPECT_FALSE(DecodeValueInfo(0x7C, Hex("02 41 42")).text_truncated);
}

TEST(MbusValueInfo, ExtensionTablesDirectly) {
  EXPECT_EQ(DecodeVifeFD(0x47), "Volts, 10^-2");
  EXPECT_EQ(DecodeVifeFD(0xC7), "Volts, 10^-2");
  EXPECT_EQ(DecodeVifeFD(0x7F), "VIF not supported");
  EXPECT_EQ(DecodeVifeFB(0x01).unit, "kWh");
  EXPECT_EQ(DecodeVifeFB(0x01).multiplier, 1000);
  EXPECT_EQ(DecodeVifeFB(0x30).unit, "VIF not supported");
  EXPECT_EQ(DecodeVifeFB(0x30).multiplier, 1);
}

}  // namespace
}  // namespace orvio
