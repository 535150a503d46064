#include "service/supervise_worker.h"

#include "service/launch_worker.h"
#include "service/worker_process.h"

namespace tarnu::service {
namespace {

bool worker_must_be_replaced(const WorkerProcess& worker, platform::ProcessLaunchApi& processes) {
  if (!worker.has_process()) {
    return true;
  }
  // A failing wait counts as "still running": only a signalled handle proves the exit.
  if (processes.wait_for_single_object(worker.process(), 0) == platform::kWaitObject0) {
    return true;
  }
  const std::uint32_t console = processes.active_console_session_id();
  // With nobody on the console (between a disconnect and the next connect) the worker stays.
  return console != platform::kNoConsoleSession && console != worker.session_id();
}

}  // namespace

void supervise_worker(ServiceEventSource& events, platform::ProcessLaunchApi& processes,
                      platform::HandleApi& handles, const StopPendingReport& stop_pending) {
  WorkerProcess worker(processes, handles);
  // Launch failures are retried on the next pass; nobody reads their texts.
  (void)launch_worker(worker, processes, handles);
  for (;;) {
    const ReceiveOutcome outcome = events.receive_for(kSupervisorPollInterval);
    if (outcome == ReceiveOutcome::Stop || outcome == ReceiveOutcome::Disconnected) {
      break;
    }
    if (worker_must_be_replaced(worker, processes)) {
      (void)launch_worker(worker, processes, handles);
    }
  }
  if (stop_pending) {
    stop_pending();
  }
  worker.stop();
}

}  // namespace tarnu::service
