#pragma once

#include <chrono>
#include <mutex>
#include <optional>

namespace tarnu::windows_input {

// Rate limit for the warnings about input that Windows refused: at most one record per
// interval for the whole process, whatever kind of input was refused. The first refusal
// always gets through. Shared by every injector of the process, hence the lock.
class RefusalGate {
 public:
  static constexpr std::chrono::seconds kInterval{10};

  // Whether a warning at `now` (monotonic) may be emitted. If so, `now` becomes the time of
  // the last warning; if not, nothing is remembered of this refusal.
  bool let_through(std::chrono::nanoseconds now);

  // The gate of this process.
  static RefusalGate& process_wide();

 private:
  std::mutex mutex_;
  std::optional<std::chrono::nanoseconds> last_passed_;
};

}  // namespace tarnu::windows_input
