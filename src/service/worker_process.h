#pragma once

#include <cstdint>

#include "platform/handle_api.h"
#include "platform/process_launch_api.h"
#include "platform/types.h"

namespace tarnu::service {

// The supervisor's record of its worker: the process handle (or none) and the console
// session it was started in (0 when none). The record owns the handle; a record that still
// holds one when it goes away terminates that process first, so no worker outlives it.
class WorkerProcess {
 public:
  WorkerProcess(platform::ProcessLaunchApi& processes, platform::HandleApi& handles)
      : processes_(processes), handles_(handles) {}
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;
  ~WorkerProcess() { terminate(); }

  bool has_process() const { return process_.is_valid(); }
  platform::RawHandle process() const { return process_.get(); }
  std::uint32_t session_id() const { return session_id_; }

  // Records a newly started worker; the record must be empty.
  void record(platform::RawHandle process, std::uint32_t session_id);

  // TerminateProcess(handle, 0) without waiting, then CloseHandle, and the record is empty.
  // Does nothing when it already is.
  void terminate();

 private:
  platform::ProcessLaunchApi& processes_;
  platform::HandleApi& handles_;
  platform::ScopedHandle process_;
  std::uint32_t session_id_ = 0;
};

}  // namespace tarnu::service
