#pragma once

#include <string_view>

namespace tarnu::platform {

// A small logging facility: records carry a level and a target (the module that emits
// them). The process starts with no sink installed and no level enabled, so records go
// nowhere unless someone installs a sink and raises the maximum level.

enum class LogLevel : int { kError = 1, kWarn = 2, kInfo = 3, kDebug = 4, kTrace = 5 };

// The most verbose level that is let through; kOff, the initial value, lets nothing through.
enum class LogLevelFilter : int {
  kOff = 0,
  kError = 1,
  kWarn = 2,
  kInfo = 3,
  kDebug = 4,
  kTrace = 5
};

struct LogRecord {
  LogLevel level;
  std::string_view target;
  std::string_view message;
};

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Called with the sink lock held, from whichever thread logs.
  virtual void write(const LogRecord& record) = 0;
};

// Installs the sink (nullptr removes it). The sink must outlive its installation.
void set_log_sink(LogSink* sink);
void set_max_log_level(LogLevelFilter filter);
LogLevelFilter max_log_level();

// Whether a record of this level would reach a sink; lets callers skip formatting.
bool log_enabled(LogLevel level);

void log(LogLevel level, std::string_view target, std::string_view message);

}  // namespace tarnu::platform
