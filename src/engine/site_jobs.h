// The site file's jobs against a gateway: reading what a site file keeps of it (the status
// readout's items and the device map), and writing a site file back into it (the restore plan's
// requests, each answer checked). The window and the command line run them alike; their trace
// lines are the ones the status readout, the readback and the configuration commands write.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/site/site_file.h"
#include "engine/exchange.h"
#include "engine/gateway_jobs.h"
#include "engine/link.h"
#include "engine/trace.h"

namespace orvio {

class SiteRead {
 public:
  struct Handlers {
    // Steps done of the steps known so far (the device count adds the records).
    std::function<void(int done, int total)> progress;
    // The read settings and the device map (not after Stop). `answered` is false when the
    // gateway answered none of the readout's requests.
    std::function<void(site::Site gateway, bool answered)> end;
  };
  SiteRead(Link& link, Exchange& exchange, SendRequestFn send, Trace& trace);

  void Begin(int waitMs, Handlers handlers);
  void Stop();

 private:
  void StatusAnswer(size_t index, const ByteString& answer);
  void Progress();

  Trace& trace_;
  RequestSequence readout_;
  DeviceMapReadback readback_;
  Handlers handlers_;
  site::Site site_;
  int waitMs_ = 0;
  int done_ = 0;
  bool answered_ = false;
};

class SiteRestore {
 public:
  struct Handlers {
    std::function<void(int done, int total)> progress;
    // After the last step: the steps the gateway refused or did not answer, one line each
    // ("<step>: <why>").
    std::function<void(std::vector<std::string> refused)> end;
  };
  SiteRestore(Link& link, Exchange& exchange, SendRequestFn send, Trace& trace);

  void Begin(std::vector<site::RestoreStep> steps, int waitMs, Handlers handlers);
  void Stop() { sequence_.Stop(); }

 private:
  Trace& trace_;
  RequestSequence sequence_;
  std::vector<site::RestoreStep> steps_;
  std::vector<std::string> refused_;
  Handlers handlers_;
};

// Why a write's answer does not confirm it ("no answer", the exception's text); "" when it does.
std::string WriteRefusal(const ByteString& answer);

}  // namespace orvio
