// Jobs of requests to the gateway itself (no tunnel): a list of requests sent one after another,
// and the readback of the gateway's device map. Each request goes out when the answer of the one
// before has been handled, after the receive buffers were emptied; each answer is handed to the
// front end, which shows it (memo lines and grids in the window, rows on the command line). The
// window and the command line run the same jobs.
#pragma once

#include <functional>
#include <vector>

#include "core/bytes.h"
#include "core/gateway/gateway_request.h"
#include "engine/exchange.h"
#include "engine/link.h"

namespace orvio {

// Sends one request to the gateway over the link (the front end's sender: it knows the unit and
// writes the trace line).
using SendRequestFn = std::function<void(const GatewayRequest&)>;

class RequestSequence {
 public:
  struct Handlers {
    // The answer of request `index` (0-based), in RTU form; empty when none came.
    std::function<void(size_t index, const ByteString& answer)> answer;
    // After the last answer (not after Stop).
    std::function<void()> end;
  };
  RequestSequence(Link& link, Exchange& exchange, SendRequestFn send);

  // Empties the buffers and sends the first request. Begun again while it runs, it starts over;
  // the wait under way is not restarted and its answer counts for the new first request.
  void Begin(std::vector<GatewayRequest> requests, int waitMs, Handlers handlers);
  void Stop();
  bool Running() const { return running_; }
  // The request whose answer is awaited.
  size_t Index() const { return index_; }

 private:
  void Answer(const ByteString& answer);

  Link& link_;
  Exchange& exchange_;
  SendRequestFn send_;
  std::vector<GatewayRequest> requests_;
  Handlers handlers_;
  size_t index_ = 0;
  int waitMs_ = 0;
  bool running_ = false;
};

// The device map: the card version (which fixes the record size), the active-device bitmap
// (which gives the number of records), then one request per record. The first two wait on one
// exchange, the records on another (the window's Timer_free_command and TimerReadDevices).
class DeviceMapReadback {
 public:
  struct Handlers {
    std::function<void(const ByteString& answer, int recordSize)> version;
    // Returns the number of active devices the bitmap answer gives (0: the readback ends).
    std::function<int(const ByteString& answer)> bitmap;
    // The request for the first record has just been sent.
    std::function<void(int count)> recordsBegin;
    std::function<void(int index, const ByteString& answer)> record;  // index 1..count
    std::function<void()> end;  // after the last record, or after a bitmap with no device
  };
  DeviceMapReadback(Link& link, Exchange& steps, Exchange& records, SendRequestFn send);

  void Begin(int waitMs, Handlers handlers);
  void Stop();
  bool Running() const { return running_; }
  int RecordSize() const { return recordSize_; }
  int Count() const { return count_; }

 private:
  void Version(const ByteString& answer);
  void Bitmap(const ByteString& answer);
  void Record(const ByteString& answer);
  void SendRecord();

  Link& link_;
  Exchange& steps_;
  Exchange& records_;
  SendRequestFn send_;
  Handlers handlers_;
  int waitMs_ = 0;
  int recordSize_ = 0;
  int count_ = 0;
  int index_ = 0;
  bool running_ = false;
};

}  // namespace orvio
