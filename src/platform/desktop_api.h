#pragma once

#include <cstdint>
#include <span>

#include "platform/handles.h"
#include "platform/scoped_object.h"

namespace tarnu::platform {

// Desktops of the interactive window station (user32).
class DesktopApi {
 public:
  virtual ~DesktopApi() = default;

  // OpenInputDesktop(flags, inherit, desired_access): a new handle to the desktop that
  // currently receives user input, or 0.
  virtual DesktopHandle open_input_desktop(std::uint32_t flags, bool inherit,
                                           std::uint32_t desired_access) = 0;

  // GetUserObjectInformationW(object, UOI_NAME, buffer, size of buffer in bytes,
  // &needed_bytes). The caller sets needed_bytes beforehand; the platform overwrites it with
  // the length it needs. Returns whether the call succeeded.
  virtual bool get_user_object_name(DesktopHandle object, std::span<char16_t> buffer,
                                    std::uint32_t& needed_bytes) = 0;

  // SetThreadDesktop(desktop) for the calling thread. Returns whether the thread now belongs
  // to that desktop.
  virtual bool set_thread_desktop(DesktopHandle desktop) = 0;

  // CloseDesktop; its result is not used.
  virtual void close_desktop(DesktopHandle desktop) = 0;
};

using ScopedDesktop =
    ScopedObject<ReleasedBy<DesktopApi, DesktopHandle, &DesktopApi::close_desktop>>;

}  // namespace tarnu::platform
