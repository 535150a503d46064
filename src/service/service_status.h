#pragma once

#include <chrono>
#include <cstdint>

#include "platform/expected.h"
#include "platform/service_control_api.h"
#include "platform/types.h"
#include "platform/windows_error.h"

namespace tarnu::service {

// SetServiceStatus for this own-process service: the given state, accepted controls,
// checkpoint and wait hint (in whole milliseconds, truncated), with no exit code. A wait
// hint beyond 32 bits of milliseconds, or below zero, is a programming error and aborts
// with "Too long wait_hint".
Expected<void, platform::WinapiError> report_service_status(
    platform::ServiceControlApi& api, platform::ServiceStatusHandle status_handle,
    std::uint32_t current_state, std::uint32_t controls_accepted, std::uint32_t check_point,
    std::chrono::nanoseconds wait_hint);

}  // namespace tarnu::service
