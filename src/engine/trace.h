// Where the engine's jobs report what happened: the trace lines (the window's memo, a command
// line's standard error) and the short state text of the last answer check (the window's status
// bar).
#pragma once

#include <string>

namespace orvio {

class Trace {
 public:
  virtual ~Trace() = default;
  virtual void Line(const std::string& line) = 0;
  virtual void CheckState(const std::string& /*text*/) {}
};

}  // namespace orvio
