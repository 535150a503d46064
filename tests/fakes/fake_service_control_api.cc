#include "fakes/fake_service_control_api.h"

#include <thread>

namespace tarnu::fakes {

Expected<void, platform::WindowsErrorCode> FakeServiceControlApi::start_dispatcher(
    std::u16string_view service_name, platform::ServiceMainFunction service_main) {
  {
    std::lock_guard lock(mutex_);
    dispatched_names_.emplace_back(service_name);
  }
  if (dispatcher_failure) {
    return Unexpected(*dispatcher_failure);
  }
  std::thread service_thread([this, service_main, name = std::u16string(service_name)]() mutable {
    char16_t* argv[] = {name.data(), nullptr};
    service_main(1, argv);
    {
      std::lock_guard lock(mutex_);
      main_returned_ = true;
    }
    changed_.notify_all();
  });
  if (dispatcher_script) {
    dispatcher_script(*this);
  }
  service_thread.join();
  return {};
}

platform::ServiceStatusHandle FakeServiceControlApi::register_control_handler(
    std::u16string_view service_name, platform::ServiceControlHandler handler, void* context) {
  std::lock_guard lock(mutex_);
  registered_names_.emplace_back(service_name);
  offered_context_ = context;
  if (registration_fails) {
    return {};
  }
  handler_ = handler;
  context_ = context;
  if (!status_handle_) {
    status_handle_ =
        platform::ServiceStatusHandle(ledger_.open("service status", Release::kCloseHandle));
  }
  return status_handle_;
}

Expected<void, platform::WindowsErrorCode> FakeServiceControlApi::set_service_status(
    platform::ServiceStatusHandle status_handle, const platform::ServiceStatus& status) {
  std::optional<platform::WindowsErrorCode> failure;
  {
    std::lock_guard lock(mutex_);
    const auto it = status_failures.find(reports_.size());
    if (it != status_failures.end()) {
      failure = it->second;
    }
    reports_.push_back(status);
    report_handles_.push_back(status_handle);
  }
  changed_.notify_all();
  if (failure) {
    return Unexpected(*failure);
  }
  return {};
}

}  // namespace tarnu::fakes
