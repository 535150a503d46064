#pragma once

#include <cstdint>
#include <vector>

#include "platform/desktop_api.h"
#include "platform/input_api.h"
#include "platform/library_api.h"
#include "platform/monotonic_clock.h"
#include "windows_input/command_injector.h"
#include "windows_input/held_input.h"
#include "windows_input/input_desktop_binding.h"
#include "windows_input/keyboard_injector.h"
#include "windows_input/pointer_injector.h"
#include "windows_input/refusal_gate.h"
#include "windows_input/refusal_warning.h"

namespace tarnu::windows_input {

// The platform services injection runs on.
struct InjectorPlatform {
  platform::DesktopApi& desktops;
  platform::InputApi& input;
  platform::LibraryApi& libraries;
  platform::MonotonicClock& clock;
  RefusalGate& refusal_gate;
};

// The injector state of a worker (its input-desktop binding, the held keys and the held
// buttons) and the operations on it. Lives as long as the worker, across client
// connections, and is used from the worker's one thread only.
class InputInjector final : public CommandInjector {
 public:
  explicit InputInjector(const InjectorPlatform& platform);

  StatusOutcome bind_input_desktop() override;
  StatusOutcome release_at_connection_end() override;

  // Records what the command presses or releases, then injects it, whether or not
  // Windows accepts it. ReleaseAll releases everything held.
  void inject_command(const protocol::InputCommand& command) override;

  // Releases every held key, most recent press first, then every held button, and forgets
  // them all. Only what is recorded is released.
  void release_all();

  const HeldInput& held() const { return held_; }
  const InputDesktopBinding& binding() const { return binding_; }

 private:
  InputDesktopBinding binding_;
  HeldInput held_;
  // The keys a release is working through, kept so that its storage is reused.
  std::vector<std::uint16_t> releasing_keys_;
  RefusalWarning refusals_;
  PointerInjector pointer_;
  KeyboardInjector keyboard_;
  platform::LibraryApi& libraries_;
};

}  // namespace tarnu::windows_input
