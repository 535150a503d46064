#include <windows.h>

#include "platform/monotonic_clock.h"
#include "platform/win32/win32_desktop_api.h"
#include "platform/win32/win32_input_api.h"
#include "platform/win32/win32_library_api.h"
#include "windows_input/command_injector.h"
#include "windows_input/input_desktop_binding.h"
#include "windows_input/input_injector.h"
#include "windows_input/keyboard_injector.h"
#include "windows_input/pointer_injector.h"

namespace tarnu::windows_input {

std::unique_ptr<CommandInjector> make_win32_command_injector() {
  return std::make_unique<InputInjector>(InjectorPlatform{
      platform::win32::desktop_api(),
      platform::win32::input_api(),
      platform::win32::library_api(),
      platform::steady_monotonic_clock(),
      RefusalGate::process_wide(),
  });
}

// The input flags and access masks the portable injectors put into their calls, held to the
// SDK's: a wrong copy fails this build instead of passing every native test.
static_assert(kMouseEventMove == MOUSEEVENTF_MOVE);
static_assert(kMouseEventLeftDown == MOUSEEVENTF_LEFTDOWN &&
              kMouseEventLeftUp == MOUSEEVENTF_LEFTUP);
static_assert(kMouseEventRightDown == MOUSEEVENTF_RIGHTDOWN &&
              kMouseEventRightUp == MOUSEEVENTF_RIGHTUP);
static_assert(kMouseEventMiddleDown == MOUSEEVENTF_MIDDLEDOWN &&
              kMouseEventMiddleUp == MOUSEEVENTF_MIDDLEUP);
static_assert(kMouseEventXDown == MOUSEEVENTF_XDOWN && kMouseEventXUp == MOUSEEVENTF_XUP);
static_assert(kMouseEventWheel == MOUSEEVENTF_WHEEL && kMouseEventHWheel == MOUSEEVENTF_HWHEEL);
static_assert(kMouseEventVirtualDesk == MOUSEEVENTF_VIRTUALDESK);
static_assert(kMouseEventAbsolute == MOUSEEVENTF_ABSOLUTE);
static_assert(kXButton1 == XBUTTON1 && kXButton2 == XBUTTON2);
static_assert(kWheelDelta == WHEEL_DELTA);
static_assert(kKeyEventExtendedKey == KEYEVENTF_EXTENDEDKEY && kKeyEventKeyUp == KEYEVENTF_KEYUP);
static_assert(kInputDesktopAccess ==
              (DESKTOP_READOBJECTS | DESKTOP_CREATEWINDOW | DESKTOP_JOURNALRECORD |
               DESKTOP_JOURNALPLAYBACK | DESKTOP_WRITEOBJECTS | DESKTOP_SWITCHDESKTOP));

}  // namespace tarnu::windows_input
