#include "platform/monotonic_clock.h"
#include "platform/win32/win32_desktop_api.h"
#include "platform/win32/win32_input_api.h"
#include "platform/win32/win32_library_api.h"
#include "windows_input/command_injector.h"
#include "windows_input/input_injector.h"

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

}  // namespace tarnu::windows_input
