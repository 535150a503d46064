#pragma once

#include <cstdint>

#include "platform/desktop_api.h"
#include "windows_input/status_outcome.h"

namespace tarnu::windows_input {

// DESKTOP_READOBJECTS | DESKTOP_CREATEWINDOW | DESKTOP_JOURNALRECORD |
// DESKTOP_JOURNALPLAYBACK | DESKTOP_WRITEOBJECTS | DESKTOP_SWITCHDESKTOP.
inline constexpr std::uint32_t kInputDesktopAccess = 0x000001B3;

// Name used when the platform does not report a desktop's name.
inline constexpr char kUnknownDesktopName[] = "<unknown>";

// Owns the handle of the desktop to which it last attached the calling thread (at most one
// handle; none when created). Synthetic input reaches only the desktop of the injecting
// thread, and the input desktop changes under a running worker (secure desktop of a UAC
// prompt, sign-in screen), so the thread re-attaches before every command.
class InputDesktopBinding {
 public:
  explicit InputDesktopBinding(platform::DesktopApi& desktops) : desktops_(desktops) {}
  InputDesktopBinding(const InputDesktopBinding&) = delete;
  InputDesktopBinding& operator=(const InputDesktopBinding&) = delete;

  // Attaches the calling thread to the desktop that currently receives input: success with
  // the desktop's name, or failure with a text. A failure leaves the binding, and the
  // thread, where they were.
  StatusOutcome bind_input_desktop();

  // The handle held, 0 when none. It is closed when the binding goes; if the thread still
  // sits on it then, the platform keeps it until the process ends.
  platform::DesktopHandle desktop() const { return desktop_.get(); }

 private:
  platform::DesktopApi& desktops_;
  platform::ScopedDesktop desktop_;
};

}  // namespace tarnu::windows_input
