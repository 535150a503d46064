#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <span>
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
    std::set<std::u16string> token_privileges;
    std::u16string command_line;
    std::u16string current_directory;
    std::u16string desktop;
    platform::ProcessHandle process;
    platform::EventHandle inherited;  // the one handle it inherits, or none
  };

  explicit FakeProcessLaunchApi(HandleLedger& ledger) : ledger_(ledger) {}

  // The machine's state, changed by tests between calls.
  std::uint32_t console_session = 1;
  std::u16string executable_path = u"C:\\Program Files\\Tarnu\\tarnu-input-helper.exe";
  std::map<platform::WindowsErrorCode, std::u16string> messages;
  // Pipes served by some process of the pretend machine: name -> the server's process ID,
  // or an error its open fails with; process ID -> image path.
  std::map<std::u16string, Expected<std::uint32_t, platform::WindowsErrorCode>> pipe_servers;
  std::map<std::uint32_t, std::u16string> process_images;
  // What the process's own token holds: by default every privilege the system has a name
  // for, so that a privilege left out of a removal shows.
  std::set<std::u16string> own_privileges = {u"SeAssignPrimaryTokenPrivilege",
                                             u"SeAuditPrivilege",
                                             u"SeBackupPrivilege",
                                             u"SeChangeNotifyPrivilege",
                                             u"SeCreateGlobalPrivilege",
                                             u"SeCreatePagefilePrivilege",
                                             u"SeCreatePermanentPrivilege",
                                             u"SeCreateSymbolicLinkPrivilege",
                                             u"SeCreateTokenPrivilege",
                                             u"SeDebugPrivilege",
                                             u"SeDelegateSessionUserImpersonatePrivilege",
                                             u"SeEnableDelegationPrivilege",
                                             u"SeImpersonatePrivilege",
                                             u"SeIncreaseBasePriorityPrivilege",
                                             u"SeIncreaseQuotaPrivilege",
                                             u"SeIncreaseWorkingSetPrivilege",
                                             u"SeLoadDriverPrivilege",
                                             u"SeLockMemoryPrivilege",
                                             u"SeMachineAccountPrivilege",
                                             u"SeManageVolumePrivilege",
                                             u"SeProfileSingleProcessPrivilege",
                                             u"SeRelabelPrivilege",
                                             u"SeRemoteShutdownPrivilege",
                                             u"SeRestorePrivilege",
                                             u"SeSecurityPrivilege",
                                             u"SeShutdownPrivilege",
                                             u"SeSyncAgentPrivilege",
                                             u"SeSystemEnvironmentPrivilege",
                                             u"SeSystemProfilePrivilege",
                                             u"SeSystemtimePrivilege",
                                             u"SeTakeOwnershipPrivilege",
                                             u"SeTcbPrivilege",
                                             u"SeTimeZonePrivilege",
                                             u"SeTrustedCredManAccessPrivilege",
                                             u"SeUndockPrivilege",
                                             u"SeUnsolicitedInputPrivilege"};
  // WaitForSingleObject fails (WAIT_FAILED) instead of reporting.
  bool wait_fails = false;

  // Calls that fail from now on, by the Win32 name they are recorded under ("ResumeThread"),
  // with the error code they give.
  std::map<std::string, platform::WindowsErrorCode> failures;

  // The process ends by itself (or is killed by someone else): its handle is signalled.
  void end_process(platform::ProcessHandle process) { processes_[process.raw()].ended = true; }
  // The process no longer answers its stop event (hung, or its threads suspended). Otherwise
  // a running worker ends as soon as its event is set.
  void hang(platform::ProcessHandle process) { processes_[process.raw()].hung = true; }

  // What was asked of it (a test may clear `calls` to look at what follows).
  std::vector<std::string> calls;
  std::vector<Launch> launches;
  // Processes terminated through the seam, in order, with their exit codes.
  std::vector<std::pair<platform::ProcessHandle, std::uint32_t>> terminations;
  int terminated_running = 0;  // of those, the ones still running then
  // The time WaitForSingleObject spent: the whole timeout of each wait that timed out.
  std::uint64_t waited_ms = 0;

  // Processes started and neither ended nor terminated: what would still run.
  std::size_t running_processes() const {
    return count_processes([](const Process& process) { return !process.ended; });
  }
  // Processes that have run (were created without CREATE_SUSPENDED, or were resumed) while
  // in no job.
  std::size_t processes_run_outside_a_job() const {
    return count_processes([](const Process& process) { return process.ran_outside_a_job; });
  }
  // Running processes that would survive if the caller died now and the system closed its
  // handles: those in no job with kill-on-close.
  std::size_t orphans_if_caller_dies() const {
    return count_processes([this](const Process& process) {
      const auto job = jobs_.find(process.job);
      return !process.ended && (job == jobs_.end() ||
                                (job->second.limit_flags & platform::kJobLimitKillOnJobClose) == 0);
    });
  }
  std::string label(platform::RawHandle handle) const {
    const auto it = labels_.find(handle);
    return it == labels_.end() ? "unknown-" + std::to_string(handle) : it->second;
  }

  // ProcessLaunchApi
  std::uint32_t active_console_session_id() override {
    calls.push_back("WTSGetActiveConsoleSessionId");
    return console_session;
  }
  Expected<platform::TokenHandle, platform::WindowsErrorCode> open_current_process_token(
      std::uint32_t access) override {
    if (auto code = call("OpenProcessToken(" + hex(access) + ")", {})) {
      return Unexpected(*code);
    }
    const platform::RawHandle token = open("token", "service-token");
    token_sessions_[token] = 0;
    token_privileges_[token] = own_privileges;
    return platform::TokenHandle(token);
  }
  Expected<platform::TokenHandle, platform::WindowsErrorCode> duplicate_token(
      platform::TokenHandle token_handle, std::uint32_t access, std::uint32_t impersonation_level,
      std::uint32_t token_type) override {
    const platform::RawHandle token = token_handle.raw();
    if (auto code =
            call("DuplicateTokenEx(" + label(token) + "," + hex(access) + "," +
                     std::to_string(impersonation_level) + "," + std::to_string(token_type) + ")",
                 {token})) {
      return Unexpected(*code);
    }
    const platform::RawHandle duplicate = open("token", "worker-token");
    token_sessions_[duplicate] = token_sessions_[token];
    token_privileges_[duplicate] = token_privileges_[token];
    return platform::TokenHandle(duplicate);
  }
  Expected<void, platform::WindowsErrorCode> set_token_session_id(
      platform::TokenHandle token_handle, std::uint32_t session) override {
    const platform::RawHandle token = token_handle.raw();
    if (auto code = call("SetTokenInformation(" + label(token) + ",TokenSessionId," +
                             std::to_string(session) + ")",
                         {token})) {
      return Unexpected(*code);
    }
    token_sessions_[token] = session;
    return {};
  }
  Expected<void, platform::WindowsErrorCode> remove_token_privileges(
      platform::TokenHandle token_handle, std::span<const char16_t* const> names) override {
    const platform::RawHandle token = token_handle.raw();
    if (auto code = call("AdjustTokenPrivileges(" + label(token) + ")", {token})) {
      return Unexpected(*code);
    }
    for (const char16_t* name : names) {
      token_privileges_[token].erase(name);
    }
    return {};
  }
  Expected<std::u16string, platform::WindowsErrorCode> module_file_name() override {
    if (auto code = call("GetModuleFileNameW", {})) {
      return Unexpected(*code);
    }
    return executable_path;
  }
  std::u16string error_message(platform::WindowsErrorCode code) override {
    const auto it = messages.find(code);
    return it == messages.end() ? std::u16string() : it->second;
  }
  Expected<platform::CreatedProcess, platform::WindowsErrorCode> create_process_as_user(
      platform::TokenHandle token_handle, std::u16string& command_line,
      const std::u16string& current_directory, const std::u16string& desktop,
      std::uint32_t creation_flags, platform::EventHandle inherited) override {
    const platform::RawHandle token = token_handle.raw();
    if (auto code = call("CreateProcessAsUserW(" + label(token) + "," + hex(creation_flags) +
                             (inherited ? "," + label(inherited.raw()) : "") + ")",
                         {token})) {
      return Unexpected(*code);
    }
    ++process_count_;
    const std::string number = std::to_string(process_count_);
    const platform::RawHandle process = open("process", "process" + number);
    const platform::RawHandle thread = open("thread", "thread" + number);
    const bool suspended = (creation_flags & platform::kCreateSuspended) != 0;
    processes_[process] = Process{
        .suspended = suspended, .ran_outside_a_job = !suspended, .stop_event = inherited.raw()};
    thread_processes_[thread] = process;
    launches.push_back(Launch{token_sessions_[token], token_privileges_[token], command_line,
                              current_directory, desktop, platform::ProcessHandle(process),
                              inherited});
    return platform::CreatedProcess{platform::ProcessHandle(process),
                                    platform::ThreadHandle(thread)};
  }
  std::uint32_t wait_for_single_object(platform::ProcessHandle process,
                                       std::uint32_t milliseconds) override {
    const platform::RawHandle handle = process.raw();
    calls.push_back("WaitForSingleObject(" + label(handle) + "," + std::to_string(milliseconds) +
                    ")");
    if (wait_fails || !ledger_.is_open(handle)) {
      return platform::kWaitFailed;
    }
    if (processes_[handle].ended) {
      return platform::kWaitObject0;
    }
    waited_ms += milliseconds;
    return platform::kWaitTimeout;
  }
  void terminate_process(platform::ProcessHandle process, std::uint32_t exit_code) override {
    calls.push_back("TerminateProcess(" + label(process.raw()) + "," + std::to_string(exit_code) +
                    ")");
    terminations.emplace_back(process, exit_code);
    if (ledger_.is_open(process)) {
      terminated_running += processes_[process.raw()].ended ? 0 : 1;
      processes_[process.raw()].ended = true;
    }
  }
  Expected<platform::EventHandle, platform::WindowsErrorCode> create_inheritable_event() override {
    if (auto code = call("CreateEventW", {})) {
      return Unexpected(*code);
    }
    ++event_count_;
    return platform::EventHandle(open("event", "event" + std::to_string(event_count_)));
  }
  // A running process that inherited the event and is neither suspended nor hung ends.
  Expected<void, platform::WindowsErrorCode> set_event(platform::EventHandle event) override {
    if (auto code = call("SetEvent(" + label(event.raw()) + ")", {event.raw()})) {
      return Unexpected(*code);
    }
    for (auto& [handle, process] : processes_) {
      if (process.stop_event == event.raw() && !process.suspended && !process.hung) {
        process.ended = true;
      }
    }
    return {};
  }
  Expected<std::uint32_t, platform::WindowsErrorCode> pipe_server_process_id(
      const std::u16string& name) override {
    calls.push_back("GetNamedPipeServerProcessId");
    const auto it = pipe_servers.find(name);
    if (it == pipe_servers.end()) {
      return Unexpected(platform::kErrorFileNotFound);
    }
    return it->second;
  }
  Expected<std::u16string, platform::WindowsErrorCode> process_image_path(
      std::uint32_t process_id) override {
    calls.push_back("QueryFullProcessImageNameW");
    const auto it = process_images.find(process_id);
    if (it == process_images.end()) {
      return Unexpected(platform::kErrorAccessDenied);
    }
    return it->second;
  }
  Expected<platform::JobHandle, platform::WindowsErrorCode> create_job_object() override {
    if (auto code = call("CreateJobObjectW", {})) {
      return Unexpected(*code);
    }
    ++job_count_;
    const platform::RawHandle job = open("job", "job" + std::to_string(job_count_));
    jobs_[job] = Job{};
    return platform::JobHandle(job);
  }
  Expected<void, platform::WindowsErrorCode> set_job_limits(
      platform::JobHandle job_handle, std::uint32_t limit_flags,
      std::uint32_t active_process_limit) override {
    const platform::RawHandle job = job_handle.raw();
    if (auto code = call("SetInformationJobObject(" + label(job) + "," + hex(limit_flags) + "," +
                             std::to_string(active_process_limit) + ")",
                         {job})) {
      return Unexpected(*code);
    }
    jobs_[job] = Job{limit_flags, active_process_limit};
    return {};
  }
  Expected<void, platform::WindowsErrorCode> assign_process_to_job_object(
      platform::JobHandle job_handle, platform::ProcessHandle process_handle) override {
    const platform::RawHandle job = job_handle.raw();
    const platform::RawHandle process = process_handle.raw();
    if (auto code = call("AssignProcessToJobObject(" + label(job) + "," + label(process) + ")",
                         {job, process})) {
      return Unexpected(*code);
    }
    processes_[process].job = job;
    return {};
  }
  Expected<void, platform::WindowsErrorCode> resume_thread(
      platform::ThreadHandle thread_handle) override {
    const platform::RawHandle thread = thread_handle.raw();
    if (auto code = call("ResumeThread(" + label(thread) + ")", {thread})) {
      return Unexpected(*code);
    }
    Process& process = processes_[thread_processes_.at(thread)];
    if (process.suspended && process.job == 0) {
      process.ran_outside_a_job = true;
    }
    process.suspended = false;
    return {};
  }

 private:
  // HandleApi
  void close_kernel_object(platform::RawHandle handle) override {
    calls.push_back("CloseHandle(" + label(handle) + ")");
    const bool was_open = ledger_.is_open(handle);
    ledger_.release(handle, Release::kCloseHandle);
    // Each job has this one handle: closing it is closing the last one.
    const auto job = jobs_.find(handle);
    if (was_open && job != jobs_.end() &&
        (job->second.limit_flags & platform::kJobLimitKillOnJobClose) != 0) {
      for (auto& [process_handle, process] : processes_) {
        if (process.job == handle) {
          process.ended = true;
        }
      }
    }
  }
  void free_local_memory(platform::RawHandle memory) override {
    calls.push_back("LocalFree(" + label(memory) + ")");
    ledger_.release(memory, Release::kLocalFree);
  }

  struct Process {
    bool ended = false;
    bool suspended = false;
    bool ran_outside_a_job = false;
    platform::RawHandle stop_event = 0;
    bool hung = false;
    platform::RawHandle job = 0;
  };
  struct Job {
    std::uint32_t limit_flags = 0;
    std::uint32_t active_process_limit = 0;
  };
  // A number as the fake writes flags and access masks into `calls`.
  static std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%x", value);
    return text;
  }
  // Records a call: the error it gives, if any (87 for a handle that is not open, or the
  // failure set for its name, the text before any parenthesis).
  std::optional<platform::WindowsErrorCode> call(
      std::string text, std::initializer_list<platform::RawHandle> handles) {
    const auto it = failures.find(text.substr(0, text.find('(')));
    calls.push_back(std::move(text));
    for (const platform::RawHandle handle : handles) {
      if (!ledger_.is_open(handle)) {
        return platform::kErrorInvalidParameter;
      }
    }
    return it == failures.end() ? std::nullopt : std::optional(it->second);
  }
  template <typename Predicate>
  std::size_t count_processes(Predicate predicate) const {
    return static_cast<std::size_t>(
        std::count_if(processes_.begin(), processes_.end(),
                      [&](const auto& entry) { return predicate(entry.second); }));
  }
  platform::RawHandle open(const std::string& kind, const std::string& label) {
    const platform::RawHandle handle = ledger_.open(kind, Release::kCloseHandle);
    labels_[handle] = label;
    return handle;
  }

  HandleLedger& ledger_;
  std::map<platform::RawHandle, std::string> labels_;
  std::map<platform::RawHandle, std::uint32_t> token_sessions_;
  std::map<platform::RawHandle, std::set<std::u16string>> token_privileges_;
  std::map<platform::RawHandle, Process> processes_;
  std::map<platform::RawHandle, platform::RawHandle> thread_processes_;
  std::map<platform::RawHandle, Job> jobs_;
  int process_count_ = 0;
  int job_count_ = 0;
  int event_count_ = 0;
};

}  // namespace tarnu::fakes
