#include "service/service_status.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tarnu::service {
namespace {

std::uint32_t wait_hint_milliseconds(std::chrono::nanoseconds wait_hint) {
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(wait_hint);
  if (milliseconds.count() < 0 ||
      milliseconds.count() > std::numeric_limits<std::uint32_t>::max()) {
    // Only a caller's mistake gets here (the service passes 0 or a few seconds); stop rather
    // than report a wrapped value the service control manager would wait for.
    std::fputs("Too long wait_hint\n", stderr);
    std::abort();
  }
  return static_cast<std::uint32_t>(milliseconds.count());
}

}  // namespace

Expected<void, platform::WinapiError> report_service_status(
    platform::ServiceControlApi& api, platform::ServiceStatusHandle status_handle,
    std::uint32_t current_state, std::uint32_t controls_accepted, std::uint32_t check_point,
    std::chrono::nanoseconds wait_hint) {
  platform::ServiceStatus status;
  status.service_type = platform::kServiceWin32OwnProcess;
  status.current_state = current_state;
  status.controls_accepted = controls_accepted;
  status.win32_exit_code = platform::kErrorSuccess;
  status.service_specific_exit_code = 0;
  status.check_point = check_point;
  status.wait_hint = wait_hint_milliseconds(wait_hint);
  Expected<void, platform::WindowsErrorCode> reported =
      api.set_service_status(status_handle, status);
  if (!reported) {
    return Unexpected(platform::WinapiError{reported.error()});
  }
  return {};
}

}  // namespace tarnu::service
