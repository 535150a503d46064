#pragma once

#include <cstdint>

#include "platform/handle_api.h"
#include "platform/process_launch_api.h"
#include "platform/types.h"

namespace tarnu::service {

// The supervisor's record of its worker: the process handle (or none), the job object the
// worker runs in, and the console session it was started in (0 when none). The record owns
// both handles; a record that still holds a worker when it goes away terminates that process
// first, so no worker outlives it. Each worker has a job of its own, created with
// JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE and held only here: when the service process dies
// without running any destructor (a crash, TerminateProcess from outside), the system closes
// that last handle and the worker dies with it.
class WorkerProcess {
 public:
  WorkerProcess(platform::ProcessLaunchApi& processes, platform::HandleApi& handles)
      : processes_(processes), handles_(handles) {}
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;
  ~WorkerProcess() { terminate(); }

  bool has_process() const { return process_.is_valid(); }
  platform::ProcessHandle process() const { return process_.get(); }
  std::uint32_t session_id() const { return session_id_; }

  // Records a newly started worker and its job, taking ownership of both handles; the record
  // must be empty.
  void record(platform::ProcessHandle process, platform::JobHandle job, std::uint32_t session_id);

  // TerminateProcess(process, 0) without waiting, then CloseHandle of the process and of the
  // job, and the record is empty. Does nothing when it already is.
  void terminate();

 private:
  platform::ProcessLaunchApi& processes_;
  platform::HandleApi& handles_;
  // Declared before the process so that the process handle is closed first.
  platform::ScopedJob job_;
  platform::ScopedProcess process_;
  std::uint32_t session_id_ = 0;
};

}  // namespace tarnu::service
