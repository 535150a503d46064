#include "service/launch_worker.h"

#include <string>
#include <utility>

#include "platform/text.h"
#include "platform/windows_error.h"

namespace tarnu::service {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

std::string os_error_text(platform::ProcessLaunchApi& processes, platform::WindowsErrorCode code) {
  const std::string message = platform::utf16_to_utf8(processes.error_message(code));
  const std::string number = std::to_string(code);
  if (message.empty()) {
    return "Windows error " + number;
  }
  return message + " (Windows error " + number + ")";
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
  while (!parent.empty() && is_separator(parent.back())) {
    parent.remove_suffix(1);
  }
  if (parent.empty() || parent.back() == ':') {
    // The root of the path ("\x.exe", "C:\x.exe"): keep its separator.
    return std::string(executable_path.substr(0, parent.size() + 1));
  }
  return std::string(parent);
}

Status launch_worker(WorkerProcess& worker, platform::ProcessLaunchApi& processes,
                     platform::HandleApi& handles) {
  // A worker being replaced is gone, having released what it held, even when its successor
  // cannot be started.
  worker.stop();

  const std::uint32_t session = processes.active_console_session_id();
  if (session == platform::kNoConsoleSession) {
    return Unexpected(std::string("no active console session"));
  }

  // Declared in this order so that the worker token is closed before the service token.
  Expected<platform::TokenHandle, platform::WindowsErrorCode> opened =
      processes.open_current_process_token(kWorkerTokenAccess);
  if (!opened) {
    return Unexpected(platform::windows_error_text("OpenProcessToken", opened.error()));
  }
  const platform::ScopedToken service_token(handles, *opened);

  Expected<platform::TokenHandle, platform::WindowsErrorCode> duplicated =
      processes.duplicate_token(service_token.get(), kWorkerTokenAccess,
                                platform::kSecurityImpersonation, platform::kTokenPrimary);
  if (!duplicated) {
    return Unexpected(platform::windows_error_text("DuplicateTokenEx", duplicated.error()));
  }
  const platform::ScopedToken worker_token(handles, *duplicated);

  if (Expected<void, platform::WindowsErrorCode> moved =
          processes.set_token_session_id(worker_token.get(), session);
      !moved) {
    return Unexpected(
        platform::windows_error_text("SetTokenInformation(TokenSessionId)", moved.error()));
  }
  // A copy that still holds a privilege it should not is never used to start a worker.
  if (Expected<void, platform::WindowsErrorCode> reduced =
          processes.remove_token_privileges(worker_token.get(), kPrivilegesTheWorkerDoesNotUse);
      !reduced) {
    return Unexpected(platform::windows_error_text("AdjustTokenPrivileges", reduced.error()));
  }

  Expected<std::u16string, platform::WindowsErrorCode> path = processes.module_file_name();
  if (!path) {
    return Unexpected("resolve helper exe path: " + os_error_text(processes, path.error()));
  }
  // Unpaired surrogates in the path become U+FFFD in both texts.
  const std::string path_text = platform::utf16_to_utf8(*path);
  const std::u16string directory = platform::utf8_to_utf16(worker_working_directory(path_text));
  const std::u16string desktop = kWorkerDesktop;

  // The job exists before the process, so that a job that cannot be made costs no process.
  Expected<platform::JobHandle, platform::WindowsErrorCode> made = processes.create_job_object();
  if (!made) {
    return Unexpected(platform::windows_error_text("CreateJobObjectW", made.error()));
  }
  platform::ScopedJob job(handles, *made);
  if (Expected<void, platform::WindowsErrorCode> limited =
          processes.set_job_limits(job.get(), kWorkerJobLimits, kWorkerJobActiveProcesses);
      !limited) {
    return Unexpected(platform::windows_error_text(
        "SetInformationJobObject(JobObjectExtendedLimitInformation)", limited.error()));
  }

  // The worker's stop signal: an event without a name, which only this process holds until
  // the worker inherits it, so that nobody else can set it, make it first or wait on it.
  Expected<platform::EventHandle, platform::WindowsErrorCode> event =
      processes.create_inheritable_event();
  if (!event) {
    return Unexpected(platform::windows_error_text("CreateEventW", event.error()));
  }
  platform::ScopedEvent stop_event(handles, *event);
  std::u16string command_line =
      platform::utf8_to_utf16(worker_command_line(path_text, stop_event.get().raw()));

  Expected<platform::CreatedProcess, platform::WindowsErrorCode> created =
      processes.create_process_as_user(worker_token.get(), command_line, directory, desktop,
                                       kWorkerCreationFlags, stop_event.get());
  if (!created) {
    return Unexpected(platform::windows_error_text("CreateProcessAsUserW", created.error()));
  }
  // Closed in this order on every path: the thread, the process, the stop event, the job.
  platform::ScopedProcess process(handles, created->process);
  platform::ScopedThread thread(handles, created->thread);

  // A suspended worker that cannot be tied to the job, or cannot be resumed, is ended here:
  // it has run nothing yet, and a worker outside the job could outlive the service.
  std::string failure;
  if (Expected<void, platform::WindowsErrorCode> assigned =
          processes.assign_process_to_job_object(job.get(), process.get());
      !assigned) {
    failure = platform::windows_error_text("AssignProcessToJobObject", assigned.error());
  } else if (Expected<void, platform::WindowsErrorCode> resumed =
                 processes.resume_thread(thread.get());
             !resumed) {
    failure = platform::windows_error_text("ResumeThread", resumed.error());
  }
  if (!failure.empty()) {
    processes.terminate_process(process.get(), kAbandonedWorkerExitCode);
    return Unexpected(std::move(failure));
  }

  // Only the process, the job and the stop event are kept; the thread handle is closed at once.
  thread.reset();
  worker.record(process.release(), job.release(), stop_event.release(), session);
  return {};
}

}  // namespace tarnu::service
