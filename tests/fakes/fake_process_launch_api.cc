#include "fakes/fake_process_launch_api.h"

#include <cstdio>

namespace tarnu::fakes {
namespace {

std::string hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%x", value);
  return text;
}

}  // namespace

std::optional<platform::WindowsErrorCode> FakeProcessLaunchApi::call(
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

platform::RawHandle FakeProcessLaunchApi::open(const std::string& kind, const std::string& label) {
  const platform::RawHandle handle = ledger_.open(kind, Release::kCloseHandle);
  labels_[handle] = label;
  return handle;
}

std::string FakeProcessLaunchApi::label(platform::RawHandle handle) const {
  const auto it = labels_.find(handle);
  return it == labels_.end() ? "unknown-" + std::to_string(handle) : it->second;
}

void FakeProcessLaunchApi::end_process(platform::ProcessHandle process) {
  processes_[process.raw()].ended = true;
}

std::size_t FakeProcessLaunchApi::running_processes() const {
  return count_processes([](const Process& process) { return !process.ended; });
}

std::size_t FakeProcessLaunchApi::processes_run_outside_a_job() const {
  return count_processes([](const Process& process) { return process.ran_outside_a_job; });
}

std::size_t FakeProcessLaunchApi::orphans_if_caller_dies() const {
  return count_processes([this](const Process& process) {
    const auto job = jobs_.find(process.job);
    return !process.ended && (job == jobs_.end() ||
                              (job->second.limit_flags & platform::kJobLimitKillOnJobClose) == 0);
  });
}

std::uint32_t FakeProcessLaunchApi::active_console_session_id() {
  calls.push_back("WTSGetActiveConsoleSessionId");
  return console_session;
}

Expected<platform::TokenHandle, platform::WindowsErrorCode>
FakeProcessLaunchApi::open_current_process_token(std::uint32_t access) {
  if (auto code = call("OpenProcessToken(" + hex(access) + ")", {})) {
    return Unexpected(*code);
  }
  const platform::RawHandle token = open("token", "service-token");
  token_sessions_[token] = 0;
  return platform::TokenHandle(token);
}

Expected<platform::TokenHandle, platform::WindowsErrorCode> FakeProcessLaunchApi::duplicate_token(
    platform::TokenHandle token_handle, std::uint32_t access, std::uint32_t impersonation_level,
    std::uint32_t token_type) {
  const platform::RawHandle token = token_handle.raw();
  if (auto code =
          call("DuplicateTokenEx(" + label(token) + "," + hex(access) + "," +
                   std::to_string(impersonation_level) + "," + std::to_string(token_type) + ")",
               {token})) {
    return Unexpected(*code);
  }
  const platform::RawHandle duplicate = open("token", "worker-token");
  token_sessions_[duplicate] = token_sessions_[token];
  return platform::TokenHandle(duplicate);
}

Expected<void, platform::WindowsErrorCode> FakeProcessLaunchApi::set_token_session_id(
    platform::TokenHandle token_handle, std::uint32_t session) {
  const platform::RawHandle token = token_handle.raw();
  if (auto code = call("SetTokenInformation(" + label(token) + ",TokenSessionId," +
                           std::to_string(session) + ")",
                       {token})) {
    return Unexpected(*code);
  }
  token_sessions_[token] = session;
  return {};
}

Expected<std::u16string, platform::WindowsErrorCode> FakeProcessLaunchApi::module_file_name() {
  if (auto code = call("GetModuleFileNameW", {})) {
    return Unexpected(*code);
  }
  return executable_path;
}

std::u16string FakeProcessLaunchApi::error_message(platform::WindowsErrorCode code) {
  const auto it = messages.find(code);
  return it == messages.end() ? std::u16string() : it->second;
}

Expected<platform::CreatedProcess, platform::WindowsErrorCode>
FakeProcessLaunchApi::create_process_as_user(platform::TokenHandle token_handle,
                                             std::u16string& command_line,
                                             const std::u16string& current_directory,
                                             const std::u16string& desktop,
                                             std::uint32_t creation_flags) {
  const platform::RawHandle token = token_handle.raw();
  if (auto code =
          call("CreateProcessAsUserW(" + label(token) + "," + hex(creation_flags) + ")", {token})) {
    return Unexpected(*code);
  }
  ++process_count_;
  const std::string number = std::to_string(process_count_);
  const platform::RawHandle process = open("process", "process" + number);
  const platform::RawHandle thread = open("thread", "thread" + number);
  const bool suspended = (creation_flags & platform::kCreateSuspended) != 0;
  processes_[process] = Process{.suspended = suspended, .ran_outside_a_job = !suspended};
  thread_processes_[thread] = process;
  launches.push_back(Launch{token_sessions_[token], command_line, current_directory, desktop,
                            platform::ProcessHandle(process)});
  return platform::CreatedProcess{platform::ProcessHandle(process), platform::ThreadHandle(thread)};
}

std::uint32_t FakeProcessLaunchApi::wait_for_single_object(platform::ProcessHandle process,
                                                           std::uint32_t milliseconds) {
  const platform::RawHandle handle = process.raw();
  calls.push_back("WaitForSingleObject(" + label(handle) + "," + std::to_string(milliseconds) +
                  ")");
  if (wait_fails || !ledger_.is_open(handle)) {
    return platform::kWaitFailed;
  }
  return processes_[handle].ended ? platform::kWaitObject0 : platform::kWaitTimeout;
}

void FakeProcessLaunchApi::terminate_process(platform::ProcessHandle process,
                                             std::uint32_t exit_code) {
  calls.push_back("TerminateProcess(" + label(process.raw()) + "," + std::to_string(exit_code) +
                  ")");
  terminations.emplace_back(process, exit_code);
  if (ledger_.is_open(process)) {
    processes_[process.raw()].ended = true;
  }
}

Expected<platform::JobHandle, platform::WindowsErrorCode>
FakeProcessLaunchApi::create_job_object() {
  if (auto code = call("CreateJobObjectW", {})) {
    return Unexpected(*code);
  }
  ++job_count_;
  const platform::RawHandle job = open("job", "job" + std::to_string(job_count_));
  jobs_[job] = Job{};
  return platform::JobHandle(job);
}

Expected<void, platform::WindowsErrorCode> FakeProcessLaunchApi::set_job_limit_flags(
    platform::JobHandle job_handle, std::uint32_t limit_flags) {
  const platform::RawHandle job = job_handle.raw();
  if (auto code =
          call("SetInformationJobObject(" + label(job) + "," + hex(limit_flags) + ")", {job})) {
    return Unexpected(*code);
  }
  jobs_[job].limit_flags = limit_flags;
  return {};
}

Expected<void, platform::WindowsErrorCode> FakeProcessLaunchApi::assign_process_to_job_object(
    platform::JobHandle job_handle, platform::ProcessHandle process_handle) {
  const platform::RawHandle job = job_handle.raw();
  const platform::RawHandle process = process_handle.raw();
  if (auto code = call("AssignProcessToJobObject(" + label(job) + "," + label(process) + ")",
                       {job, process})) {
    return Unexpected(*code);
  }
  processes_[process].job = job;
  return {};
}

Expected<void, platform::WindowsErrorCode> FakeProcessLaunchApi::resume_thread(
    platform::ThreadHandle thread_handle) {
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

void FakeProcessLaunchApi::close_kernel_object(platform::RawHandle handle) {
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

void FakeProcessLaunchApi::free_local_memory(platform::RawHandle memory) {
  calls.push_back("LocalFree(" + label(memory) + ")");
  ledger_.release(memory, Release::kLocalFree);
}

}  // namespace tarnu::fakes
