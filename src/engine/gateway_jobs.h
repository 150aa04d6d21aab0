// Jobs of requests to the gateway itself (no tunnel): a list of requests sent one after another,
// and the readback of the gateway's device map. Each request goes out when the answer of the one
// before has been handled, after the receive buffers were emptied; each answer is handed to the
// front end, which shows it (memo lines and grids in the window, rows on the command line). The
// window and the command line run the same jobs.
#pragma once

#include <functional>
#include <vector>

#include "core/bytes.h"
#include "core/gateway/device_map.h"
#include "core/gateway/gateway_request.h"
#include "core/modbus/answer.h"
#include "engine/exchange.h"
#include "engine/link.h"
#include "engine/trace.h"

namespace orvio {

// Sends one request to the gateway over the link (the front end's sender: it knows the unit and
// writes the trace line).
using SendRequestFn = std::function<void(const GatewayRequest&)>;

// Checks an answer as every collector does, its lines (status panel, memo) to `trace`.
AnswerCheck TracedCheck(Trace& trace, const ByteString& answer, CheckForm form);

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
// Every answer's "UNMD:" line, the checks' lines and the bitmap's hex line go to the trace; the
// front end is handed what they give.
class DeviceMapReadback {
 public:
  struct Handlers {
    std::function<void(const ByteString& answer, int recordSize)> version;
    // The number of active devices (0: the readback ends); `checked`: an answer came and passed
    // its checks.
    std::function<void(int count, bool checked)> bitmap;
    // The request for the first record has just been sent.
    std::function<void(int count)> recordsBegin;
    // Record 1..count: its cells, or nullptr when it did not answer or failed its checks.
    std::function<void(int index, const DeviceRowCells* cells)> record;
    std::function<void()> end;  // after the last record, or after a bitmap with no device
  };
  DeviceMapReadback(Link& link, Exchange& steps, Exchange& records, SendRequestFn send,
                    Trace& trace);

  // The record cells' numbers are written with `decimalSeparator`.
  void Begin(int waitMs, char decimalSeparator, Handlers handlers);
  void Stop();
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
  Trace& trace_;
  Handlers handlers_;
  int waitMs_ = 0;
  char decimalSeparator_ = '.';
  int recordSize_ = 0;
  int count_ = 0;
  int index_ = 0;
  bool running_ = false;
};

}  // namespace orvio
