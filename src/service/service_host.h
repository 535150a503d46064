#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "platform/event_log_api.h"
#include "platform/expected.h"
#include "platform/handle_api.h"
#include "platform/machine_policy_api.h"
#include "platform/monotonic_clock.h"
#include "platform/process_launch_api.h"
#include "platform/service_control_api.h"
#include "platform/windows_error.h"
#include "service/worker_process.h"

namespace tarnu::service {

// The platform areas the service host works through, and the version it reports.
struct ServicePlatform {
  platform::ServiceControlApi& control;
  platform::ProcessLaunchApi& processes;
  platform::HandleApi& handles;
  platform::EventLogApi& event_log;
  platform::MachinePolicyApi& policy;
  platform::MonotonicClock& clock;
  std::string_view version;
};

// What the service reports while it runs: it can be stopped and hears of session changes.
inline constexpr std::uint32_t kRunningControlsAccepted =
    platform::kServiceAcceptStop | platform::kServiceAcceptSessionChange;

// The wait hint of the SERVICE_STOP_PENDING report made while the worker is asked to end:
// the worker's bound, and a second for terminating it, closing its handles and reporting
// SERVICE_STOPPED.
inline constexpr std::chrono::milliseconds kStopPendingWaitHint =
    kWorkerStopBound + std::chrono::milliseconds(1000);

// Hands the service table (TarnuInputService -> service_entry) to the service control
// manager and blocks until the dispatcher returns, which it does once the service has
// stopped. Fails with the dispatcher's error (text "IO error in winapi call"), for instance
// when the process was not started by the service control manager. One run at a time per
// process; handler contexts live until it returns, so controls that arrive late never reach
// freed memory.
Expected<void, platform::WinapiError> run_service_dispatcher(const ServicePlatform& host);

// The service's main function, called by the dispatcher on a thread of its own. Its
// arguments are not used. Registers the control handler, reports SERVICE_RUNNING, writes
// the started event and, when the machine does not let services raise Ctrl+Alt+Del, the
// policy warning, runs the supervisor until a stop, reports SERVICE_STOP_PENDING
// (checkpoint 1, kStopPendingWaitHint) while the supervisor stops the worker, writes the
// stopped event and reports SERVICE_STOPPED. A failed registration or SERVICE_RUNNING
// report simply ends it: the service control manager logs a service that never ran.
void service_entry(std::uint32_t argc, char16_t** argv);

// The control handler, called on the dispatcher thread with the handler context as
// `context`. Sends ServiceEvent::Stop or ServiceEvent::SessionChanged and answers NO_ERROR
// or ERROR_CALL_NOT_IMPLEMENTED; never waits.
std::uint32_t handle_service_control(std::uint32_t control, std::uint32_t event_type,
                                     void* event_data, void* context);

}  // namespace tarnu::service
