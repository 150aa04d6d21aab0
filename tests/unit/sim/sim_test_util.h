// Clients for the simulator tests: raw byte clients over TCP and the pseudo-terminal (to see
// exactly what goes on the wire), libmodbus clients, and frame builders with their own CRC.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace orvio::sim::test {

using namespace std::chrono_literals;

inline std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

inline std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

// CRC-16/MODBUS, bitwise from its definition (polynomial 0xA001 reflected, start 0xFFFF).
inline uint16_t Crc(const std::string& bytes) {
  uint16_t crc = 0xFFFF;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

inline std::string WithCrc(std::string frame) {
  const uint16_t crc = Crc(frame);
  frame.push_back(static_cast<char>(crc & 0xFF));
  frame.push_back(static_cast<char>(crc >> 8));
  return frame;
}

inline std::string Mbap(uint16_t tid, const std::string& unit_and_pdu) {
  std::string f;
  f.push_back(static_cast<char>(tid >> 8));
  f.push_back(static_cast<char>(tid & 0xFF));
  f += Bytes({0, 0});
  f.push_back(static_cast<char>(unit_and_pdu.size() >> 8));
  f.push_back(static_cast<char>(unit_and_pdu.size() & 0xFF));
  return f + unit_and_pdu;
}

// unit, 0x04/0x03, address, count
inline std::string ReadPdu(int unit, int function, int address, int count) {
  return Bytes({unit, function, address >> 8, address & 0xFF, count >> 8, count & 0xFF});
}

// Reads whatever arrives on fd until `want` bytes are there or `timeout` passed.
inline std::string ReadFor(int fd, size_t want, std::chrono::milliseconds timeout,
                           int* reads = nullptr) {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (got.size() < want) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[512];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
    if (reads) ++*reads;
  }
  return got;
}

// True when the peer closed the connection within `timeout`.
inline bool ClosedWithin(int fd, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buf[64];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return true;
  }
  return false;
}

class RawTcp {
 public:
  explicit RawTcp(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(fd_);
      fd_ = -1;
    }
    const int one = 1;
    if (fd_ >= 0) setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~RawTcp() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  bool Send(const std::string& bytes) const {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  std::string Read(size_t want, std::chrono::milliseconds timeout = 3000ms,
                   int* reads = nullptr) const {
    return ReadFor(fd_, want, timeout, reads);
  }

 private:
  int fd_ = -1;
};

class RawRtu {
 public:
  explicit RawRtu(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) return;
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    tcsetattr(fd_, TCSANOW, &t);
    tcflush(fd_, TCIOFLUSH);
  }
  ~RawRtu() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  bool Send(const std::string& bytes) const {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  std::string Read(size_t want, std::chrono::milliseconds timeout = 3000ms) const {
    return ReadFor(fd_, want, timeout);
  }

 private:
  int fd_ = -1;
};

// A libmodbus master (independent of the simulator's own framing).
class Client {
 public:
  static Client Tcp(int port) { return Client(modbus_new_tcp("127.0.0.1", port)); }
  static Client Rtu(const std::string& path) {
    return Client(modbus_new_rtu(path.c_str(), 9600, 'N', 8, 1));
  }
  Client(Client&& other) noexcept : ctx_(other.ctx_), connected_(other.connected_) {
    other.ctx_ = nullptr;
  }
  ~Client() {
    if (ctx_ == nullptr) return;
    if (connected_) modbus_close(ctx_);
    modbus_free(ctx_);
  }
  bool ok() const { return connected_; }
  modbus_t* ctx() const { return ctx_; }
  void Unit(int unit) { modbus_set_slave(ctx_, unit); }
  // Values read, or an empty vector on failure (errno tells why).
  std::vector<uint16_t> ReadInput(int address, int count) const {
    std::vector<uint16_t> v(static_cast<size_t>(count));
    if (modbus_read_input_registers(ctx_, address, count, v.data()) != count) return {};
    return v;
  }
  std::vector<uint16_t> ReadHolding(int address, int count) const {
    std::vector<uint16_t> v(static_cast<size_t>(count));
    if (modbus_read_registers(ctx_, address, count, v.data()) != count) return {};
    return v;
  }
  bool Write(int address, uint16_t value) const {
    return modbus_write_register(ctx_, address, value) == 1;
  }
  bool WriteBlock(int address, const std::vector<uint16_t>& values) const {
    return modbus_write_registers(ctx_, address, static_cast<int>(values.size()), values.data()) ==
           static_cast<int>(values.size());
  }

 private:
  explicit Client(modbus_t* ctx) : ctx_(ctx) {
    if (ctx_ == nullptr) return;
    modbus_set_slave(ctx_, 1);
    modbus_set_response_timeout(ctx_, 3, 0);
    connected_ = modbus_connect(ctx_) == 0;
  }
  modbus_t* ctx_ = nullptr;
  bool connected_ = false;
};

// Registers to bytes, high byte first.
inline std::string RegisterBytes(const std::vector<uint16_t>& regs) {
  std::string out;
  for (uint16_t r : regs) {
    out.push_back(static_cast<char>(r >> 8));
    out.push_back(static_cast<char>(r & 0xFF));
  }
  return out;
}

inline std::vector<uint16_t> TelegramRegisters(const std::string& telegram) {
  std::vector<uint16_t> regs;
  for (size_t i = 0; i < telegram.size(); i += 2) {
    const auto hi = static_cast<uint8_t>(telegram[i]);
    const auto lo = i + 1 < telegram.size() ? static_cast<uint8_t>(telegram[i + 1]) : uint8_t{0};
    regs.push_back(static_cast<uint16_t>(hi << 8 | lo));
  }
  return regs;
}

// An M-Bus long frame that passes the link-layer checks: 68 L L 68, L bytes, checksum, 16.
inline bool ValidLongFrame(const std::string& t) {
  if (t.size() < 9 || static_cast<uint8_t>(t[0]) != 0x68 || static_cast<uint8_t>(t[3]) != 0x68 ||
      t[1] != t[2])
    return false;
  const size_t l = static_cast<uint8_t>(t[1]);
  if (t.size() != l + 6 || static_cast<uint8_t>(t.back()) != 0x16) return false;
  unsigned sum = 0;
  for (size_t i = 4; i < 4 + l; ++i) sum += static_cast<uint8_t>(t[i]);
  return static_cast<uint8_t>(sum) == static_cast<uint8_t>(t[4 + l]);
}

inline std::string ShortFrame(int c, int a) { return Bytes({0x10, c, a, (c + a) & 0xFF, 0x16}); }

// SND_UD long frame to address a with CI and data.
inline std::string LongFrame(int c, int a, int ci, const std::string& data) {
  std::string body = Bytes({c, a, ci}) + data;
  unsigned sum = 0;
  for (unsigned char ch : body) sum += ch;
  return Bytes({0x68, static_cast<int>(body.size()), static_cast<int>(body.size()), 0x68}) + body +
         Bytes({static_cast<int>(sum & 0xFF), 0x16});
}

}  // namespace orvio::sim::test
