#include "platform/win32/win32_process_launch_api.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/win32_call_support.h"
#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {

// The values the portable launch code passes and compares, held to the SDK's.
static_assert(kNoConsoleSession == 0xFFFFFFFF);  // documented, without a name in the SDK
static_assert(kWaitObject0 == WAIT_OBJECT_0 && kWaitTimeout == WAIT_TIMEOUT &&
              kWaitFailed == WAIT_FAILED);
static_assert(kSecurityImpersonation == SecurityImpersonation && kTokenPrimary == TokenPrimary);
static_assert(kCreateSuspended == CREATE_SUSPENDED);
static_assert(kCreateUnicodeEnvironment == CREATE_UNICODE_ENVIRONMENT);
static_assert(kCreateNoWindow == CREATE_NO_WINDOW);
static_assert(kJobLimitKillOnJobClose == JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE);
static_assert(kJobLimitActiveProcess == JOB_OBJECT_LIMIT_ACTIVE_PROCESS);
static_assert(kJobLimitDieOnUnhandledException == JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION);

std::uint32_t Win32ProcessLaunchApi::active_console_session_id() {
  return ::WTSGetActiveConsoleSessionId();
}

Expected<TokenHandle, WindowsErrorCode> Win32ProcessLaunchApi::open_current_process_token(
    std::uint32_t access) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), access, &token)) {
    return last_error();
  }
  return wrap<TokenHandle>(token);
}

Expected<TokenHandle, WindowsErrorCode> Win32ProcessLaunchApi::duplicate_token(
    TokenHandle token, std::uint32_t access, std::uint32_t impersonation_level,
    std::uint32_t token_type) {
  HANDLE duplicate = nullptr;
  if (!::DuplicateTokenEx(to_handle(token), access, nullptr,
                          static_cast<SECURITY_IMPERSONATION_LEVEL>(impersonation_level),
                          static_cast<TOKEN_TYPE>(token_type), &duplicate)) {
    return last_error();
  }
  return wrap<TokenHandle>(duplicate);
}

Expected<void, WindowsErrorCode> Win32ProcessLaunchApi::set_token_session_id(
    TokenHandle token, std::uint32_t session) {
  DWORD value = session;
  if (!::SetTokenInformation(to_handle(token), TokenSessionId, &value, sizeof(value))) {
    return last_error();
  }
  return {};
}

Expected<void, WindowsErrorCode> Win32ProcessLaunchApi::remove_token_privileges(
    TokenHandle token, std::span<const char16_t* const> names) {
  // One privilege a call: ERROR_NOT_ALL_ASSIGNED then means only that the token does not
  // hold this one, never that a privilege it does hold was left in place.
  for (const char16_t* name : names) {
    TOKEN_PRIVILEGES removal{};
    removal.PrivilegeCount = 1;
    removal.Privileges[0].Attributes = SE_PRIVILEGE_REMOVED;
    if (!::LookupPrivilegeValueW(nullptr, wide(name), &removal.Privileges[0].Luid)) {
      // A privilege newer than this system: no token here can hold it.
      if (last_error_code() == ERROR_NO_SUCH_PRIVILEGE) {
        continue;
      }
      return last_error();
    }
    if (!::AdjustTokenPrivileges(to_handle(token), FALSE, &removal, 0, nullptr, nullptr)) {
      return last_error();
    }
  }
  return {};
}

Expected<std::u16string, WindowsErrorCode> Win32ProcessLaunchApi::module_file_name() {
  // The path may be longer than MAX_PATH; a full buffer means it was cut short.
  std::u16string buffer(MAX_PATH, u'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = ::GetModuleFileNameW(nullptr, wide(buffer), size);
    if (length == 0) {
      return last_error();
    }
    if (length < size) {
      buffer.resize(length);
      return buffer;
    }
    if (buffer.size() >= 32768) {
      return Unexpected(static_cast<WindowsErrorCode>(ERROR_INSUFFICIENT_BUFFER));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::u16string Win32ProcessLaunchApi::error_message(WindowsErrorCode code) {
  return system_message(code);
}

Expected<CreatedProcess, WindowsErrorCode> Win32ProcessLaunchApi::create_process_as_user(
    TokenHandle token, std::u16string& command_line, const std::u16string& current_directory,
    const std::u16string& desktop, std::uint32_t creation_flags, EventHandle inherited) {
  // Only cb and the desktop: no STARTF_ flags, standard handles, title or window position.
  std::u16string desktop_name = desktop;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(STARTUPINFOW);
  startup.StartupInfo.lpDesktop = wide(desktop_name);

  // bInheritHandles TRUE alone would hand the child every inheritable handle the process
  // holds; the handle list narrows that to the one handle named. The list points at
  // `handle`, which must live until CreateProcessAsUserW has returned.
  HANDLE handle = to_handle(inherited);
  std::vector<unsigned char> list_storage;
  LPPROC_THREAD_ATTRIBUTE_LIST list = nullptr;
  if (inherited) {
    SIZE_T size = 0;
    // Fails with ERROR_INSUFFICIENT_BUFFER, giving the size.
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    list_storage.resize(size);
    list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_storage.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
      return last_error();
    }
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle,
                                     sizeof(handle), nullptr, nullptr)) {
      const auto failure = last_error();
      ::DeleteProcThreadAttributeList(list);
      return failure;
    }
    startup.StartupInfo.cb = sizeof(startup);
    startup.lpAttributeList = list;
    creation_flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  PROCESS_INFORMATION created{};
  const BOOL made = ::CreateProcessAsUserW(to_handle(token), nullptr, wide(command_line), nullptr,
                                           nullptr, list ? TRUE : FALSE, creation_flags, nullptr,
                                           wide(current_directory), &startup.StartupInfo, &created);
  const WindowsErrorCode error = last_error_code();
  if (list) {
    ::DeleteProcThreadAttributeList(list);
  }
  if (!made) {
    return Unexpected(error);
  }
  return CreatedProcess{wrap<ProcessHandle>(created.hProcess), wrap<ThreadHandle>(created.hThread)};
}

Expected<JobHandle, WindowsErrorCode> Win32ProcessLaunchApi::create_job_object() {
  // No SECURITY_ATTRIBUTES: the handle is not inherited by any process the caller starts.
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) {
    return last_error();
  }
  return wrap<JobHandle>(job);
}

Expected<void, WindowsErrorCode> Win32ProcessLaunchApi::set_job_limits(
    JobHandle job, std::uint32_t limit_flags, std::uint32_t active_process_limit) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = limit_flags;
  limits.BasicLimitInformation.ActiveProcessLimit = active_process_limit;
  if (!::SetInformationJobObject(to_handle(job), JobObjectExtendedLimitInformation, &limits,
                                 sizeof(limits))) {
    return last_error();
  }
  return {};
}

Expected<void, WindowsErrorCode> Win32ProcessLaunchApi::assign_process_to_job_object(
    JobHandle job, ProcessHandle process) {
  if (!::AssignProcessToJobObject(to_handle(job), to_handle(process))) {
    return last_error();
  }
  return {};
}

Expected<void, WindowsErrorCode> Win32ProcessLaunchApi::resume_thread(ThreadHandle thread) {
  if (::ResumeThread(to_handle(thread)) == static_cast<DWORD>(-1)) {
    return last_error();
  }
  return {};
}

std::uint32_t Win32ProcessLaunchApi::wait_for_single_object(ProcessHandle process,
                                                            std::uint32_t milliseconds) {
  return ::WaitForSingleObject(to_handle(process), milliseconds);
}

void Win32ProcessLaunchApi::terminate_process(ProcessHandle process, std::uint32_t exit_code) {
  ::TerminateProcess(to_handle(process), exit_code);
}

Expected<EventHandle, WindowsErrorCode> Win32ProcessLaunchApi::create_inheritable_event() {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.bInheritHandle = TRUE;
  HANDLE event = ::CreateEventW(&attributes, TRUE, FALSE, nullptr);
  if (event == nullptr) {
    return last_error();
  }
  return wrap<EventHandle>(event);
}

Expected<void, WindowsErrorCode> Win32ProcessLaunchApi::set_event(EventHandle event) {
  if (!::SetEvent(to_handle(event))) {
    return last_error();
  }
  return {};
}

Expected<std::uint32_t, WindowsErrorCode> Win32ProcessLaunchApi::pipe_server_process_id(
    const std::u16string& name) {
  HANDLE pipe = ::CreateFileW(wide(name), FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) {
    return last_error();
  }
  const ScopedPipe owner(handle_api(), wrap<PipeHandle>(pipe));
  ULONG server = 0;
  if (!::GetNamedPipeServerProcessId(pipe, &server)) {
    return last_error();
  }
  return static_cast<std::uint32_t>(server);
}

Expected<std::u16string, WindowsErrorCode> Win32ProcessLaunchApi::process_image_path(
    std::uint32_t process_id) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) {
    return last_error();
  }
  const ScopedProcess owner(handle_api(), wrap<ProcessHandle>(process));
  std::u16string buffer(32768, u'\0');
  DWORD length = static_cast<DWORD>(buffer.size());
  if (!::QueryFullProcessImageNameW(process, 0, wide(buffer), &length)) {
    return last_error();
  }
  buffer.resize(length);
  return buffer;
}

ProcessLaunchApi& process_launch_api() {
  static Win32ProcessLaunchApi api;
  return api;
}

}  // namespace tarnu::platform::win32
