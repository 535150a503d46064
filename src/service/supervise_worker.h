#pragma once

#include <chrono>

#include "platform/handle_api.h"
#include "platform/process_launch_api.h"
#include "service/service_event_source.h"

namespace tarnu::service {

// The longest the supervisor waits between two checks of its worker.
inline constexpr std::chrono::milliseconds kSupervisorPollInterval{2000};

// Keeps one worker running in the session attached to the console until a stop arrives:
// launches it at once, then after every time-out or session change replaces it if it has
// ended or another session has taken the console. Failed launches are retried on the next
// pass, without back-off. Returns after terminating the worker (exit code 0, not waited for).
void supervise_worker(ServiceEventSource& events, platform::ProcessLaunchApi& processes,
                      platform::HandleApi& handles);

}  // namespace tarnu::service
