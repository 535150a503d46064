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

  CapturingLogSink() {
    platform::set_log_sink(this);
    platform::set_max_log_level(platform::LogLevelFilter::kTrace);
  }
  ~CapturingLogSink() override {
    platform::set_max_log_level(platform::LogLevelFilter::kOff);
    platform::set_log_sink(nullptr);
  }
  CapturingLogSink(const CapturingLogSink&) = delete;
  CapturingLogSink& operator=(const CapturingLogSink&) = delete;

  void write(const platform::LogRecord& record) override {
    records.push_back({record.level, std::string(record.target), std::string(record.message)});
  }

  std::vector<Captured> records;
};

}  // namespace tarnu::fakes
