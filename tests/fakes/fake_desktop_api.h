#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fakes/handle_ledger.h"
#include "platform/desktop_api.h"

namespace tarnu::fakes {

// Desktops against a ledger, with one thread whose desktop it tracks. Like Windows, it
// refuses to close the handle the thread is using, so such a handle stays open in the
// ledger and shows up as a leak.
class FakeDesktopApi final : public platform::DesktopApi {
 public:
  struct OpenCall {
    std::uint32_t flags;
    bool inherit;
    std::uint32_t desired_access;
  };

  explicit FakeDesktopApi(HandleLedger& ledger) : ledger_(ledger) {}

  // What the platform does; change between calls to script a scenario.
  std::u16string input_desktop_name = u"Default";
  bool open_fails = false;
  bool name_query_fails = false;
  bool name_query_reports_no_length = false;
  bool attach_fails = false;

  // What was asked of it.
  std::vector<OpenCall> opens;
  std::vector<std::size_t> name_buffer_units;
  std::vector<std::uint32_t> name_needed_on_entry;
  std::vector<platform::DesktopHandle> refused_closes;
  // The handle the thread was last attached to, none before any attach.
  platform::DesktopHandle thread_desktop;

  platform::DesktopHandle open_input_desktop(std::uint32_t flags, bool inherit,
                                             std::uint32_t desired_access) override {
    opens.push_back({flags, inherit, desired_access});
    if (open_fails) {
      return {};
    }
    const auto handle = ledger_.open_as<platform::DesktopHandle>("desktop");
    names_[handle.raw()] = input_desktop_name;
    return handle;
  }
  bool get_user_object_name(platform::DesktopHandle object, std::span<char16_t> buffer,
                            std::uint32_t& needed_bytes) override {
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
  bool set_thread_desktop(platform::DesktopHandle desktop) override {
    if (attach_fails || !ledger_.is_open(desktop)) {
      return false;
    }
    thread_desktop = desktop;
    return true;
  }
  void close_desktop(platform::DesktopHandle desktop) override {
    if (desktop == thread_desktop) {
      // ERROR_BUSY: the thread sits on this handle.
      refused_closes.push_back(desktop);
      return;
    }
    names_.erase(desktop.raw());
    ledger_.release(desktop.raw(), Release::kCloseDesktop);
  }

  std::size_t open_desktops() const { return ledger_.open_count("desktop"); }

 private:
  HandleLedger& ledger_;
  std::map<platform::RawHandle, std::u16string> names_;
};

}  // namespace tarnu::fakes
