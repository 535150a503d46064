#include "service/worker_process.h"

#include <cassert>

namespace tarnu::service {

void WorkerProcess::record(platform::RawHandle process, std::uint32_t session_id) {
  assert(!has_process());
  process_ = platform::ScopedHandle(handles_, process);
  session_id_ = session_id;
}

void WorkerProcess::terminate() {
  if (process_.is_valid()) {
    // Also called on a worker that has exited already; the result does not matter.
    processes_.terminate_process(process_.get(), 0);
    process_.reset();
  }
  session_id_ = 0;
}

}  // namespace tarnu::service
