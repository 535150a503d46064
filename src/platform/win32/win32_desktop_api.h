#pragma once

#include "platform/desktop_api.h"

namespace tarnu::platform::win32 {

class Win32DesktopApi final : public DesktopApi {
 public:
  DesktopHandle open_input_desktop(std::uint32_t flags, bool inherit,
                                   std::uint32_t desired_access) override;
  bool get_user_object_name(DesktopHandle object, std::span<char16_t> buffer,
                            std::uint32_t& needed_bytes) override;
  bool set_thread_desktop(DesktopHandle desktop) override;
  void close_desktop(DesktopHandle desktop) override;
};

// The process-wide instance; it has no state.
DesktopApi& desktop_api();

}  // namespace tarnu::platform::win32
