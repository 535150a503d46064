#include "service/launch_worker.h"

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

std::string worker_command_line(std::string_view executable_path) {
  std::string line = "\"";
  line += executable_path;
  line += "\" --worker";
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
  // A worker being replaced is gone even when its successor cannot be started.
  worker.terminate();

  const std::uint32_t session = processes.active_console_session_id();
  if (session == platform::kNoConsoleSession) {
    return Unexpected(std::string("no active console session"));
  }

  // Declared in this order so that the worker token is closed before the service token.
  Expected<platform::RawHandle, platform::WindowsErrorCode> opened =
      processes.open_current_process_token(kWorkerTokenAccess);
  if (!opened) {
    return Unexpected(platform::windows_error_text("OpenProcessToken", opened.error()));
  }
  const platform::ScopedHandle service_token(handles, *opened);

  Expected<platform::RawHandle, platform::WindowsErrorCode> duplicated =
      processes.duplicate_token(service_token.get(), kWorkerTokenAccess,
                                platform::kSecurityImpersonation, platform::kTokenPrimary);
  if (!duplicated) {
    return Unexpected(platform::windows_error_text("DuplicateTokenEx", duplicated.error()));
  }
  const platform::ScopedHandle worker_token(handles, *duplicated);

  if (Expected<void, platform::WindowsErrorCode> moved =
          processes.set_token_session_id(worker_token.get(), session);
      !moved) {
    return Unexpected(
        platform::windows_error_text("SetTokenInformation(TokenSessionId)", moved.error()));
  }

  Expected<std::u16string, platform::WindowsErrorCode> path = processes.module_file_name();
  if (!path) {
    return Unexpected("resolve helper exe path: " + os_error_text(processes, path.error()));
  }
  // Unpaired surrogates in the path become U+FFFD in both texts.
  const std::string path_text = platform::utf16_to_utf8(*path);
  std::u16string command_line = platform::utf8_to_utf16(worker_command_line(path_text));
  const std::u16string directory = platform::utf8_to_utf16(worker_working_directory(path_text));
  const std::u16string desktop = kWorkerDesktop;

  Expected<platform::CreatedProcess, platform::WindowsErrorCode> created =
      processes.create_process_as_user(worker_token.get(), command_line, directory, desktop,
                                       kWorkerCreationFlags);
  if (!created) {
    return Unexpected(platform::windows_error_text("CreateProcessAsUserW", created.error()));
  }
  // Only the process handle is kept; the thread handle is closed at once.
  platform::ScopedHandle thread(handles, created->thread);
  thread.reset();
  worker.record(created->process, session);
  return {};
}

}  // namespace tarnu::service
