#include "sim/gateway_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <list>
#include <mutex>
#include <sstream>
#include <thread>

#include "sim/framing.h"
#include "sim/gateway_model.h"
#include "sim/scenario.h"

namespace orvio::sim {
namespace {

constexpr int kMaxConnections = 32;
constexpr int kRtuSilenceMs = 50;  // a pause this long ends an RTU frame of unknown length
// A frame of known length that stops arriving for this long is dropped. Far beyond 3.5
// characters: masters that write byte by byte from a busy event loop must not lose frames.
constexpr int kRtuStallMs = 500;
constexpr size_t kLogLimit = 100000;

bool Matches(const Fault& f, uint8_t function, uint16_t address) {
  return (f.function < 0 || f.function == function) && (f.address < 0 || f.address == address);
}

bool HasAnswerFault(const Fault& f) {
  return f.bad_crc || f.leading_zero || f.trailing_filler || f.exception > 0 || f.other_unit >= 0 ||
         f.split_parts > 1;
}

}  // namespace

std::string SentAnswer::Bytes() const {
  std::string all;
  for (const std::string& p : pieces) all += p;
  return all;
}

// What one request makes the server do, decided under the model lock and carried out
// outside it.
struct Outgoing {
  bool answer = false;     // something to send (or a connection to drop)
  bool libmodbus = false;  // an ordinary answer: libmodbus builds and sends it
  ModelAnswer model;
  std::vector<std::string> pieces;  // otherwise these raw pieces
  std::string wire;                 // the answer frame as it goes out
  int delay_ms = 0;
  int split_delay_ms = 0;
  bool drop = false;
  bool silent = false;  // a fault swallowed the answer
};

struct GatewaySim::Impl {
  mutable std::mutex mu;
  mutable std::condition_variable changed;
  GatewayModel model = DemoModel();
  std::list<Fault> faults;
  // Bounded logs: the oldest entries go first (a long benchmark run must not slow down).
  std::deque<LoggedRequest> requests;
  std::deque<SentAnswer> answers;
  size_t malformed = 0;
  int accepted = 0;

  // Serving. The wake pipe becomes readable when everything is to stop.
  std::mutex serve_mu;
  int wake[2] = {-1, -1};
  int listen_fd = -1;
  int tcp_port = -1;
  std::thread accept_thread;
  struct Connection {
    std::thread thread;
    int fd = -1;
    std::atomic<bool> done{false};
  };
  std::mutex conn_mu;
  std::list<Connection> connections;
  int rtu_fd = -1;     // pty master or serial device
  int pty_slave = -1;  // kept open so that the master never sees a hang-up
  std::string rtu_path;
  std::thread rtu_thread;

  Impl() { OpenWake(); }

  void OpenWake() {
    if (pipe2(wake, O_CLOEXEC) != 0) wake[0] = wake[1] = -1;
  }

  // Sleeps up to ms; false when told to stop meanwhile.
  bool Pause(int ms) const {
    if (ms <= 0) return true;
    pollfd p{wake[0], POLLIN, 0};
    return poll(&p, 1, ms) == 0;
  }

  void Log(LoggedRequest entry) {
    if (requests.size() >= kLogLimit) requests.pop_front();
    requests.push_back(std::move(entry));
    changed.notify_all();
  }

  Outgoing Process(Transport transport, const std::string& frame) {
    Outgoing out;
    uint8_t unit = 0;
    std::string pdu;
    std::lock_guard lock(mu);
    if (!SplitRequest(transport, frame, &unit, &pdu)) {
      ++malformed;
      return out;
    }
    LoggedRequest entry;
    entry.transport = transport;
    entry.unit = unit;
    entry.function = static_cast<uint8_t>(pdu[0]);
    entry.frame = frame;
    if (pdu.size() >= 5 && (entry.function == 0x03 || entry.function == 0x04 ||
                            entry.function == 0x06 || entry.function == 0x10)) {
      entry.address =
          static_cast<uint16_t>(static_cast<uint8_t>(pdu[1]) << 8 | static_cast<uint8_t>(pdu[2]));
      entry.count = entry.function == 0x06
                        ? 1
                        : static_cast<uint16_t>(static_cast<uint8_t>(pdu[3]) << 8 |
                                                static_cast<uint8_t>(pdu[4]));
    }
    // Over RTU unit 0 is a broadcast: acted on, never answered. Over TCP the connection itself
    // addresses the gateway, so 0 and 0xFF reach it as well as its own address.
    const bool tcp = transport == Transport::kTcp;
    const bool broadcast = !tcp && unit == 0 && model.unit != 0;
    entry.for_us = unit == model.unit || broadcast || (tcp && (unit == 0 || unit == 0xFF));
    if (!entry.for_us) {
      Log(std::move(entry));
      return out;
    }
    out.model = model.Handle(pdu);
    entry.exception = out.model.exception;
    if (entry.function == 0x06 || entry.function == 0x10) entry.values = out.model.registers;
    const uint16_t address = entry.address;
    Log(std::move(entry));
    if (broadcast || out.model.none) return out;

    out.answer = true;
    const Fault* fault = nullptr;
    Fault applied;
    for (auto it = faults.begin(); it != faults.end(); ++it) {
      if (!Matches(*it, static_cast<uint8_t>(pdu[0]), address)) continue;
      applied = *it;
      fault = &applied;
      if (it->count > 0 && --it->count == 0) faults.erase(it);
      break;
    }
    if (fault != nullptr) {
      out.delay_ms = fault->delay_ms;
      out.split_delay_ms = fault->split_delay_ms;
      out.silent = fault->silent || (fault->drop_connection && transport == Transport::kRtu);
      out.drop = fault->drop_connection && transport == Transport::kTcp;
    }
    out.wire = AnswerFrame(transport, frame, unit, out.model.pdu, fault);
    const bool plain = fault == nullptr || !HasAnswerFault(*fault);
    const int function = static_cast<uint8_t>(pdu[0]);
    out.libmodbus = plain && function != 0x2B &&
                    (out.model.exception == 0 || out.model.exception < MODBUS_EXCEPTION_MAX);
    if (!out.libmodbus) out.pieces = SplitPieces(out.wire, fault ? fault->split_parts : 0);
    return out;
  }

  void Record(Transport transport, const Outgoing& out, bool sent) {
    SentAnswer a;
    a.transport = transport;
    a.dropped = out.drop;
    if (sent && !out.drop && !out.silent) {
      if (out.libmodbus)
        a.pieces.push_back(out.wire);
      else
        a.pieces = out.pieces;
    }
    std::lock_guard lock(mu);
    if (answers.size() >= kLogLimit) answers.pop_front();
    answers.push_back(std::move(a));
    changed.notify_all();
  }

  static bool WriteAll(Transport transport, int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = transport == Transport::kTcp
                            ? send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                            : write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  // Carries out one answer; false when the connection is to be closed.
  bool Send(Transport transport, int fd, modbus_t* ctx, const std::string& frame, Outgoing& out) {
    if (!out.answer) return true;
    if (!Pause(out.delay_ms)) return false;
    if (out.drop || out.silent) {
      Record(transport, out, false);
      return !out.drop;
    }
    bool ok = true;
    if (out.libmodbus) {
      const auto* req = reinterpret_cast<const uint8_t*>(frame.data());
      const int length = static_cast<int>(frame.size());
      if (out.model.exception != 0) {
        ok = modbus_reply_exception(ctx, req, static_cast<unsigned>(out.model.exception)) >= 0;
      } else {
        // A mapping over exactly the registers of this request, filled from the model.
        modbus_mapping_t map{};
        std::vector<uint16_t> regs = out.model.registers;
        if (regs.empty()) regs.push_back(0);
        if (out.model.read && out.model.input) {
          map.start_input_registers = out.model.address;
          map.nb_input_registers = static_cast<int>(out.model.registers.size());
          map.tab_input_registers = regs.data();
        } else {
          map.start_registers = out.model.address;
          map.nb_registers = static_cast<int>(out.model.registers.size());
          map.tab_registers = regs.data();
        }
        ok = modbus_reply(ctx, req, length, &map) >= 0;
      }
    } else {
      for (size_t i = 0; i < out.pieces.size() && ok; ++i) {
        if (i > 0 && !Pause(out.split_delay_ms)) return false;
        ok = WriteAll(transport, fd, out.pieces[i]);
      }
    }
    Record(transport, out, ok);
    return ok || transport == Transport::kRtu;
  }

  // ---- TCP ----

  void ServeTcp(Connection* conn) {
    const int fd = conn->fd;
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", 502);
    if (ctx != nullptr) modbus_set_socket(ctx, fd);
    std::string buffer;
    char chunk[4096];
    while (ctx != nullptr) {
      pollfd p[2] = {{fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
      if (poll(p, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (p[1].revents != 0) break;
      const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // closed by the client, possibly in the middle of a frame
      buffer.append(chunk, static_cast<size_t>(n));
      bool keep = true;
      while (keep) {
        const long length = TcpRequestLength(buffer);
        if (length == kNeedMore) break;
        if (length < 0) {  // no MBAP header: the stream cannot be resynchronised
          std::lock_guard lock(mu);
          ++malformed;
          keep = false;
          break;
        }
        const std::string frame = buffer.substr(0, static_cast<size_t>(length));
        buffer.erase(0, static_cast<size_t>(length));
        Outgoing out = Process(Transport::kTcp, frame);
        keep = Send(Transport::kTcp, fd, ctx, frame, out);
      }
      if (!keep) break;
    }
    if (ctx != nullptr) modbus_free(ctx);  // the socket is closed below, not by libmodbus
    {
      std::lock_guard lock(conn_mu);
      shutdown(fd, SHUT_RDWR);
      close(fd);
      conn->fd = -1;
    }
    conn->done = true;
  }

  void AcceptLoop(modbus_t* listen_ctx) {
    while (true) {
      pollfd p[2] = {{listen_fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
      if (poll(p, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (p[1].revents != 0) break;
      int server = listen_fd;
      const int fd = modbus_tcp_accept(listen_ctx, &server);
      if (fd < 0) continue;
      fcntl(fd, F_SETFD, FD_CLOEXEC);
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      std::lock_guard lock(conn_mu);
      // Reap finished connections; refuse beyond the limit.
      for (auto it = connections.begin(); it != connections.end();) {
        if (it->done) {
          it->thread.join();
          it = connections.erase(it);
        } else {
          ++it;
        }
      }
      {
        std::lock_guard model_lock(mu);
        ++accepted;
        changed.notify_all();
      }
      if (connections.size() >= kMaxConnections) {
        close(fd);
        continue;
      }
      Connection& conn = connections.emplace_back();
      conn.fd = fd;
      conn.thread = std::thread([this, &conn] { ServeTcp(&conn); });
    }
    modbus_free(listen_ctx);
  }

  int StartTcp(int port) {
    std::lock_guard lock(serve_mu);
    if (listen_fd >= 0) return tcp_port;
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
    if (ctx == nullptr) return -1;
    const int fd = modbus_tcp_listen(ctx, 16);
    if (fd < 0) {
      modbus_free(ctx);
      return -1;
    }
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    listen_fd = fd;
    tcp_port = ntohs(address.sin_port);
    accept_thread = std::thread([this, ctx] { AcceptLoop(ctx); });
    return tcp_port;
  }

  // ---- RTU ----

  void ServeRtu(modbus_t* ctx) {
    const int fd = rtu_fd;
    std::string buffer;
    char chunk[512];
    while (true) {
      pollfd p[2] = {{fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
      const int wait = buffer.empty()                              ? -1
                       : RtuRequestLength(buffer) == kUntilSilence ? kRtuSilenceMs
                                                                   : kRtuStallMs;
      const int ready = poll(p, 2, wait);
      if (ready < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (p[1].revents != 0) break;
      if (ready == 0) {
        // The line fell silent: a frame of unknown length ends here; an incomplete one is
        // dropped.
        const long length = RtuRequestLength(buffer);
        const bool whole = length == kUntilSilence && buffer.size() >= 4 &&
                           ModbusCrc(std::string_view(buffer).substr(0, buffer.size() - 2)) ==
                               (static_cast<uint8_t>(buffer[buffer.size() - 2]) |
                                static_cast<uint8_t>(buffer[buffer.size() - 1]) << 8);
        if (whole) {
          Outgoing out = Process(Transport::kRtu, buffer);
          Send(Transport::kRtu, fd, ctx, buffer, out);
        } else {
          std::lock_guard lock(mu);
          ++malformed;
        }
        buffer.clear();
        continue;
      }
      if ((p[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = read(fd, chunk, sizeof chunk);
      if (n <= 0) {
        // No client on the terminal (or a transient error): wait and look again.
        if (!Pause(20)) break;
        continue;
      }
      buffer.append(chunk, static_cast<size_t>(n));
      while (!buffer.empty()) {
        const long length = RtuRequestLength(buffer);
        if (length == kNeedMore || length == kUntilSilence) break;
        if (length == kInvalid) {
          std::lock_guard lock(mu);
          ++malformed;
          buffer.clear();
          break;
        }
        const std::string frame = buffer.substr(0, static_cast<size_t>(length));
        const uint16_t crc = ModbusCrc(std::string_view(frame).substr(0, frame.size() - 2));
        if ((static_cast<uint8_t>(frame[frame.size() - 2]) | static_cast<uint8_t>(frame.back())
                                                                 << 8) != crc) {
          // A damaged frame: drop what has arrived and wait for the next one.
          std::lock_guard lock(mu);
          ++malformed;
          buffer.clear();
          break;
        }
        buffer.erase(0, static_cast<size_t>(length));
        Outgoing out = Process(Transport::kRtu, frame);
        Send(Transport::kRtu, fd, ctx, frame, out);
      }
    }
    modbus_free(ctx);
  }

  bool StartRtuOn(int fd, const std::string& path) {
    // libmodbus only builds the answers here (CRC, unit address); it never opens the line.
    modbus_t* ctx = modbus_new_rtu(path.c_str(), 9600, 'N', 8, 1);
    if (ctx == nullptr) return false;
    modbus_set_socket(ctx, fd);
    rtu_fd = fd;
    rtu_path = path;
    rtu_thread = std::thread([this, ctx] { ServeRtu(ctx); });
    return true;
  }

  std::string StartRtu() {
    std::lock_guard lock(serve_mu);
    if (rtu_fd >= 0) return rtu_path;
    int master = -1, slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) return {};
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    pty_slave = slave;
    if (!StartRtuOn(master, name)) {
      close(master);
      close(slave);
      pty_slave = -1;
      return {};
    }
    return rtu_path;
  }

  bool StartRtuOnDevice(const std::string& path, int baud, char parity) {
    std::lock_guard lock(serve_mu);
    if (rtu_fd >= 0) return false;
    modbus_t* opener = modbus_new_rtu(path.c_str(), baud, parity, 8, 1);
    if (opener == nullptr) return false;
    if (modbus_connect(opener) != 0) {
      modbus_free(opener);
      return false;
    }
    // libmodbus set up the line; the descriptor is served like the pseudo-terminal.
    const int fd = dup(modbus_get_socket(opener));
    modbus_close(opener);
    modbus_free(opener);
    if (fd < 0) return false;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (!StartRtuOn(fd, path)) {
      close(fd);
      return false;
    }
    return true;
  }

  void Stop() {
    std::lock_guard lock(serve_mu);
    if (wake[1] >= 0) {
      const char byte = 1;
      (void)!write(wake[1], &byte, 1);
    }
    if (accept_thread.joinable()) accept_thread.join();
    {
      std::unique_lock conn_lock(conn_mu);
      for (Connection& c : connections)
        if (c.fd >= 0) shutdown(c.fd, SHUT_RDWR);
    }
    for (Connection& c : connections)
      if (c.thread.joinable()) c.thread.join();
    connections.clear();
    if (listen_fd >= 0) close(listen_fd);
    listen_fd = -1;
    tcp_port = -1;
    if (rtu_thread.joinable()) rtu_thread.join();
    if (rtu_fd >= 0) close(rtu_fd);
    if (pty_slave >= 0) close(pty_slave);
    rtu_fd = pty_slave = -1;
    rtu_path.clear();
    // A fresh wake pipe, so that the simulator can be started again.
    for (int& fd : wake)
      if (fd >= 0) close(fd);
    OpenWake();
  }

  template <typename Predicate>
  bool WaitFor(std::chrono::milliseconds timeout, Predicate done) const {
    std::unique_lock lock(mu);
    return changed.wait_for(lock, timeout, done);
  }
};

// ---- GatewaySim ----

GatewaySim::GatewaySim() : impl_(std::make_unique<Impl>()) {}

GatewaySim::~GatewaySim() {
  impl_->Stop();
  for (int fd : impl_->wake)
    if (fd >= 0) close(fd);
}

int GatewaySim::StartTcp(int port) { return impl_->StartTcp(port); }
int GatewaySim::TcpPort() const {
  std::lock_guard lock(impl_->serve_mu);
  return impl_->tcp_port;
}
std::string GatewaySim::StartRtu() { return impl_->StartRtu(); }
bool GatewaySim::StartRtuOnDevice(const std::string& path, int baud, char parity) {
  return impl_->StartRtuOnDevice(path, baud, parity);
}
std::string GatewaySim::RtuPath() const {
  std::lock_guard lock(impl_->serve_mu);
  return impl_->rtu_path;
}
void GatewaySim::Stop() { impl_->Stop(); }
int GatewaySim::TcpConnectionsAccepted() const {
  std::lock_guard lock(impl_->mu);
  return impl_->accepted;
}

std::string GatewaySim::LoadScenarioText(const std::string& json) {
  GatewayModel next = DemoModel();
  {
    std::lock_guard lock(impl_->mu);
    next.now_ = impl_->model.now_;
  }
  const std::string error = ApplyScenario(json, "", &next);
  if (!error.empty()) return error;
  std::lock_guard lock(impl_->mu);
  impl_->model = std::move(next);
  return {};
}

std::string GatewaySim::LoadScenarioFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return "cannot read scenario file " + path;
  std::stringstream text;
  text << in.rdbuf();
  const size_t slash = path.find_last_of('/');
  GatewayModel next = DemoModel();
  {
    std::lock_guard lock(impl_->mu);
    next.now_ = impl_->model.now_;
  }
  const std::string error =
      ApplyScenario(text.str(), slash == std::string::npos ? "." : path.substr(0, slash), &next);
  if (!error.empty()) return path + ": " + error;
  std::lock_guard lock(impl_->mu);
  impl_->model = std::move(next);
  return {};
}

void GatewaySim::ResetToDefault() {
  GatewayModel next = DemoModel();
  std::lock_guard lock(impl_->mu);
  next.now_ = impl_->model.now_;
  impl_->model = std::move(next);
}

int GatewaySim::InputRegister(uint16_t address) const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.InputRegister(address);
}
int GatewaySim::HoldingRegister(uint16_t address) const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.HoldingRegister(address);
}
void GatewaySim::SetInputRegister(uint16_t address, int value) {
  std::lock_guard lock(impl_->mu);
  if (value < 0)
    impl_->model.pinned_input.erase(address);
  else
    impl_->model.pinned_input[address] = static_cast<uint16_t>(value);
}
int GatewaySim::SetHoldingRegister(uint16_t address, uint16_t value) {
  std::lock_guard lock(impl_->mu);
  return impl_->model.WriteHolding(address, {value});
}

uint8_t GatewaySim::UnitAddress() const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.unit;
}
void GatewaySim::SetUnitAddress(uint8_t unit) {
  std::lock_guard lock(impl_->mu);
  impl_->model.unit = unit;
}
void GatewaySim::SetCardVersion(uint8_t major, uint8_t minor) {
  std::lock_guard lock(impl_->mu);
  impl_->model.card_major = major;
  impl_->model.card_minor = minor;
}
void GatewaySim::SetWorkingDays(uint8_t days) {
  std::lock_guard lock(impl_->mu);
  impl_->model.working_days = days;
}
void GatewaySim::SetMbusFlags(uint8_t flags) {
  std::lock_guard lock(impl_->mu);
  impl_->model.flags = flags;
}
uint8_t GatewaySim::MbusFlags() const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.flags;
}
bool GatewaySim::TransformedValues() const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.transformed;
}
void GatewaySim::SetIdentification(const std::vector<std::string>& objects) {
  std::lock_guard lock(impl_->mu);
  impl_->model.identification = objects;
}
std::vector<std::string> GatewaySim::Identification() const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.identification;
}
std::vector<int> GatewaySim::ActivatedDevices() const {
  std::lock_guard lock(impl_->mu);
  std::vector<int> out;
  for (const auto& slot : impl_->model.slots) out.push_back(slot.primary_address);
  return out;
}
void GatewaySim::ActivateDevice(int primary_address) {
  std::lock_guard lock(impl_->mu);
  auto& slots = impl_->model.slots;
  for (const auto& slot : slots)
    if (slot.primary_address == primary_address) return;
  if (slots.size() < kMaxDevices) slots.push_back(GatewayModel::Slot{primary_address, false});
}
void GatewaySim::DeactivateDevice(int primary_address) {
  std::lock_guard lock(impl_->mu);
  impl_->model.Delete(primary_address);
}
void GatewaySim::SetNowSource(std::function<std::chrono::system_clock::time_point()> now) {
  std::lock_guard lock(impl_->mu);
  impl_->model.now_ = now ? std::move(now) : [] { return std::chrono::system_clock::now(); };
}
void GatewaySim::SetDeviceTime(int year, int month, int day, int hour, int minute, int second) {
  std::lock_guard lock(impl_->mu);
  impl_->model.SetDeviceTime(year, month, day, hour, minute, second);
}
std::vector<int> GatewaySim::DeviceTime() const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.DeviceTime();
}

void GatewaySim::SetLineTime(std::chrono::milliseconds line_time) {
  std::lock_guard lock(impl_->mu);
  impl_->model.line_time = line_time;
}
std::vector<Meter> GatewaySim::Meters() const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.line.meters();
}
std::string GatewaySim::AddMeter(const Meter& meter) {
  Meter m = meter;
  if (!m.raw_telegram.empty()) {
    const int primary = m.primary_address;
    const std::string error = AdoptRawTelegram(&m);
    if (!error.empty()) return error;
    if (primary != 0) m.primary_address = primary;
  }
  const std::string error = CheckMeter(m);
  if (!error.empty()) return error;
  std::lock_guard lock(impl_->mu);
  impl_->model.line.meters().push_back(std::move(m));
  return {};
}
bool GatewaySim::RemoveMeter(const std::string& id) {
  std::lock_guard lock(impl_->mu);
  return std::erase_if(impl_->model.line.meters(), [&](const Meter& m) { return m.id == id; }) > 0;
}
void GatewaySim::RemoveAllMeters() {
  std::lock_guard lock(impl_->mu);
  impl_->model.line.meters().clear();
}
bool GatewaySim::UpdateMeter(const std::string& id, const std::function<void(Meter&)>& change) {
  std::lock_guard lock(impl_->mu);
  bool found = false;
  for (Meter& m : impl_->model.line.meters())
    if (m.id == id) {
      change(m);
      found = true;
    }
  return found;
}
std::vector<TunnelExchange> GatewaySim::TunnelLog() const {
  std::lock_guard lock(impl_->mu);
  return impl_->model.tunnel_log;
}
void GatewaySim::ClearTunnelLog() {
  std::lock_guard lock(impl_->mu);
  impl_->model.tunnel_log.clear();
}
std::string GatewaySim::LineTransact(const std::string& telegram) {
  std::lock_guard lock(impl_->mu);
  return impl_->model.line.Transact(telegram);
}

void GatewaySim::InjectFault(const Fault& fault) {
  std::lock_guard lock(impl_->mu);
  impl_->faults.push_back(fault);
}
void GatewaySim::ClearFaults() {
  std::lock_guard lock(impl_->mu);
  impl_->faults.clear();
}
size_t GatewaySim::PendingFaults() const {
  std::lock_guard lock(impl_->mu);
  return impl_->faults.size();
}

std::vector<LoggedRequest> GatewaySim::Requests() const {
  std::lock_guard lock(impl_->mu);
  return {impl_->requests.begin(), impl_->requests.end()};
}
std::vector<SentAnswer> GatewaySim::SentAnswers() const {
  std::lock_guard lock(impl_->mu);
  return {impl_->answers.begin(), impl_->answers.end()};
}
void GatewaySim::ClearRequests() {
  std::lock_guard lock(impl_->mu);
  impl_->requests.clear();
  impl_->answers.clear();
}
bool GatewaySim::WaitForRequests(size_t n, std::chrono::milliseconds timeout) const {
  return impl_->WaitFor(timeout, [&] { return impl_->requests.size() >= n; });
}
bool GatewaySim::WaitForRequest(const std::function<bool(const LoggedRequest&)>& match,
                                std::chrono::milliseconds timeout) const {
  return impl_->WaitFor(timeout, [&] {
    for (const LoggedRequest& r : impl_->requests)
      if (match(r)) return true;
    return false;
  });
}
bool GatewaySim::WaitForAnswers(size_t n, std::chrono::milliseconds timeout) const {
  return impl_->WaitFor(timeout, [&] { return impl_->answers.size() >= n; });
}
size_t GatewaySim::MalformedFrames() const {
  std::lock_guard lock(impl_->mu);
  return impl_->malformed;
}

}  // namespace orvio::sim
