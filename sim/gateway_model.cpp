#include "sim/gateway_model.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace orvio::sim {
namespace {

constexpr uint8_t kIllegalFunction = 1;
constexpr uint8_t kIllegalAddress = 2;
constexpr uint8_t kIllegalValue = 3;
constexpr uint8_t kDeviceFailure = 4;

uint16_t Word(std::string_view b, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[i]) << 8 | static_cast<uint8_t>(b[i + 1]));
}

void PutWord(std::string* out, uint16_t v) {
  out->push_back(static_cast<char>(v >> 8));
  out->push_back(static_cast<char>(v & 0xFF));
}

uint16_t Bytes2(uint8_t hi, uint8_t lo) { return static_cast<uint16_t>(hi << 8 | lo); }

// Register k of a byte block held two bytes per register (high byte first, zero beyond the end).
uint16_t BlockRegister(const std::string& bytes, size_t k) {
  const auto byte = [&](size_t i) {
    return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : uint8_t{0};
  };
  return Bytes2(byte(2 * k), byte(2 * k + 1));
}

bool InRange(uint16_t a, uint16_t first, uint16_t last) { return a >= first && a <= last; }

// Media whose main value is energy, and those whose main value is a volume.
bool EnergyMedium(uint8_t m) { return m == 2 || m == 4 || m == 5 || (m >= 10 && m <= 13); }
bool VolumeMedium(uint8_t m) {
  return m == 1 || m == 3 || m == 6 || m == 7 || m == 0x16 || m == 0x17;
}

int32_t Clamp32(double v) {
  if (v > 2147483647.0) return 2147483647;
  if (v < -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(std::llround(v));
}

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -2147483647 - 1, 2147483647));
}

// Unit code of transformed values (device flags bit 5) for a main VIF, and the factor that
// turns the record's integer into that unit:
//   0000 0nnn  Wh 10^(n-3)   -> 1 kWh, x 10^(n-6)
//   0000 1nnn  J 10^n (n<6)  -> 3 kJ,  x 10^(n-3)
//   0000 111n  MJ 10^n       -> 4 MJ,  x 10^n
//   0001 0nnn  m3 10^(n-6)   -> 2 m3,  x 10^(n-6)
void GeneralUnit(uint8_t vif, uint8_t* code, double* factor) {
  const int n = vif & 0x07;
  if (vif <= 0x07) {
    *code = 1;
    *factor = std::pow(10.0, n - 6);
  } else if (vif <= 0x0D) {
    *code = 3;
    *factor = std::pow(10.0, (vif - 0x08) - 3);
  } else if (vif <= 0x0F) {
    *code = 4;
    *factor = std::pow(10.0, vif - 0x0E);
  } else if (vif <= 0x17) {
    *code = 2;
    *factor = std::pow(10.0, (vif - 0x10) - 6);
  } else {
    *code = 0;
    *factor = 1.0;
  }
}

bool ValidBaudCode(uint16_t v, int max_speed_index) {
  return v <= 0xFF && (v >> 4) <= max_speed_index && (v & 0x0C) == 0 && (v & 0x03) <= 2;
}

bool ValidBcd(uint16_t v) {
  for (int i = 0; i < 4; ++i)
    if (((v >> (4 * i)) & 0x0F) > 9) return false;
  return true;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

}  // namespace

GatewayModel::GatewayModel() {
  const uint8_t defaults[][4] = {
      {192, 168, 1, 100},  // 55400 IP address
      {192, 168, 1, 1},    // 55402 gateway
      {255, 255, 255, 0},  // 55404 mask
      {192, 168, 1, 10},   // 55406 control IP #1
      {0, 0, 0, 0},        // 55408 control IP #2
      {192, 168, 1, 20},   // 55410 operator IP #1
      {192, 168, 1, 21},   // 55412 operator IP #2
      {0, 0, 0, 0},        // 55414 operator IP #3
      {0, 0, 0, 0},        // 55416 operator IP #4
      {0, 0, 0, 0},        // 55418 reserved
      {0, 0, 0, 1},        // 55420 network number
  };
  for (size_t i = 0; i < 11; ++i) {
    network[2 * i] = Bytes2(defaults[i][0], defaults[i][1]);
    network[2 * i + 1] = Bytes2(defaults[i][2], defaults[i][3]);
  }
  identification = {"VORTELA", "ZELK-64",          "1.3", "", "ZELK-64 M-Bus gateway",
                    "ZELK-64", "gateway simulator"};
}

// ---- validity ----

bool GatewayModel::InputValid(uint16_t a) const {
  return a <= reg::kDeviceMapEnd || InRange(a, reg::kActiveDevices, 32799) ||
         InRange(a, reg::kTunnelStatus, reg::kTunnelEnd) ||
         InRange(a, reg::kRealAddresses, reg::kRealAddresses + 31) ||
         InRange(a, reg::kBitmap, reg::kBitmap + 15) ||
         InRange(a, reg::kCardVersion, reg::kCardVersion + 9) || pinned_input.count(a) != 0 ||
         extra_input.count(a) != 0;
}

bool GatewayModel::HoldingValid(uint16_t a) const {
  return a <= reg::kNetworkFlags || InRange(a, reg::kClock, reg::kClock + 3) ||
         a == reg::kSearchActivate || InRange(a, reg::kModbusAddress, reg::kMbusBaud) ||
         InRange(a, reg::kTunnel, reg::kTunnelEnd) ||
         InRange(a, reg::kSerialNumber, reg::kSerialNumber + 1) ||
         InRange(a, reg::kNetwork, reg::kNetworkEnd) || a == reg::kListenPort ||
         extra_holding.count(a) != 0;
}

// ---- reading ----

int GatewayModel::RecordSize() const { return (card_major != 0 || card_minor > 2) ? 28 : 24; }

uint8_t GatewayModel::MetersOnLine() const {
  return static_cast<uint8_t>(std::min<size_t>(line.meters().size(), 255));
}

std::vector<uint16_t> GatewayModel::DeviceRecord(size_t slot_index) const {
  const int r = RecordSize();
  std::vector<uint16_t> regs(static_cast<size_t>(r), 0);
  if (slot_index >= slots.size()) return regs;
  const Slot& slot = slots[slot_index];
  const Meter* meter = nullptr;
  for (const Meter& m : line.meters())
    if (m.primary_address == slot.primary_address) {
      meter = &m;
      break;
    }
  regs[0] = Bytes2(static_cast<uint8_t>(slot.primary_address), meter ? meter->medium : 0);
  if (meter == nullptr) return regs;  // device flags bit 0 clear: the meter does not answer

  // Main value: the meter's energy, volume or allocator units by its medium.
  const DataRecord* main = nullptr;
  const DataRecord* flow = nullptr;
  for (const DataRecord& rec : meter->records) {
    const uint8_t vif = rec.Vif() & 0x7F;
    const bool current = (rec.Dif() & 0xF0) == 0;  // no storage number, tariff or function
    if (flow == nullptr && current && vif >= 0x38 && vif <= 0x3F) flow = &rec;
    if (main != nullptr || !current) continue;
    if ((EnergyMedium(meter->medium) && vif <= 0x0F) ||
        (VolumeMedium(meter->medium) && vif >= 0x10 && vif <= 0x17) ||
        (meter->medium == 8 && vif == 0x6E))
      main = &rec;
  }
  if (main == nullptr)
    for (const DataRecord& rec : meter->records)
      if ((rec.Dif() & 0x0F) != 0 && (rec.Dif() & 0x0F) != 0x0F && (rec.Dif() & 0x0F) != 0x0D) {
        main = &rec;
        break;
      }
  const uint8_t main_vif = main ? (main->Vif() & 0x7F) : 0;
  uint8_t unit_code = 0;
  double factor = 1.0;
  GeneralUnit(main_vif, &unit_code, &factor);
  const auto value = [&](int64_t raw) {
    return transformed ? Clamp32(static_cast<double>(raw) * factor) : Clamp32(raw);
  };
  const auto put32 = [&](size_t k, int32_t v) {
    regs[k] = static_cast<uint16_t>(static_cast<uint32_t>(v) >> 16);
    regs[k + 1] = static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFF);
  };

  const auto digit = [&](size_t i) { return static_cast<uint8_t>(meter->id[i] - '0') & 0x0F; };
  regs[1] = Bytes2(static_cast<uint8_t>(digit(0) << 4 | digit(1)),
                   static_cast<uint8_t>(digit(2) << 4 | digit(3)));
  regs[2] = Bytes2(static_cast<uint8_t>(digit(4) << 4 | digit(5)),
                   static_cast<uint8_t>(digit(6) << 4 | digit(7)));
  const uint16_t man = meter->ManufacturerCode();
  regs[3] = Bytes2(static_cast<uint8_t>(man & 0xFF), static_cast<uint8_t>(man >> 8));
  regs[4] = Bytes2(main_vif, 0);
  regs[5] = main ? Bytes2(main->Dif(), main->Vif()) : 0;
  regs[6] = unit_code;
  regs[7] = slot.inputs_excluded ? 0 : Bytes2(meter->input1, meter->input2);
  regs[8] = static_cast<uint16_t>(0x01 | (transformed ? 0x20 : 0));
  regs[9] = meter->status;
  put32(10, main ? value(main->IntegerValue()) : 0);
  for (size_t t = 0; t < 4; ++t) put32(12 + 2 * t, value(meter->tariff_values[t]));
  regs[20] = Bytes2(meter->tariff_start[0], meter->tariff_start[1]);
  regs[21] = Bytes2(meter->tariff_start[2], meter->tariff_start[3]);
  regs[22] = Bytes2(meter->tariff_end[0], meter->tariff_end[1]);
  regs[23] = Bytes2(meter->tariff_end[2], meter->tariff_end[3]);
  if (r == 28 && flow != nullptr) put32(24, Clamp32(flow->IntegerValue()));
  return regs;
}

int GatewayModel::ComputedInput(uint16_t a) const {
  if (a <= reg::kDeviceMapEnd) {
    if (a == 0) return 0;
    const size_t r = static_cast<size_t>(RecordSize());
    const size_t slot = (a - 1u) / r;
    if (slot >= slots.size()) return 0;
    return DeviceRecord(slot)[(a - 1u) % r];
  }
  switch (a) {
    case reg::kActiveDevices: return Bytes2(MetersOnLine(), static_cast<uint8_t>(slots.size()));
    case reg::kFlagState: return flags;
    case reg::kWorkingDays: return working_days;
    case reg::kTunnelStatus: {
      if (!tunnel_used) return Bytes2(kTunnelIdle, 0);
      if (now_() < tunnel_ready) return Bytes2(kTunnelBusy, 0);
      if (tunnel_answer.empty()) return Bytes2(kTunnelNoAnswer, 0);
      return Bytes2(kTunnelAnswered,
                    static_cast<uint8_t>(std::min<size_t>(tunnel_answer.size(), 255)));
    }
    case reg::kCardVersion: return Bytes2(card_major, card_minor);
    default: break;
  }
  if (InRange(a, reg::kTunnel, reg::kTunnelEnd)) {
    if (!tunnel_used || now_() < tunnel_ready) return 0;
    return BlockRegister(tunnel_answer, a - reg::kTunnel);
  }
  if (InRange(a, reg::kRealAddresses, reg::kRealAddresses + 31)) {
    const size_t k = 2u * (a - reg::kRealAddresses);
    const auto address = [&](size_t s) {
      return s < slots.size() ? static_cast<uint8_t>(slots[s].primary_address) : uint8_t{0};
    };
    return Bytes2(address(k), address(k + 1));
  }
  if (InRange(a, reg::kBitmap, reg::kBitmap + 15)) {
    // Slot s (from 0) is bit s % 8 of bitmap byte s / 8; byte 2k is the high byte of
    // register k.
    const auto byte = [&](size_t b) {
      uint8_t v = 0;
      for (size_t bit = 0; bit < 8; ++bit)
        if (b * 8 + bit < slots.size()) v = static_cast<uint8_t>(v | 1u << bit);
      return v;
    };
    const size_t k = 2u * (a - reg::kBitmap);
    return Bytes2(byte(k), byte(k + 1));
  }
  const auto extra = extra_input.find(a);
  return extra != extra_input.end() ? extra->second : 0;
}

int GatewayModel::InputRegister(uint16_t a) const {
  if (!InputValid(a)) return -1;
  const auto pin = pinned_input.find(a);
  if (pin != pinned_input.end()) return pin->second;
  return ComputedInput(a);
}

int GatewayModel::HoldingRegister(uint16_t a) const {
  if (!HoldingValid(a)) return -1;
  if (InRange(a, reg::kClock, reg::kClock + 3)) {
    const std::vector<int> t = DeviceTime();
    const size_t k = 2u * (a - reg::kClock);
    const int lo = k + 1 < t.size() ? t[k + 1] : 0;  // the 8th byte is always 0
    return Bytes2(static_cast<uint8_t>(t[k]), static_cast<uint8_t>(lo));
  }
  if (InRange(a, reg::kTunnel, reg::kTunnelEnd)) {
    return BlockRegister(tunnel_request, a - reg::kTunnel);
  }
  if (InRange(a, reg::kNetwork, reg::kNetworkEnd)) return network[a - reg::kNetwork];
  switch (a) {
    case reg::kReadoutPeriod: return readout_period;
    case reg::kTimeBetween: return time_between;
    case reg::kTimeRespond: return time_respond;
    case reg::kMbusFlags: return last_flag_code;
    case reg::kNetworkFlags: return last_network_code;
    case reg::kModbusAddress: return unit;
    case reg::kModbusBaud: return modbus_baud;
    case reg::kMbusBaud: return mbus_baud;
    case reg::kSerialNumber: return serial_number[0];
    case reg::kSerialNumber + 1: return serial_number[1];
    case reg::kListenPort: return listen_port;
    default: break;
  }
  const auto extra = extra_holding.find(a);
  return extra != extra_holding.end() ? extra->second : 0;
}

// ---- writing ----

int GatewayModel::CheckWrite(uint16_t a, const std::vector<uint16_t>& values) const {
  if (values.empty() || a + values.size() - 1 > 0xFFFF) return kIllegalAddress;
  for (size_t i = 0; i < values.size(); ++i)
    if (!HoldingValid(static_cast<uint16_t>(a + i))) return kIllegalAddress;
  const uint16_t last = static_cast<uint16_t>(a + values.size() - 1);
  // The tunnel takes a whole telegram from its first register on.
  if ((InRange(a, reg::kTunnel, reg::kTunnelEnd) || InRange(last, reg::kTunnel, reg::kTunnelEnd)) &&
      a != reg::kTunnel)
    return kIllegalAddress;
  for (size_t i = 0; i < values.size(); ++i) {
    const uint16_t r = static_cast<uint16_t>(a + i);
    const uint16_t v = values[i];
    const uint8_t lo = v & 0xFF;
    switch (r) {
      case reg::kActivate: {
        // The gateway activates only a meter it can reach, and only while a slot is free.
        if (v > 250) return kIllegalValue;
        bool active = false, present = false;
        for (const Slot& s : slots) active = active || s.primary_address == v;
        for (const Meter& m : line.meters()) present = present || m.primary_address == v;
        if (!active && (!present || slots.size() >= kMaxDevices)) return kDeviceFailure;
        break;
      }
      case reg::kDelete:
        if (v > 250 && v != 255) return kIllegalValue;
        break;
      case reg::kExcludeInputs:
        if (v > 250) return kIllegalValue;
        break;
      case reg::kReadoutPeriod:
        if (v == 0) return kIllegalValue;
        break;
      case reg::kTimeBetween:
      case reg::kTimeRespond:
        if (v > 99) return kIllegalValue;
        break;
      case reg::kMbusFlags: {
        const int code = lo & 0x7F;
        if (v > 0xFF || (code != 1 && code != 2 && code != 6 && code != 9 && code != 10))
          return kIllegalValue;
        break;
      }
      case reg::kNetworkFlags: {
        const int code = lo & 0x7F;
        if (v > 0xFF || (code != 1 && code != 17)) return kIllegalValue;
        break;
      }
      case reg::kSearchActivate:
        if (v != 250) return kIllegalValue;
        break;
      case reg::kModbusAddress:
        if (v > 254) return kIllegalValue;
        break;
      case reg::kModbusBaud:
        if (!ValidBaudCode(v, 8)) return kIllegalValue;
        break;
      case reg::kMbusBaud:
        if (!ValidBaudCode(v, 4)) return kIllegalValue;  // the M-Bus port runs at most 9600
        break;
      case reg::kSerialNumber:
      case reg::kSerialNumber + 1:
        if (!ValidBcd(v)) return kIllegalValue;
        break;
      case reg::kListenPort:
        if (v == 0) return kIllegalValue;
        break;
      default: break;
    }
  }
  if (a <= reg::kClock + 3 && last >= reg::kClock) {
    // Merge into the current clock bytes and check the result as a date and time.
    const std::vector<int> t = ClockWithWrite(a, values);
    const int sec = t[0], min = t[1], hour = t[2], day = t[4], month = t[5], year = 2000 + t[6];
    if (sec > 59 || min > 59 || hour > 23 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
      return kIllegalValue;
  }
  return 0;
}

int GatewayModel::Activate(int primary_address) {
  for (const Slot& s : slots)
    if (s.primary_address == primary_address) return 0;  // already active
  bool found = false;
  for (const Meter& m : line.meters()) found = found || m.primary_address == primary_address;
  if (!found || slots.size() >= kMaxDevices) return kDeviceFailure;
  slots.push_back(Slot{primary_address, false});
  return 0;
}

void GatewayModel::Delete(int primary_address) {
  if (primary_address == 255) {
    slots.clear();
    return;
  }
  std::erase_if(slots, [&](const Slot& s) { return s.primary_address == primary_address; });
}

void GatewayModel::SearchAndActivate() {
  // Reads every primary address on its line; a meter that answers alone is activated.
  std::vector<int> addresses;
  for (const Meter& m : line.meters()) addresses.push_back(m.primary_address);
  std::sort(addresses.begin(), addresses.end());
  for (size_t i = 0; i < addresses.size(); ++i) {
    const bool shared = (i > 0 && addresses[i - 1] == addresses[i]) ||
                        (i + 1 < addresses.size() && addresses[i + 1] == addresses[i]);
    if (!shared) Activate(addresses[i]);
  }
}

void GatewayModel::TunnelWrite(const std::string& bytes) {
  tunnel_request = bytes;
  const size_t n = MbusFrameLength(bytes);
  const std::string telegram = n > 0 ? bytes.substr(0, n) : bytes;
  tunnel_answer = line.Transact(telegram);
  tunnel_used = true;
  tunnel_ready = now_() + line_time;
  tunnel_log.push_back(TunnelExchange{telegram, tunnel_answer});
  if (tunnel_log.size() > 1000) tunnel_log.erase(tunnel_log.begin());
}

void GatewayModel::ApplyWrite(uint16_t r, uint16_t v) {
  const uint8_t lo = v & 0xFF;
  switch (r) {
    case reg::kActivate: Activate(lo); return;
    case reg::kDelete: Delete(lo); return;
    case reg::kExcludeInputs:
      for (Slot& s : slots)
        if (s.primary_address == lo) s.inputs_excluded = true;
      return;
    case reg::kReadoutPeriod: readout_period = v; return;
    case reg::kTimeBetween: time_between = v; return;
    case reg::kTimeRespond: time_respond = v; return;
    case reg::kMbusFlags: {
      // Function code in bits 0..6, the new state in bit 7.
      last_flag_code = lo;
      const bool on = (lo & 0x80) != 0;
      switch (lo & 0x7F) {
        case 1: flags = static_cast<uint8_t>(on ? flags | 0x01 : flags & ~0x01); break;
        case 2: flags = static_cast<uint8_t>(on ? flags | 0x02 : flags & ~0x02); break;
        case 6: transformed = on; break;
        case 9: mbus_started = on; break;
        case 10: sort = on; break;
      }
      return;
    }
    case reg::kNetworkFlags:
      last_network_code = lo;
      if ((lo & 0x7F) == 1) dhcp = (lo & 0x80) != 0;
      return;
    case reg::kSearchActivate: SearchAndActivate(); return;
    case reg::kModbusAddress:
      unit = lo;  // answers from the next request on come from the new address
      return;
    case reg::kModbusBaud: modbus_baud = v; return;
    case reg::kMbusBaud: mbus_baud = v; return;
    case reg::kSerialNumber:
    case reg::kSerialNumber + 1: serial_number[r - reg::kSerialNumber] = v; return;
    case reg::kListenPort: listen_port = v; return;
    default: break;
  }
  if (InRange(r, reg::kNetwork, reg::kNetworkEnd)) {
    network[r - reg::kNetwork] = v;
  } else if (extra_holding.count(r) != 0) {
    extra_holding[r] = v;
  }
}

int GatewayModel::WriteHolding(uint16_t a, const std::vector<uint16_t>& values) {
  const int exception = CheckWrite(a, values);
  if (exception != 0) return exception;
  const uint16_t last = static_cast<uint16_t>(a + values.size() - 1);
  if (a == reg::kTunnel) {
    std::string bytes;
    for (uint16_t v : values) PutWord(&bytes, v);
    TunnelWrite(bytes);
    return 0;
  }
  if (a <= reg::kClock + 3 && last >= reg::kClock) {
    const std::vector<int> t = ClockWithWrite(a, values);
    SetDeviceTime(2000 + t[6], t[5], t[4], t[2], t[1], t[0]);
  }
  for (size_t i = 0; i < values.size(); ++i) {
    const uint16_t r = static_cast<uint16_t>(a + i);
    if (r < reg::kClock || r > reg::kClock + 3) ApplyWrite(r, values[i]);
  }
  return 0;
}

// ---- clock ----

int64_t GatewayModel::LocalWallSeconds() const {
  const std::time_t t = std::chrono::system_clock::to_time_t(now_());
  std::tm local{};
  localtime_r(&t, &local);
  return static_cast<int64_t>(timegm(&local));
}

// The clock's eight bytes (seconds first, as the registers hold them) with a write of `values` at
// register `a` merged in.
std::vector<int> GatewayModel::ClockWithWrite(uint16_t a,
                                              const std::vector<uint16_t>& values) const {
  std::vector<int> t = DeviceTime();
  t.push_back(0);
  for (size_t i = 0; i < values.size(); ++i) {
    const int r = a + static_cast<int>(i);
    if (r < reg::kClock || r > reg::kClock + 3) continue;
    const size_t k = 2u * static_cast<size_t>(r - reg::kClock);
    t[k] = values[i] >> 8;
    t[k + 1] = values[i] & 0xFF;
  }
  return t;
}

std::vector<int> GatewayModel::DeviceTime() const {
  const std::time_t wall = static_cast<std::time_t>(LocalWallSeconds() + clock_offset_s);
  std::tm tm{};
  gmtime_r(&wall, &tm);
  const int dow = tm.tm_wday == 0 ? 7 : tm.tm_wday;  // 1 = Monday .. 7 = Sunday
  const int year = tm.tm_year + 1900;
  return {tm.tm_sec,
          tm.tm_min,
          tm.tm_hour,
          dow,
          tm.tm_mday,
          tm.tm_mon + 1,
          year > 2000 ? year - 2000 : year & 0xFF};
}

void GatewayModel::SetDeviceTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  clock_offset_s = static_cast<int64_t>(timegm(&tm)) - LocalWallSeconds();
}

// ---- device identification ----

std::string GatewayModel::IdentificationPdu(uint8_t code, uint8_t object, int* exception) const {
  *exception = 0;
  if (code < 1 || code > 4) {
    *exception = kIllegalValue;
    return {};
  }
  const auto present = [&](size_t id) {
    return id < identification.size() && !identification[id].empty();
  };
  std::vector<size_t> ids;
  if (code == 4) {
    if (!present(object)) {
      *exception = kIllegalAddress;
      return {};
    }
    ids.push_back(object);
  } else {
    // Stream access: basic objects 0..2 for code 1, regular ones up to 0x7F for codes 2 and 3;
    // an unknown start object restarts at 0.
    const size_t last = code == 1 ? 2 : std::min<size_t>(identification.size(), 0x80) - 1;
    size_t first = object;
    if (first > last || !present(first)) first = 0;
    for (size_t id = first; id <= last && id < identification.size(); ++id)
      if (present(id)) ids.push_back(id);
  }
  std::string pdu = {'\x2B', '\x0E', static_cast<char>(code), '\x82', '\0', '\0', '\0'};
  uint8_t count = 0;
  for (size_t id : ids) {
    const std::string& text = identification[id];
    const size_t len = std::min<size_t>(text.size(), 240);
    if (pdu.size() + 2 + len > 253) {  // the rest follows in the next request
      pdu[4] = '\xFF';
      pdu[5] = static_cast<char>(id);
      break;
    }
    pdu.push_back(static_cast<char>(id));
    pdu.push_back(static_cast<char>(len));
    pdu += text.substr(0, len);
    ++count;
  }
  pdu[6] = static_cast<char>(count);
  return pdu;
}

// ---- one request ----

ModelAnswer GatewayModel::Handle(std::string_view pdu) {
  ModelAnswer answer;
  if (pdu.empty()) {
    answer.none = true;
    return answer;
  }
  const auto function = static_cast<uint8_t>(pdu[0]);
  const auto fail = [&](int code) {
    answer.exception = code;
    answer.read = false;
    answer.pdu = {static_cast<char>(function | 0x80), static_cast<char>(code)};
    return answer;
  };
  switch (function) {
    case 0x03:
    case 0x04: {
      if (pdu.size() != 5) return fail(kIllegalValue);
      const uint16_t a = Word(pdu, 1), count = Word(pdu, 3);
      if (count < 1 || count > 125) return fail(kIllegalValue);
      if (a + count - 1 > 0xFFFF) return fail(kIllegalAddress);
      const bool input = function == 0x04;
      answer.read = true;
      answer.input = input;
      answer.address = a;
      answer.pdu = {static_cast<char>(function), static_cast<char>(2 * count)};
      // Device-map records are computed once per record, not once per register.
      std::map<size_t, std::vector<uint16_t>> records;
      for (uint16_t i = 0; i < count; ++i) {
        const uint16_t r = static_cast<uint16_t>(a + i);
        int v;
        if (input && r >= 1 && r <= reg::kDeviceMapEnd && pinned_input.count(r) == 0) {
          const size_t size = static_cast<size_t>(RecordSize());
          const size_t slot = (r - 1u) / size;
          if (slot < slots.size()) {
            auto it = records.find(slot);
            if (it == records.end()) it = records.emplace(slot, DeviceRecord(slot)).first;
            v = it->second[(r - 1u) % size];
          } else {
            v = 0;
          }
        } else {
          v = input ? InputRegister(r) : HoldingRegister(r);
        }
        if (v < 0) return fail(kIllegalAddress);
        answer.registers.push_back(static_cast<uint16_t>(v));
        PutWord(&answer.pdu, static_cast<uint16_t>(v));
      }
      return answer;
    }
    case 0x06: {
      if (pdu.size() != 5) return fail(kIllegalValue);
      const uint16_t a = Word(pdu, 1);
      answer.address = a;
      const std::vector<uint16_t> values = {Word(pdu, 3)};
      answer.registers = values;
      if (const int e = WriteHolding(a, values)) return fail(e);
      answer.pdu = std::string(pdu);
      return answer;
    }
    case 0x10: {
      if (pdu.size() < 6) return fail(kIllegalValue);
      const uint16_t a = Word(pdu, 1), count = Word(pdu, 3);
      const size_t bytes = static_cast<uint8_t>(pdu[5]);
      if (count < 1 || count > 123 || bytes != 2u * count || pdu.size() != 6 + bytes)
        return fail(kIllegalValue);
      answer.address = a;
      for (size_t i = 0; i < count; ++i) answer.registers.push_back(Word(pdu, 6 + 2 * i));
      if (const int e = WriteHolding(a, answer.registers)) return fail(e);
      answer.pdu = std::string(pdu.substr(0, 5));
      return answer;
    }
    case 0x2B: {
      if (pdu.size() < 2 || static_cast<uint8_t>(pdu[1]) != 0x0E) return fail(kIllegalFunction);
      if (pdu.size() != 4) return fail(kIllegalValue);
      int e = 0;
      answer.pdu =
          IdentificationPdu(static_cast<uint8_t>(pdu[2]), static_cast<uint8_t>(pdu[3]), &e);
      if (e != 0) return fail(e);
      return answer;
    }
    default: return fail(kIllegalFunction);
  }
}

}  // namespace orvio::sim
