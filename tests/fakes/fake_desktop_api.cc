#include "fakes/fake_desktop_api.h"

#include <algorithm>

namespace tarnu::fakes {

platform::DesktopHandle FakeDesktopApi::open_input_desktop(std::uint32_t flags, bool inherit,
                                                           std::uint32_t desired_access) {
  opens.push_back({flags, inherit, desired_access});
  if (open_fails) {
    return {};
  }
  const auto handle = ledger_.open_as<platform::DesktopHandle>("desktop");
  names_[handle.raw()] = input_desktop_name;
  return handle;
}

bool FakeDesktopApi::get_user_object_name(platform::DesktopHandle object,
                                          std::span<char16_t> buffer, std::uint32_t& needed_bytes) {
  name_buffer_units.push_back(buffer.size());
  name_needed_on_entry.push_back(needed_bytes);
  if (name_query_fails || !ledger_.is_open(object)) {
    return false;
  }
  const std::u16string& name = names_[object.raw()];
  if (name_query_reports_no_length) {
    needed_bytes = 0;
    return true;
  }
  // The name and its terminator must fit (ERROR_INSUFFICIENT_BUFFER otherwise, also for a
  // buffer one unit short).
  needed_bytes = static_cast<std::uint32_t>((name.size() + 1) * sizeof(char16_t));
  if (name.size() + 1 > buffer.size()) {
    return false;
  }
  std::copy(name.begin(), name.end(), buffer.begin());
  buffer[name.size()] = u'\0';
  return true;
}

bool FakeDesktopApi::set_thread_desktop(platform::DesktopHandle desktop) {
  if (attach_fails || !ledger_.is_open(desktop)) {
    return false;
  }
  thread_desktop = desktop;
  return true;
}

void FakeDesktopApi::close_desktop(platform::DesktopHandle desktop) {
  if (desktop == thread_desktop) {
    // ERROR_BUSY: the thread sits on this handle.
    refused_closes.push_back(desktop);
    return;
  }
  names_.erase(desktop.raw());
  ledger_.release(desktop.raw(), Release::kCloseDesktop);
}

}  // namespace tarnu::fakes
