#include "service/launch_worker.h"

#include <string>
#include <utility>

#include "platform/text.h"
#include "platform/windows_error.h"

namespace tarnu::service {
namespace {

// A launch step's outcome.
using Launched = Expected<void, LaunchFailure>;

Unexpected<LaunchFailure> failed(platform::ProcessLaunchApi& processes, const char* step,
                                 platform::WindowsErrorCode code) {
  return Unexpected(
      LaunchFailure{step, platform::windows_error_with_message(
                              platform::utf16_to_utf8(processes.error_message(code)), code)});
}

// A copy of the service's token, moved to `session`, without the privileges the worker has
// no use for. The service's own token is closed on every path.
Expected<platform::ScopedToken, LaunchFailure> make_worker_token(
    platform::ProcessLaunchApi& processes, platform::HandleApi& handles, std::uint32_t session) {
  auto opened = processes.open_current_process_token(kWorkerTokenAccess);
  if (!opened) {
    return failed(processes, "OpenProcessToken", opened.error());
  }
  const platform::ScopedToken service_token(handles, *opened);
  auto duplicated =
      processes.duplicate_token(service_token.get(), kWorkerTokenAccess,
                                platform::kSecurityImpersonation, platform::kTokenPrimary);
  if (!duplicated) {
    return failed(processes, "DuplicateTokenEx", duplicated.error());
  }
  platform::ScopedToken worker_token(handles, *duplicated);
  if (auto moved = processes.set_token_session_id(worker_token.get(), session); !moved) {
    return failed(processes, "SetTokenInformation(TokenSessionId)", moved.error());
  }
  // A copy that still holds a privilege it should not is never used to start a worker.
  if (auto reduced =
          processes.remove_token_privileges(worker_token.get(), kPrivilegesTheWorkerDoesNotUse);
      !reduced) {
    return failed(processes, "AdjustTokenPrivileges", reduced.error());
  }
  return worker_token;
}

// An empty job with the worker's limits. It exists before the process, so that a job that
// cannot be made costs no process.
Expected<platform::ScopedJob, LaunchFailure> make_worker_job(platform::ProcessLaunchApi& processes,
                                                             platform::HandleApi& handles) {
  auto made = processes.create_job_object();
  if (!made) {
    return failed(processes, "CreateJobObjectW", made.error());
  }
  platform::ScopedJob job(handles, *made);
  if (auto limited =
          processes.set_job_limits(job.get(), kWorkerJobLimits, kWorkerJobActiveProcesses);
      !limited) {
    return failed(processes, "SetInformationJobObject(JobObjectExtendedLimitInformation)",
                  limited.error());
  }
  return job;
}

// Ties the suspended worker to its job and lets it run. A worker that cannot be tied to the
// job, or cannot be resumed, is ended here: it has run nothing yet, and a worker outside the
// job could outlive the service.
Launched start_in_job(platform::ProcessLaunchApi& processes, platform::JobHandle job,
                      platform::ProcessHandle process, platform::ThreadHandle thread) {
  Launched started;
  if (auto assigned = processes.assign_process_to_job_object(job, process); !assigned) {
    started = failed(processes, "AssignProcessToJobObject", assigned.error());
  } else if (auto resumed = processes.resume_thread(thread); !resumed) {
    started = failed(processes, "ResumeThread", resumed.error());
  }
  if (!started) {
    processes.terminate_process(process, kAbandonedWorkerExitCode);
  }
  return started;
}

}  // namespace

std::string worker_command_line(std::string_view executable_path, platform::RawHandle stop_event) {
  std::string line = "\"";
  line += executable_path;
  line += "\" --worker --stop-event ";
  line += std::to_string(stop_event);
  return line;
}

std::string worker_working_directory(std::string_view executable_path) {
  const std::size_t last = executable_path.find_last_of("\\/");
  if (last == std::string_view::npos) {
    return ".";
  }
  std::string_view parent = executable_path.substr(0, last);
  // Separators run together ("dir\\x.exe") belong to the boundary, not to the folder.
  while (!parent.empty() && platform::is_path_separator(parent.back())) {
    parent.remove_suffix(1);
  }
  if (parent.empty() || parent.back() == ':') {
    // The root of the path ("\x.exe", "C:\x.exe"): keep its separator.
    return std::string(executable_path.substr(0, parent.size() + 1));
  }
  return std::string(parent);
}

Expected<void, LaunchFailure> launch_worker(WorkerProcess& worker,
                                            platform::ProcessLaunchApi& processes,
                                            platform::HandleApi& handles) {
  // A worker being replaced is gone, having released what it held, even when its successor
  // cannot be started.
  worker.stop();

  const std::uint32_t session = processes.active_console_session_id();
  if (session == platform::kNoConsoleSession) {
    return Unexpected(LaunchFailure{kNoConsoleStep, "no session is attached to the console"});
  }
  // Declared before the job, so that the token is closed last.
  auto worker_token = make_worker_token(processes, handles, session);
  if (!worker_token) {
    return Unexpected(std::move(worker_token.error()));
  }

  auto path = processes.module_file_name();
  if (!path) {
    return failed(processes, "GetModuleFileNameW", path.error());
  }
  // Unpaired surrogates in the path become U+FFFD in both texts.
  const std::string path_text = platform::utf16_to_utf8(*path);
  const std::u16string directory = platform::utf8_to_utf16(worker_working_directory(path_text));
  const std::u16string desktop = kWorkerDesktop;

  auto job = make_worker_job(processes, handles);
  if (!job) {
    return Unexpected(std::move(job.error()));
  }
  // The worker's stop signal: an event without a name, which only this process holds until
  // the worker inherits it, so that nobody else can set it, make it first or wait on it.
  auto event = processes.create_inheritable_event();
  if (!event) {
    return failed(processes, "CreateEventW", event.error());
  }
  platform::ScopedEvent stop_event(handles, *event);
  std::u16string command_line =
      platform::utf8_to_utf16(worker_command_line(path_text, stop_event.get().raw()));

  auto created = processes.create_process_as_user(worker_token->get(), command_line, directory,
                                                  desktop, kWorkerCreationFlags, stop_event.get());
  if (!created) {
    return failed(processes, "CreateProcessAsUserW", created.error());
  }
  // Closed in this order on every path: the thread, the process, the stop event, the job.
  platform::ScopedProcess process(handles, created->process);
  platform::ScopedThread thread(handles, created->thread);
  if (auto started = start_in_job(processes, job->get(), process.get(), thread.get()); !started) {
    return started;
  }

  // Only the process, the job and the stop event are kept; the thread handle is closed at once.
  thread.reset();
  worker.record(process.release(), job->release(), stop_event.release(), session);
  return {};
}

}  // namespace tarnu::service
