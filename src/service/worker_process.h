#pragma once

#include <chrono>
#include <cstdint>

#include "platform/handle_api.h"
#include "platform/process_launch_api.h"
#include "platform/types.h"

namespace tarnu::service {

// How long a worker asked to stop is given to release what it holds and end before it is
// terminated. Its release is one desktop bind, a few SendInput calls and a status write:
// milliseconds, even under Wine. The bound only caps what a worker that cannot answer (hung,
// suspended, crashed) costs a stop or a replacement.
inline constexpr std::chrono::milliseconds kWorkerStopBound{1000};

// How long a terminated worker is waited for, so that its executable is no longer in use
// once the record is empty. Termination takes milliseconds; the bound keeps a stop within
// the wait hint the service reports for it.
inline constexpr std::chrono::milliseconds kWorkerEndBound{500};

// The supervisor's record of its worker: the process handle (or none), the job object the
// worker runs in, the event that asks it to stop, and the console session it was started in
// (0 when none). The record owns the three handles; a record that still holds a worker when
// it goes away terminates that process first, so no worker outlives it. Each worker has a
// job of its own, created with JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE and held only here: when
// the service process dies without running any destructor (a crash, TerminateProcess from
// outside), the system closes that last handle and the worker dies with it. The stop event
// has no name and reaches the worker only through its handle list, so only the service can
// set it.
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

  // Records a newly started worker, its job and its stop event, taking ownership of the
  // three handles; the record must be empty.
  void record(platform::ProcessHandle process, platform::JobHandle job,
              platform::EventHandle stop_event, std::uint32_t session_id);

  // Asks the worker to release what it holds and end, then ends it for certain: SetEvent on
  // its stop event, WaitForSingleObject on the process for at most kWorkerStopBound (at once
  // for a worker that has ended already; no wait when the event cannot be set), then
  // terminate(). Does nothing when the record is empty.
  void stop();

  // TerminateProcess(process, 0), WaitForSingleObject on it for at most kWorkerEndBound,
  // then CloseHandle of the process, the job and the stop event, and the record is empty. Does
  // nothing when it already is.
  void terminate();

 private:
  platform::ProcessLaunchApi& processes_;
  platform::HandleApi& handles_;
  // Declared in reverse order of closing: the process handle is closed first.
  platform::ScopedEvent stop_event_;
  platform::ScopedJob job_;
  platform::ScopedProcess process_;
  std::uint32_t session_id_ = 0;
};

}  // namespace tarnu::service
