#pragma once

#include "platform/process_launch_api.h"

namespace tarnu::platform::win32 {

class Win32ProcessLaunchApi final : public ProcessLaunchApi {
 public:
  std::uint32_t active_console_session_id() override;
  Expected<TokenHandle, WindowsErrorCode> open_current_process_token(std::uint32_t access) override;
  Expected<TokenHandle, WindowsErrorCode> duplicate_token(TokenHandle token, std::uint32_t access,
                                                          std::uint32_t impersonation_level,
                                                          std::uint32_t token_type) override;
  Expected<void, WindowsErrorCode> set_token_session_id(TokenHandle token,
                                                        std::uint32_t session) override;
  Expected<void, WindowsErrorCode> remove_token_privileges(
      TokenHandle token, std::span<const char16_t* const> names) override;
  Expected<std::u16string, WindowsErrorCode> module_file_name() override;
  std::u16string error_message(WindowsErrorCode code) override;
  Expected<CreatedProcess, WindowsErrorCode> create_process_as_user(
      TokenHandle token, std::u16string& command_line, const std::u16string& current_directory,
      const std::u16string& desktop, std::uint32_t creation_flags, EventHandle inherited) override;
  Expected<JobHandle, WindowsErrorCode> create_job_object() override;
  Expected<void, WindowsErrorCode> set_job_limits(JobHandle job, std::uint32_t limit_flags,
                                                  std::uint32_t active_process_limit) override;
  Expected<void, WindowsErrorCode> assign_process_to_job_object(JobHandle job,
                                                                ProcessHandle process) override;
  Expected<void, WindowsErrorCode> resume_thread(ThreadHandle thread) override;
  std::uint32_t wait_for_single_object(ProcessHandle process, std::uint32_t milliseconds) override;
  void terminate_process(ProcessHandle process, std::uint32_t exit_code) override;
  Expected<EventHandle, WindowsErrorCode> create_inheritable_event() override;
  Expected<void, WindowsErrorCode> set_event(EventHandle event) override;
  Expected<std::uint32_t, WindowsErrorCode> pipe_server_process_id(
      const std::u16string& name) override;
  Expected<std::u16string, WindowsErrorCode> process_image_path(std::uint32_t process_id) override;
};

// The process-wide instance; it has no state.
ProcessLaunchApi& process_launch_api();

}  // namespace tarnu::platform::win32
