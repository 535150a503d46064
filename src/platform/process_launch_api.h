#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/expected.h"
#include "platform/handles.h"

namespace tarnu::platform {

// What WTSGetActiveConsoleSessionId reports when no session is attached to the console.
inline constexpr std::uint32_t kNoConsoleSession = 0xFFFFFFFF;

// WaitForSingleObject results.
inline constexpr std::uint32_t kWaitObject0 = 0x00000000;
inline constexpr std::uint32_t kWaitTimeout = 0x00000102;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

// SECURITY_IMPERSONATION_LEVEL and TOKEN_TYPE values.
inline constexpr std::uint32_t kSecurityImpersonation = 2;
inline constexpr std::uint32_t kTokenPrimary = 1;

inline constexpr std::uint32_t kCreateSuspended = 0x00000004;
inline constexpr std::uint32_t kCreateUnicodeEnvironment = 0x00000400;
inline constexpr std::uint32_t kCreateNoWindow = 0x08000000;

// JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE: the job's processes are terminated when the last
// handle to the job is closed, also when its owner is killed and the system closes it.
inline constexpr std::uint32_t kJobLimitKillOnJobClose = 0x00002000;
// JOB_OBJECT_LIMIT_ACTIVE_PROCESS: at most ActiveProcessLimit processes run in the job; a
// process that would exceed it (a child one of them starts) is terminated instead.
inline constexpr std::uint32_t kJobLimitActiveProcess = 0x00000008;
// JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION: the job's processes run with
// SEM_NOGPFAULTERRORBOX, so an unhandled exception ends the process at once instead of
// showing an error dialog or starting an error reporter.
inline constexpr std::uint32_t kJobLimitDieOnUnhandledException = 0x00000400;

// The two handles of PROCESS_INFORMATION; the caller owns both.
struct CreatedProcess {
  ProcessHandle process;
  ThreadHandle thread;
};

// Starting a process in another session with a token of the caller's own, tying it to a job
// object, and watching and ending it. Handles that come back are closed through
// HandleApi::close_handle.
class ProcessLaunchApi {
 public:
  virtual ~ProcessLaunchApi() = default;

  // WTSGetActiveConsoleSessionId (kernel32): kNoConsoleSession when no session is attached.
  virtual std::uint32_t active_console_session_id() = 0;

  // OpenProcessToken(GetCurrentProcess(), access).
  virtual Expected<TokenHandle, WindowsErrorCode> open_current_process_token(
      std::uint32_t access) = 0;

  // DuplicateTokenEx(token, access, no attributes, impersonation_level, token_type).
  virtual Expected<TokenHandle, WindowsErrorCode> duplicate_token(TokenHandle token,
                                                                  std::uint32_t access,
                                                                  std::uint32_t impersonation_level,
                                                                  std::uint32_t token_type) = 0;

  // SetTokenInformation(token, TokenSessionId, &session, 4). Needs SeTcbPrivilege.
  virtual Expected<void, WindowsErrorCode> set_token_session_id(TokenHandle token,
                                                                std::uint32_t session) = 0;

  // For each NUL-terminated privilege name, LookupPrivilegeValueW(nullptr, name, &luid) and
  // AdjustTokenPrivileges(token, FALSE, {1, luid, SE_PRIVILEGE_REMOVED}, 0, nullptr, nullptr):
  // the privilege is gone from the token for good and cannot be enabled again. The token
  // needs TOKEN_ADJUST_PRIVILEGES. A privilege the token does not hold (the call succeeds
  // with ERROR_NOT_ALL_ASSIGNED) and a name this system does not know
  // (ERROR_NO_SUCH_PRIVILEGE) are skipped; any other failure of either call stops at that
  // name with its error, the names before it already removed.
  virtual Expected<void, WindowsErrorCode> remove_token_privileges(
      TokenHandle token, std::span<const char16_t* const> names) = 0;

  // GetModuleFileNameW for the program's own executable, however long its path is.
  virtual Expected<std::u16string, WindowsErrorCode> module_file_name() = 0;

  // The system's own message for an error code, without the trailing line break; empty when
  // the system has none.
  virtual std::u16string error_message(WindowsErrorCode code) = 0;

  // CreateProcessAsUserW(token, no application name, command_line, no security attributes,
  // bInheritHandles, creation_flags, the caller's environment, current_directory) with a
  // STARTUPINFO that sets only cb and lpDesktop. Without `inherited` no handle is inherited
  // (bInheritHandles FALSE, a plain STARTUPINFOW). With it, that one handle and no other is
  // (bInheritHandles TRUE, EXTENDED_STARTUPINFO_PRESENT, a STARTUPINFOEXW whose attribute
  // list, made by InitializeProcThreadAttributeList and UpdateProcThreadAttribute, holds
  // PROC_THREAD_ATTRIBUTE_HANDLE_LIST with only `inherited`); the child finds it under the
  // same value. `command_line` is the writable buffer that CreateProcessAsUserW requires;
  // its contents are the same once the call returns.
  virtual Expected<CreatedProcess, WindowsErrorCode> create_process_as_user(
      TokenHandle token, std::u16string& command_line, const std::u16string& current_directory,
      const std::u16string& desktop, std::uint32_t creation_flags, EventHandle inherited) = 0;

  // CreateJobObjectW(no security attributes, no name): an anonymous job whose handle is not
  // inheritable.
  virtual Expected<JobHandle, WindowsErrorCode> create_job_object() = 0;

  // SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)
  // with a zeroed JOBOBJECT_EXTENDED_LIMIT_INFORMATION whose BasicLimitInformation has
  // LimitFlags = limit_flags (kJobLimit...) and ActiveProcessLimit = active_process_limit
  // (looked at only with kJobLimitActiveProcess).
  virtual Expected<void, WindowsErrorCode> set_job_limits(JobHandle job, std::uint32_t limit_flags,
                                                          std::uint32_t active_process_limit) = 0;

  // AssignProcessToJobObject(job, process).
  virtual Expected<void, WindowsErrorCode> assign_process_to_job_object(JobHandle job,
                                                                        ProcessHandle process) = 0;

  // ResumeThread(thread); a result of (DWORD)-1 is a failure, any other (the previous
  // suspend count) a success.
  virtual Expected<void, WindowsErrorCode> resume_thread(ThreadHandle thread) = 0;

  // WaitForSingleObject(handle, milliseconds): kWaitObject0, kWaitTimeout, kWaitFailed, ...
  virtual std::uint32_t wait_for_single_object(ProcessHandle process,
                                               std::uint32_t milliseconds) = 0;

  // TerminateProcess(process, exit_code); the result is not examined anywhere in the product.
  virtual void terminate_process(ProcessHandle process, std::uint32_t exit_code) = 0;

  // CreateEventW(SECURITY_ATTRIBUTES with the caller's default descriptor and bInheritHandle
  // TRUE, manual reset, not signalled, no name). Inheritable only so that it can go into
  // create_process_as_user's handle list; without a name no other process can open it,
  // create it first or wait on it.
  virtual Expected<EventHandle, WindowsErrorCode> create_inheritable_event() = 0;

  // SetEvent(event).
  virtual Expected<void, WindowsErrorCode> set_event(EventHandle event) = 0;

  // The process serving the named pipe `name`: CreateFileW(name, FILE_READ_ATTRIBUTES, 0, nullptr,
  // OPEN_EXISTING, SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION), then
  // GetNamedPipeServerProcessId, then CloseHandle. The open takes one of the server's
  // instances for a moment; it asks for attributes only (an inbound pipe refuses readers),
  // nothing is read or written, and at identification level the server cannot act as the
  // caller. Fails with the error of the first call that does:
  // ERROR_FILE_NOT_FOUND when no pipe has the name, ERROR_PIPE_BUSY when every instance is
  // taken, ERROR_ACCESS_DENIED when the pipe's DACL keeps the caller out.
  virtual Expected<std::uint32_t, WindowsErrorCode> pipe_server_process_id(
      const std::u16string& name) = 0;

  // The full Win32 path of a process's executable:
  // OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id), then
  // QueryFullProcessImageNameW(process, 0, ...), then CloseHandle.
  virtual Expected<std::u16string, WindowsErrorCode> process_image_path(
      std::uint32_t process_id) = 0;
};

}  // namespace tarnu::platform
