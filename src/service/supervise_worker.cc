#include "service/supervise_worker.h"

#include "platform/input_pipe_name.h"
#include "service/launch_worker.h"
#include "service/worker_process.h"

namespace tarnu::service {
namespace {

// A failing wait counts as "still running": only a signalled handle proves the exit.
bool worker_has_ended(const WorkerProcess& worker, platform::ProcessLaunchApi& processes) {
  return worker.has_process() &&
         processes.wait_for_single_object(worker.process(), 0) == platform::kWaitObject0;
}

bool console_has_moved(const WorkerProcess& worker, platform::ProcessLaunchApi& processes) {
  const std::uint32_t console = processes.active_console_session_id();
  // With nobody on the console (between a disconnect and the next connect) the worker stays.
  return console != platform::kNoConsoleSession && console != worker.session_id();
}

void launch_and_report(WorkerProcess& worker, platform::ProcessLaunchApi& processes,
                       platform::HandleApi& handles, ServiceEventLog& log) {
  const auto launched = launch_worker(worker, processes, handles);
  // No session on the console is no failure: the next pass launches into the next one.
  if (!launched && launched.error().step != kNoConsoleStep) {
    log.worker_launch_failed(launched.error());
  }
}

// The worker of `session` has ended. Whatever still serves its pipe name is not ours: a
// process that took the name first keeps every worker of the session from starting, and
// waits for its clients in its place.
void report_pipe_holder(std::uint32_t session, platform::ProcessLaunchApi& processes,
                        ServiceEventLog& log) {
  const std::u16string name = platform::input_pipe_name(session);
  const auto server = processes.pipe_server_process_id(name);
  if (!server && (server.error() == platform::kErrorFileNotFound ||
                  server.error() == platform::kErrorPathNotFound)) {
    return;
  }
  PipeHolder holder;
  if (server) {
    holder.process_id = *server;
    if (auto image = processes.process_image_path(*server)) {
      holder.image_path = std::move(*image);
    }
  }
  log.pipe_name_held(name, holder);
}

}  // namespace

void supervise_worker(ServiceEventSource& events, platform::ProcessLaunchApi& processes,
                      platform::HandleApi& handles, ServiceEventLog& log,
                      const StopPendingReport& stop_pending) {
  WorkerProcess worker(processes, handles);
  launch_and_report(worker, processes, handles, log);
  for (;;) {
    const ReceiveOutcome outcome = events.receive_for(kSupervisorPollInterval);
    // The service host keeps a sending end for as long as this runs, so Disconnected does
    // not come from it; a queue that nobody can send to any more could only time out for
    // ever, and ends the loop as a stop does.
    if (outcome == ReceiveOutcome::Stop || outcome == ReceiveOutcome::Disconnected) {
      break;
    }
    if (worker_has_ended(worker, processes)) {
      report_pipe_holder(worker.session_id(), processes, log);
      launch_and_report(worker, processes, handles, log);
    } else if (!worker.has_process() || console_has_moved(worker, processes)) {
      launch_and_report(worker, processes, handles, log);
    }
  }
  if (stop_pending) {
    stop_pending();
  }
  worker.stop();
}

}  // namespace tarnu::service
