#include "service/worker_process.h"

#include <cassert>

namespace tarnu::service {

void WorkerProcess::record(platform::ProcessHandle process, platform::JobHandle job,
                           std::uint32_t session_id) {
  assert(!has_process() && !job_.is_valid());
  job_ = platform::ScopedJob(handles_, job);
  process_ = platform::ScopedProcess(handles_, process);
  session_id_ = session_id;
}

void WorkerProcess::terminate() {
  if (process_.is_valid()) {
    // Also called on a worker that has exited already; the result does not matter.
    processes_.terminate_process(process_.get(), 0);
    process_.reset();
  }
  // Closing the last handle of the job would also end the worker; it has been terminated
  // already, with the exit code the service uses for a stop.
  job_.reset();
  session_id_ = 0;
}

}  // namespace tarnu::service
