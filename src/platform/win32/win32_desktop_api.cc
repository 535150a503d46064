#include "platform/win32/win32_desktop_api.h"

#include <windows.h>

#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {
namespace {

HDESK to_desktop(DesktopHandle value) { return reinterpret_cast<HDESK>(value.raw()); }

}  // namespace

DesktopHandle Win32DesktopApi::open_input_desktop(std::uint32_t flags, bool inherit,
                                                  std::uint32_t desired_access) {
  return wrap<DesktopHandle>(::OpenInputDesktop(flags, inherit ? TRUE : FALSE, desired_access));
}

bool Win32DesktopApi::get_user_object_name(DesktopHandle object, std::span<char16_t> buffer,
                                           std::uint32_t& needed_bytes) {
  DWORD needed = needed_bytes;
  const BOOL ok =
      ::GetUserObjectInformationW(to_desktop(object), UOI_NAME, buffer.data(),
                                  static_cast<DWORD>(buffer.size() * sizeof(char16_t)), &needed);
  needed_bytes = needed;
  return ok != FALSE;
}

bool Win32DesktopApi::set_thread_desktop(DesktopHandle desktop) {
  return ::SetThreadDesktop(to_desktop(desktop)) != FALSE;
}

void Win32DesktopApi::close_desktop(DesktopHandle desktop) { ::CloseDesktop(to_desktop(desktop)); }

DesktopApi& desktop_api() {
  static Win32DesktopApi api;
  return api;
}

}  // namespace tarnu::platform::win32
