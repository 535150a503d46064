#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fakes/handle_ledger.h"
#include "platform/service_control_api.h"

namespace tarnu::fakes {

// A service control manager that runs the service in-process. start_dispatcher() calls the
// service's main function on a thread of its own, as the real dispatcher does, and runs the
// test's `dispatcher_script` on the calling thread, the one that delivers controls. It
// returns once both are done.
class FakeServiceControlApi final : public platform::ServiceControlApi {
 public:
  explicit FakeServiceControlApi(HandleLedger& ledger) : ledger_(ledger) {}
  ~FakeServiceControlApi() override {
    if (status_handle_) {
      // A status handle needs no closing; it only has to come from somewhere.
      ledger_.release(status_handle_.raw(), Release::kCloseHandle);
    }
  }

  // Configuration, set before start_dispatcher().
  std::function<void(FakeServiceControlApi&)> dispatcher_script;
  std::optional<platform::WindowsErrorCode> dispatcher_failure;
  bool registration_fails = false;
  // SetServiceStatus calls that fail, by their index (0 = first), with their error codes.
  std::map<std::size_t, platform::WindowsErrorCode> status_failures;

  // For dispatcher scripts: wait (at most 10 s, so a broken service cannot hang the test)
  // until `count` status reports were attempted, or until the service's main function has
  // returned. True if the count was reached.
  bool wait_for_reports(std::size_t count) {
    wait_until([&] { return reports_.size() >= count || main_returned_; });
    std::lock_guard lock(mutex_);
    return reports_.size() >= count;
  }
  // Waits (at most 10 s) until the service's main function has returned.
  bool wait_for_service_main() {
    return wait_until([&] { return main_returned_; });
  }
  // Delivers one control to the registered handler with its context, on this thread.
  std::uint32_t control(std::uint32_t code, std::uint32_t event_type = 0) {
    platform::ServiceControlHandler handler = nullptr;
    void* context = nullptr;
    {
      std::lock_guard lock(mutex_);
      handler = handler_;
      context = context_;
    }
    if (handler == nullptr) {
      // The real dispatcher answers for a service that registered no handler.
      return platform::kErrorCallNotImplemented;
    }
    return handler(code, event_type, nullptr, context);
  }

  // What happened.
  std::vector<std::u16string> dispatched_names() const { return locked(dispatched_names_); }
  std::vector<std::u16string> registered_names() const { return locked(registered_names_); }
  // The context of the last registration attempt, also when it failed.
  void* offered_context() const { return locked(offered_context_); }
  // Every SetServiceStatus call, failed ones included, and the handles they were given.
  std::vector<platform::ServiceStatus> reports() const { return locked(reports_); }
  std::vector<platform::ServiceStatusHandle> report_handles() const {
    return locked(report_handles_);
  }
  platform::ServiceStatusHandle status_handle() const { return locked(status_handle_); }

  // ServiceControlApi
  Expected<void, platform::WindowsErrorCode> start_dispatcher(
      std::u16string_view service_name, platform::ServiceMainFunction service_main) override;
  platform::ServiceStatusHandle register_control_handler(std::u16string_view service_name,
                                                         platform::ServiceControlHandler handler,
                                                         void* context) override;
  Expected<void, platform::WindowsErrorCode> set_service_status(
      platform::ServiceStatusHandle status_handle, const platform::ServiceStatus& status) override;

 private:
  template <typename Predicate>
  bool wait_until(Predicate predicate) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), predicate);
  }
  // A copy of a member, taken under the lock: the service's thread may be changing it.
  template <typename T>
  T locked(const T& member) const {
    std::lock_guard lock(mutex_);
    return member;
  }

  HandleLedger& ledger_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::u16string> dispatched_names_;
  std::vector<std::u16string> registered_names_;
  platform::ServiceControlHandler handler_ = nullptr;
  void* context_ = nullptr;
  void* offered_context_ = nullptr;
  platform::ServiceStatusHandle status_handle_;
  std::vector<platform::ServiceStatus> reports_;
  std::vector<platform::ServiceStatusHandle> report_handles_;
  bool main_returned_ = false;
};

}  // namespace tarnu::fakes
