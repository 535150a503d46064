#include "service/service_event_log.h"

#include <array>

#include "platform/event_ids.h"
#include "platform/text.h"
#include "platform/windows_error.h"

namespace tarnu::service {

std::uint64_t EventRateLimit::count(std::chrono::nanoseconds now) {
  ++held_back_;
  if (last_event_ && now - *last_event_ < interval_) {
    return 0;
  }
  last_event_ = now;
  const std::uint64_t occurrences = held_back_;
  held_back_ = 0;
  return occurrences;
}

void ServiceEventLog::service_started(std::string_view version) {
  const std::array inserts{std::string(version)};
  (void)platform::write_event(log_, platform::kEventServiceStarted, inserts);
}

void ServiceEventLog::service_stopped() {
  (void)platform::write_event(log_, platform::kEventServiceStopped, {});
}

void ServiceEventLog::worker_launch_failed(const LaunchFailure& failure) {
  const std::uint64_t occurrences = launch_failures_.count(clock_.now());
  if (occurrences == 0) {
    return;
  }
  const std::array inserts{failure.step, failure.error, std::to_string(occurrences)};
  (void)platform::write_event(log_, platform::kEventWorkerLaunchFailed, inserts);
}

void ServiceEventLog::pipe_name_held(const std::u16string& pipe_name, const PipeHolder& holder) {
  const std::uint64_t occurrences = pipe_name_held_.count(clock_.now());
  if (occurrences == 0) {
    return;
  }
  std::string who = "process ID and image unknown";
  if (holder.process_id) {
    who = "process ID " + std::to_string(*holder.process_id) + ", " +
          (holder.image_path.empty() ? std::string("image unknown")
                                     : platform::utf16_to_utf8(holder.image_path));
  }
  const std::array inserts{platform::utf16_to_utf8(pipe_name), who, std::to_string(occurrences)};
  (void)platform::write_event(log_, platform::kEventPipeNameHeld, inserts);
}

bool sas_policy_allows_services(std::optional<std::uint32_t> value) {
  return value && (*value == 1 || *value == 3);
}

void ServiceEventLog::check_sas_policy(
    const Expected<std::optional<std::uint32_t>, platform::WindowsErrorCode>& value) {
  std::string found;
  if (!value) {
    found = platform::windows_error_with_message("unreadable", value.error());
  } else if (sas_policy_allows_services(*value)) {
    return;
  } else if (!*value) {
    found = "absent";
  } else {
    found = std::to_string(**value);
  }
  const std::array inserts{found};
  (void)platform::write_event(log_, platform::kEventSasNotAllowedForServices, inserts);
}

}  // namespace tarnu::service
