#include "service/worker_process.h"

#include <cassert>

namespace tarnu::service {

void WorkerProcess::record(platform::ProcessHandle process, platform::JobHandle job,
                           platform::EventHandle stop_event, std::uint32_t session_id) {
  assert(!has_process() && !job_.is_valid() && !stop_event_.is_valid());
  stop_event_ = platform::ScopedEvent(handles_, stop_event);
  job_ = platform::ScopedJob(handles_, job);
  process_ = platform::ScopedProcess(handles_, process);
  session_id_ = session_id;
}

void WorkerProcess::stop() {
  if (process_.is_valid() && stop_event_.is_valid() && processes_.set_event(stop_event_.get())) {
    // The worker's answer is its exit; whether the wait saw it does not matter, the
    // termination below follows either way.
    (void)processes_.wait_for_single_object(process_.get(),
                                            static_cast<std::uint32_t>(kWorkerStopBound.count()));
  }
  terminate();
}

void WorkerProcess::terminate() {
  if (process_.is_valid()) {
    // Also called on a worker that has exited already; the result does not matter.
    processes_.terminate_process(process_.get(), 0);
    // TerminateProcess only starts the end: the executable stays in use until the process is
    // gone, and an upgrade that replaces it right after the stop would find it busy and ask
    // for a restart. The wait ends at once for a worker that has exited already.
    (void)processes_.wait_for_single_object(process_.get(),
                                            static_cast<std::uint32_t>(kWorkerEndBound.count()));
    process_.reset();
  }
  // Closing the last handle of the job would also end the worker; it has been terminated
  // already, with the exit code the service uses for a stop.
  job_.reset();
  stop_event_.reset();
  session_id_ = 0;
}

}  // namespace tarnu::service
