#include "core/gateway/device_map.h"

#include "core/gateway/configuration.h"
#include "core/gateway/status_readout.h"
#include "core/mbus/number_format.h"

namespace orvio {

namespace {

// Exact decimal powers 10^-6 .. 10^6 (index = exponent + 6).
constexpr double kPow10[] = {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};

// Main VIF ranges; multiplier = 10^(expAtFirst + step * (VIF - first)).
struct UnitRow {
  uint8_t first;
  uint8_t last;
  std::string_view name;
  int expAtFirst;
  int step;
};
constexpr UnitRow kUnitRows[] = {
    {0x00, 0x07, "kWh", -6, 1},                // 0000 0nnn  kWh, 10^(nnn-6)
    {0x08, 0x0D, "kJ", -3, 1},                 // 0000 1nnn  kJ, 10^(nnn-3), up to 0x0D
    {0x0E, 0x0F, "MJ", 0, 1},                  // 0000 111n  MJ, 10^n
    {0x10, 0x17, "m3", -6, 1},                 // 0001 0nnn  m3, 10^(nnn-6)
    {0x20, 0x23, "On Time", 0, 0},             // 0010 00nn  on time
    {0x24, 0x27, "Operating Time", 0, 0},      // 0010 01nn  operating time
    {0x28, 0x2D, "W", -3, 1},                  // 0010 1nnn  W, 10^(nnn-3), up to 0x2D
    {0x2E, 0x2F, "kW", 0, 1},                  // 0010 111n  kW, 10^n
    {0x30, 0x36, "J/h", 0, 1},                 // 0011 0nnn  J/h, 10^nnn, up to 0x36
    {0x38, 0x3F, "l/h", -3, 1},                // 0011 1nnn  l/h, 10^(nnn-3)
    {0x58, 0x5B, "deg. C", -3, 1},             // 0101 10nn  flow temperature, 10^(nn-3)
    {0x5C, 0x5F, "deg. C", -3, 1},             // 0101 11nn  return temperature, 10^(nn-3)
    {0x60, 0x63, "deg. K", -3, 1},             // 0110 00nn  temperature difference
    {0x64, 0x67, "deg. C", -3, 1},             // 0110 01nn  external temperature
    {0x68, 0x6A, "mbar", 0, 1},                // 0110 10nn  pressure, 10^nn, up to 0x6A
    {0x6C, 0x6D, "Time point", 0, 0},          // 0110 110n  date / date and time
    {0x6E, 0x6E, "Dimensionless", 0, 0},       // 0110 1110  units for H.C.A.
    {0x70, 0x70, "Average duration", 0, 0},    // 0111 00nn  averaging duration (seconds)
    {0x74, 0x74, "Actuality Duration", 0, 0},  // 0111 01nn  actuality duration (seconds)
    {0x78, 0x78, "Fabr. No.", 0, 0},           // 0111 1000  fabrication number
};

// Units of transformed values by general unit code.
constexpr std::string_view kTransformedUnits[] = {"No unit", "kWh", "m3", "kJ", "MJ", "MWh", "m6"};

// Medium codes of the device map.
constexpr std::string_view kMedia[] = {
    "Other",    "Oil",        "Electricity", "Gas",      "Heat",     "Steam",    "Hot water",
    "Water",    "H.C.A.",     "Compr. air",  "Cold",     "Cold",     "Heat",     "Heat/Cold",
    "System",   "Unknown",    "Reserved",    "Reserved", "Reserved", "Reserved", "Reserved",
    "Reserved", "Cold water", "Dual water",  "Pressure", "ADC",
};

std::string Hex2(unsigned b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[(b >> 4) & 0xF], kDigits[b & 0xF]};
}

}  // namespace

UnitEntry UnitTable(uint8_t vif) {
  for (const auto& row : kUnitRows) {
    if (vif >= row.first && vif <= row.last) {
      const int exp = row.expAtFirst + row.step * (vif - row.first);
      return {row.name, kPow10[exp + 6]};
    }
  }
  return {"Not supported", 1.0};
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
  // Register 4 carries the code low byte first; as in a telegram: v = lo * 256 + hi,
  // letters = 64 + bits 14..10, 64 + bits 9..5, 64 + bits 4..0.
  const unsigned v = lo * 256u + hi;
  return {static_cast<char>(64 + (v >> 10)), static_cast<char>(64 + ((v >> 5) & 31)),
          static_cast<char>(64 + (v & 31))};
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
      case 3:
        d.Identification += Hex2(hi) + Hex2(lo);
        break;
      case 4:
        d.Manufacturer = ManufacturerLetters(hi, lo);
        break;
      case 5: {
        d.MainVif = hi;
        const UnitEntry u = UnitTable(hi);
        d.UnitName = u.name;
        d.Multiplier = u.multiplier;
        break;
      }
      case 6:
        d.MainCode = Hex2(hi) + Hex2(lo);
        break;
      case 7:
        d.GeneralUnitCode = lo;
        break;
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
      case 10:
        d.MbusStatus = lo;
        break;
      case 11:
      case 13:
      case 15:
      case 17:
      case 19:
      case 25:
        highWord = word;
        break;
      case 12:
        d.MainValue = join(word);
        break;
      case 14:
        d.TariffValue1 = join(word);
        break;
      case 16:
        d.TariffValue2 = join(word);
        break;
      case 18:
        d.TariffValue3 = join(word);
        break;
      case 20:
        d.TariffValue4 = join(word);
        break;
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
      case 26:
        d.FlowValue = join(word);
        break;
      default:
        break;  // 27, 28 and beyond: not used
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
  c[10] = "Main=" + d.MainCode + ", Device=" + Hex2(d.DeviceFlags) + ", mbus=" + Hex2(d.MbusStatus);
  c[11] = Hex2(d.MainVif);
  c[12] = "input1=" + Hex2(d.Input1) + ", input2=" + Hex2(d.Input2);
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
