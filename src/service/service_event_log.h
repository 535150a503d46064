#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/event_log_api.h"
#include "platform/expected.h"
#include "platform/monotonic_clock.h"
#include "platform/types.h"
#include "service/launch_worker.h"

namespace tarnu::service {

// The shortest time between two events of a kind that can repeat every supervisor pass.
inline constexpr std::chrono::minutes kRepeatedEventInterval{10};

// Lets through the first occurrence and then at most one per interval; each event that goes
// out carries how many occurrences it stands for (itself and those held back since the last).
class EventRateLimit {
 public:
  explicit EventRateLimit(std::chrono::nanoseconds interval) : interval_(interval) {}

  // Counts an occurrence at `now`: the number to report when an event is due, else 0.
  std::uint64_t count(std::chrono::nanoseconds now);

 private:
  std::chrono::nanoseconds interval_;
  std::optional<std::chrono::nanoseconds> last_event_;
  std::uint64_t held_back_ = 0;
};

// Who holds a worker's pipe name: the process ID and image path, when they could be told.
struct PipeHolder {
  std::optional<std::uint32_t> process_id;
  std::u16string image_path;
};

// What the service tells administrators, through the Application log. Only names, numbers,
// versions and Windows error texts go into an event, never anything a client sent.
class ServiceEventLog {
 public:
  ServiceEventLog(platform::EventLogApi& log, platform::MonotonicClock& clock)
      : log_(log), clock_(clock) {}

  void service_started(std::string_view version);
  void service_stopped();
  // Rate-limited: kRepeatedEventInterval.
  void worker_launch_failed(const LaunchFailure& failure);
  // Rate-limited: kRepeatedEventInterval.
  void pipe_name_held(const std::u16string& pipe_name, const PipeHolder& holder);
  // Written when the policy value (read at start) does not let services raise Ctrl+Alt+Del:
  // absent, or anything but 1 or 3. A value that cannot be read is reported as such.
  void check_sas_policy(
      const Expected<std::optional<std::uint32_t>, platform::WindowsErrorCode>& value);

 private:
  platform::EventLogApi& log_;
  platform::MonotonicClock& clock_;
  EventRateLimit launch_failures_{kRepeatedEventInterval};
  EventRateLimit pipe_name_held_{kRepeatedEventInterval};
};

// Whether SoftwareSASGeneration lets services raise Ctrl+Alt+Del: 1 (services) or 3
// (services and Ease of Access programs).
bool sas_policy_allows_services(std::optional<std::uint32_t> value);

}  // namespace tarnu::service
