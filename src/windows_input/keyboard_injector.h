#pragma once

#include <cstdint>

#include "platform/input_api.h"
#include "windows_input/refusal_warning.h"

namespace tarnu::windows_input {

// KEYBDINPUT dwFlags.
inline constexpr std::uint32_t kKeyEventExtendedKey = 0x0001;
inline constexpr std::uint32_t kKeyEventKeyUp = 0x0002;

// Whether the virtual key sits in the extended part of the keyboard (navigation block,
// right-hand Ctrl and Alt, Windows keys, ...) and must be sent with KEYEVENTF_EXTENDEDKEY.
bool is_extended_key(std::uint16_t key_code);

// Synthetic keyboard input by virtual-key code, for the desktop the calling thread is
// attached to.
class KeyboardInjector {
 public:
  KeyboardInjector(platform::InputApi& input, RefusalWarning& refusals)
      : input_(input), refusals_(refusals) {}

  void inject_key(std::uint16_t key_code, bool down);

 private:
  platform::InputApi& input_;
  RefusalWarning& refusals_;
};

}  // namespace tarnu::windows_input
