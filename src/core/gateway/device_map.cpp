#include "core/gateway/device_map.h"

#include "core/gateway/configuration.h"
#include "core/gateway/status_readout.h"
#include "core/mbus/number_format.h"
#include "core/mbus/telegram.h"
#include "core/mbus/vif_ranges.h"

namespace orvio {

namespace {

// Units of transformed values by general unit code.
constexpr std::string_view kTransformedUnits[] = {"No unit", "kWh", "m3", "kJ", "MJ", "MWh", "m6"};

// Medium codes of the device map.
constexpr std::string_view kMedia[] = {
    "Other",    "Oil",        "Electricity", "Gas",      "Heat",     "Steam",    "Hot water",
    "Water",    "H.C.A.",     "Compr. air",  "Cold",     "Cold",     "Heat",     "Heat/Cold",
    "System",   "Unknown",    "Reserved",    "Reserved", "Reserved", "Reserved", "Reserved",
    "Reserved", "Cold water", "Dual water",  "Pressure", "ADC",
};

}  // namespace

UnitEntry UnitTable(uint8_t vif) {
  // The main VIF as the gateway holds it: a code with the extension bit set is not listed.
  const VifRange* row = FindPrimaryVif(vif);
  if (!row || !row->device_unit) return {"Not supported", 1.0};
  return {row->device_unit, VifRangeMultiplier(*row, vif)};
}

std::string_view TransformedUnit(uint8_t code) {
  if (code < std::size(kTransformedUnits)) return kTransformedUnits[code];
  return "Not supported";
}

std::string_view MediumTable(uint8_t code) {
  if (code < std::size(kMedia)) return kMedia[code];
  return "Reserved/Error";
}

std::string ManufacturerLetters(uint8_t hi, uint8_t lo) {
  // Register 4 carries the code low byte first, in the byte order of a telegram.
  return DecodeManufacturer(hi, lo);
}

int DeviceRecordSize(uint8_t versionHi, uint8_t versionLo) {
  return (versionHi != 0 || versionLo > 2) ? reg::kDeviceRecordLong : reg::kDeviceRecordShort;
}

GatewayRequest DeviceRecordRequest(int index, int recordSize) {
  const long first = reg::kDeviceRecordBase + static_cast<long>(index - 1) * recordSize;
  return ReadInput(static_cast<uint16_t>(first), static_cast<uint16_t>(recordSize));
}

TModbusDevice DecodeDeviceRecord(const std::vector<RegisterValue>& registers) {
  TModbusDevice d;
  uint16_t highWord = 0;  // first register of a 32-bit pair
  auto join = [&](uint16_t lowWord) {
    return static_cast<int32_t>((static_cast<uint32_t>(highWord) << 16) | lowWord);
  };
  for (size_t k = 1; k <= registers.size(); ++k) {
    const uint8_t hi = registers[k - 1].hi;
    const uint8_t lo = registers[k - 1].lo;
    const auto word = static_cast<uint16_t>(hi << 8 | lo);
    switch (k) {
      case 1:
        d.PrimaryAddress = hi;
        d.MediumText = MediumTable(lo);
        break;
      case 2:
      case 3: d.Identification += HexByte(hi) + HexByte(lo); break;
      case 4: d.Manufacturer = ManufacturerLetters(hi, lo); break;
      case 5: {
        d.MainVif = hi;
        const UnitEntry u = UnitTable(hi);
        d.UnitName = u.name;
        d.Multiplier = u.multiplier;
        break;
      }
      case 6: d.MainCode = HexByte(hi) + HexByte(lo); break;
      case 7: d.GeneralUnitCode = lo; break;
      case 8:
        d.Input1 = hi;
        d.Input2 = lo;
        break;
      case 9:
        d.DeviceFlags = lo;
        if (lo & reg::kDeviceFlagTransformed) {
          d.Multiplier = 1.0;
          d.UnitName = TransformedUnit(d.GeneralUnitCode);
        }
        break;
      case 10: d.MbusStatus = lo; break;
      case 11:
      case 13:
      case 15:
      case 17:
      case 19:
      case 25: highWord = word; break;
      case 12: d.MainValue = join(word); break;
      case 14: d.TariffValue1 = join(word); break;
      case 16: d.TariffValue2 = join(word); break;
      case 18: d.TariffValue3 = join(word); break;
      case 20: d.TariffValue4 = join(word); break;
      case 21:
        d.TariffStart1 = hi;
        d.TariffStart2 = lo;
        break;
      case 22:
        d.TariffStart3 = hi;
        d.TariffStart4 = lo;
        break;
      case 23:
        d.TariffEnd1 = hi;
        d.TariffEnd2 = lo;
        break;
      case 24:
        d.TariffEnd3 = hi;
        d.TariffEnd4 = lo;
        break;
      case 26: d.FlowValue = join(word); break;
      default: break;  // 27, 28 and beyond: not used
    }
  }
  return d;
}

DeviceRowCells DeviceRow(const TModbusDevice& d, int recordSize, char decimalSeparator) {
  // Values: 8 significant digits, 3 decimals.
  auto value = [&](int32_t v) { return FormatFixed(v * d.Multiplier, 8, 3, decimalSeparator); };
  auto dec = [](unsigned v) { return std::to_string(v); };
  DeviceRowCells c;
  c[0] = d.Identification;
  c[1] = dec(d.PrimaryAddress);
  c[2] = d.Manufacturer;
  c[3] = d.MediumText;
  c[4] = d.UnitName;
  c[5] = value(d.MainValue);
  c[6] = value(d.TariffValue1);
  c[7] = value(d.TariffValue2);
  c[8] = value(d.TariffValue3);
  c[9] = value(d.TariffValue4);
  c[10] = "Main=" + d.MainCode + ", Device=" + HexByte(d.DeviceFlags) +
          ", mbus=" + HexByte(d.MbusStatus);
  c[11] = HexByte(d.MainVif);
  c[12] = "input1=" + HexByte(d.Input1) + ", input2=" + HexByte(d.Input2);
  c[13] = dec(d.TariffStart1) + "/" + dec(d.TariffStart2) + "/" + dec(d.TariffStart3) + "/" +
          dec(d.TariffStart4) + "-" + dec(d.TariffEnd1) + "/" + dec(d.TariffEnd2) + "/" +
          dec(d.TariffEnd3) + "/" + dec(d.TariffEnd4);
  if (recordSize == reg::kDeviceRecordLong) c[14] = std::to_string(d.FlowValue);
  return c;
}

GatewayRequest ActivateRequest(uint8_t address) {
  return WriteSingle(reg::kActivateDevice, address);
}
GatewayRequest DeleteRequest(uint8_t address) { return WriteSingle(reg::kDeleteDevice, address); }
GatewayRequest DeleteAllRequest() {
  return WriteSingle(reg::kDeleteDevice, reg::kDeleteAllAddress);
}
GatewayRequest ExcludeInputsRequest(uint8_t address) {
  return WriteSingle(reg::kExcludeInputs, address);
}
GatewayRequest SearchAndActivateRequest() {
  return WriteSingle(reg::kSearchAndActivate, reg::kSearchAndActivateValue);
}

std::vector<GatewayRequest> WriteModbusRequests(bool activate, bool del, bool deleteInputs,
                                                uint8_t address) {
  std::vector<GatewayRequest> out;
  if (activate) out.push_back(ActivateRequest(address));
  if (del) out.push_back(DeleteRequest(address));
  if (deleteInputs) out.push_back(ExcludeInputsRequest(address));
  return out;
}

bool SearchAndActivateAddressOk(std::string_view addressText) {
  return ParseDecimal(addressText).value_or(255) < 255;
}

std::optional<int> ParseDeviceAddress(std::string_view cell) {
  const auto n = ParseDecimal(cell);
  if (!n || *n > 255) return std::nullopt;
  return n;
}

bool ActivateAnswerFailed(std::string_view answer, uint8_t slave) {
  constexpr size_t kExceptionAnswerSize = 5;
  return answer.size() < 2 || ByteAt(answer, 0) != slave ||
         ByteAt(answer, 1) != reg::kFnWriteSingle || answer.size() == kExceptionAnswerSize;
}

std::string ActivateReceivedLine(std::string_view answer) { return "RCVD:" + BlankHex(answer); }

}  // namespace orvio
