#pragma once

#include <chrono>
#include <functional>

#include "platform/handle_api.h"
#include "platform/process_launch_api.h"
#include "service/service_event_log.h"
#include "service/service_event_source.h"

namespace tarnu::service {

// The longest the supervisor waits between two checks of its worker.
inline constexpr std::chrono::milliseconds kSupervisorPollInterval{2000};

// Called on the supervisor's thread once a stop has arrived, before the worker is asked to
// end: the service reports SERVICE_STOP_PENDING from it.
using StopPendingReport = std::function<void()>;

// Keeps one worker running in the session attached to the console until a stop arrives:
// launches it at once, then after every time-out or session change replaces it if it has
// ended or another session has taken the console (the old one asked to release and end
// first: WorkerProcess::stop). Failed launches are retried on the next pass, without
// back-off, and reported to `log` (rate-limited there). A worker that ended on its own may
// have found its pipe name taken: when a pipe of that name is still there, its holder is
// reported too. At a stop, calls `stop_pending` (when given), then stops the worker the same way
// (at most kWorkerStopBound of waiting, then terminated with exit code 0) and returns.
void supervise_worker(ServiceEventSource& events, platform::ProcessLaunchApi& processes,
                      platform::HandleApi& handles, ServiceEventLog& log,
                      const StopPendingReport& stop_pending = {});

}  // namespace tarnu::service
