#include "platform/logging.h"

#include <atomic>
#include <mutex>

namespace tarnu::platform {
namespace {

std::atomic<int> g_max_level{static_cast<int>(LogLevelFilter::kOff)};

std::mutex& sink_mutex() {
  static std::mutex mutex;
  return mutex;
}

LogSink*& installed_sink() {
  static LogSink* sink = nullptr;
  return sink;
}

}  // namespace

void set_log_sink(LogSink* sink) {
  const std::lock_guard lock(sink_mutex());
  installed_sink() = sink;
}

void set_max_log_level(LogLevelFilter filter) {
  g_max_level.store(static_cast<int>(filter), std::memory_order_relaxed);
}

LogLevelFilter max_log_level() {
  return static_cast<LogLevelFilter>(g_max_level.load(std::memory_order_relaxed));
}

bool log_enabled(LogLevel level) {
  return static_cast<int>(level) <= g_max_level.load(std::memory_order_relaxed);
}

void log(LogLevel level, std::string_view target, std::string_view message) {
  if (!log_enabled(level)) {
    return;
  }
  const std::lock_guard lock(sink_mutex());
  if (LogSink* sink = installed_sink()) {
    sink->write(LogRecord{level, target, message});
  }
}

}  // namespace tarnu::platform
