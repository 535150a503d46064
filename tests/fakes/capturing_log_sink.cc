#include "fakes/capturing_log_sink.h"

namespace tarnu::fakes {

CapturingLogSink::CapturingLogSink() {
  platform::set_log_sink(this);
  platform::set_max_log_level(platform::LogLevelFilter::kTrace);
}

CapturingLogSink::~CapturingLogSink() {
  platform::set_max_log_level(platform::LogLevelFilter::kOff);
  platform::set_log_sink(nullptr);
}

void CapturingLogSink::write(const platform::LogRecord& record) {
  records.push_back({record.level, std::string(record.target), std::string(record.message)});
}

}  // namespace tarnu::fakes
