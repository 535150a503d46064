#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/handle_ledger.h"
#include "platform/handle_api.h"
#include "platform/process_launch_api.h"

namespace tarnu::fakes {

// Sessions, tokens, jobs and processes of a pretend machine. Every call is written to `calls`
// in a readable form (handles by role: "service-token", "worker-token", "job1", "process1",
// "thread1", ...), every handle comes from the ledger, and CloseHandle goes through the same
// object, so a test sees the whole sequence and whether anything leaked. A job closed with
// kill-on-close set ends the processes in it, as the system does.
class FakeProcessLaunchApi final : public platform::ProcessLaunchApi, public platform::HandleApi {
 public:
  // What one successful CreateProcessAsUserW was given.
  // (The token and the creation flags are in the call's entry in `calls`.)
  struct Launch {
    std::uint32_t token_session = 0;
    std::u16string command_line;
    std::u16string current_directory;
    std::u16string desktop;
    platform::ProcessHandle process;
  };

  explicit FakeProcessLaunchApi(HandleLedger& ledger) : ledger_(ledger) {}

  // The machine's state, changed by tests between calls.
  std::uint32_t console_session = 1;
  std::u16string executable_path = u"C:\\Program Files\\Tarnu\\tarnu-input-helper.exe";
  std::map<platform::WindowsErrorCode, std::u16string> messages;
  // WaitForSingleObject fails (WAIT_FAILED) instead of reporting.
  bool wait_fails = false;

  // Calls that fail from now on, by the Win32 name they are recorded under ("ResumeThread"),
  // with the error code they give.
  std::map<std::string, platform::WindowsErrorCode> failures;

  // The process ends by itself (or is killed by someone else): its handle is signalled.
  void end_process(platform::ProcessHandle process);

  // What was asked of it (a test may clear `calls` to look at what follows).
  std::vector<std::string> calls;
  std::vector<Launch> launches;
  // Processes terminated through the seam, in order, with their exit codes.
  std::vector<std::pair<platform::ProcessHandle, std::uint32_t>> terminations;

  // Processes started and neither ended nor terminated: what would still run.
  std::size_t running_processes() const;
  // Processes that have run (were created without CREATE_SUSPENDED, or were resumed) while
  // in no job.
  std::size_t processes_run_outside_a_job() const;
  // Running processes that would survive if the caller died now and the system closed its
  // handles: those in no job with kill-on-close.
  std::size_t orphans_if_caller_dies() const;
  std::string label(platform::RawHandle handle) const;

  // ProcessLaunchApi
  std::uint32_t active_console_session_id() override;
  Expected<platform::TokenHandle, platform::WindowsErrorCode> open_current_process_token(
      std::uint32_t access) override;
  Expected<platform::TokenHandle, platform::WindowsErrorCode> duplicate_token(
      platform::TokenHandle token, std::uint32_t access, std::uint32_t impersonation_level,
      std::uint32_t token_type) override;
  Expected<void, platform::WindowsErrorCode> set_token_session_id(platform::TokenHandle token,
                                                                  std::uint32_t session) override;
  Expected<std::u16string, platform::WindowsErrorCode> module_file_name() override;
  std::u16string error_message(platform::WindowsErrorCode code) override;
  Expected<platform::CreatedProcess, platform::WindowsErrorCode> create_process_as_user(
      platform::TokenHandle token, std::u16string& command_line,
      const std::u16string& current_directory, const std::u16string& desktop,
      std::uint32_t creation_flags) override;
  std::uint32_t wait_for_single_object(platform::ProcessHandle process,
                                       std::uint32_t milliseconds) override;
  void terminate_process(platform::ProcessHandle process, std::uint32_t exit_code) override;
  Expected<platform::JobHandle, platform::WindowsErrorCode> create_job_object() override;
  Expected<void, platform::WindowsErrorCode> set_job_limit_flags(
      platform::JobHandle job, std::uint32_t limit_flags) override;
  Expected<void, platform::WindowsErrorCode> assign_process_to_job_object(
      platform::JobHandle job, platform::ProcessHandle process) override;
  Expected<void, platform::WindowsErrorCode> resume_thread(platform::ThreadHandle thread) override;

 private:
  // HandleApi
  void close_kernel_object(platform::RawHandle handle) override;
  void free_local_memory(platform::RawHandle memory) override;

  struct Process {
    bool ended = false;
    bool suspended = false;
    bool ran_outside_a_job = false;
    platform::RawHandle job = 0;
  };
  struct Job {
    std::uint32_t limit_flags = 0;
  };
  // Records a call: the error it gives, if any (87 for a handle that is not open, or the
  // failure set for its name, the text before any parenthesis).
  std::optional<platform::WindowsErrorCode> call(
      std::string text, std::initializer_list<platform::RawHandle> handles);
  template <typename Predicate>
  std::size_t count_processes(Predicate predicate) const {
    return static_cast<std::size_t>(
        std::count_if(processes_.begin(), processes_.end(),
                      [&](const auto& entry) { return predicate(entry.second); }));
  }
  platform::RawHandle open(const std::string& kind, const std::string& label);

  HandleLedger& ledger_;
  std::map<platform::RawHandle, std::string> labels_;
  std::map<platform::RawHandle, std::uint32_t> token_sessions_;
  std::map<platform::RawHandle, Process> processes_;
  std::map<platform::RawHandle, platform::RawHandle> thread_processes_;
  std::map<platform::RawHandle, Job> jobs_;
  int process_count_ = 0;
  int job_count_ = 0;
};

}  // namespace tarnu::fakes
