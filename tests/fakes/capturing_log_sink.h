#pragma once

#include <string>
#include <vector>

#include "platform/logging.h"

namespace tarnu::fakes {

// Installs itself as the log sink with every level enabled for its lifetime, and puts back
// the process's initial state (no sink, no level) when it goes.
class CapturingLogSink final : public platform::LogSink {
 public:
  struct Captured {
    platform::LogLevel level;
    std::string target;
    std::string message;
  };

  CapturingLogSink();
  ~CapturingLogSink() override;
  CapturingLogSink(const CapturingLogSink&) = delete;
  CapturingLogSink& operator=(const CapturingLogSink&) = delete;

  void write(const platform::LogRecord& record) override;

  std::vector<Captured> records;
};

}  // namespace tarnu::fakes
