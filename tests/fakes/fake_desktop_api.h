#pragma once

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
                                             std::uint32_t desired_access) override;
  bool get_user_object_name(platform::DesktopHandle object, std::span<char16_t> buffer,
                            std::uint32_t& needed_bytes) override;
  bool set_thread_desktop(platform::DesktopHandle desktop) override;
  void close_desktop(platform::DesktopHandle desktop) override;

  std::size_t open_desktops() const { return ledger_.open_count("desktop"); }

 private:
  HandleLedger& ledger_;
  std::map<platform::RawHandle, std::u16string> names_;
};

}  // namespace tarnu::fakes
