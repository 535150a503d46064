#include "windows_input/keyboard_injector.h"

#include <algorithm>
#include <array>

namespace tarnu::windows_input {
namespace {

// Page Up, Page Down, End, Home, the four arrows, Print Screen, Insert, Delete, both
// Windows keys, Apps, numeric-pad Divide, Num Lock, right Ctrl and right Alt.
constexpr std::array<std::uint16_t, 18> kExtendedKeys = {
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2C,
    0x2D, 0x2E, 0x5B, 0x5C, 0x5D, 0x6F, 0x90, 0xA3, 0xA5,
};

}  // namespace

bool is_extended_key(std::uint16_t key_code) {
  return std::find(kExtendedKeys.begin(), kExtendedKeys.end(), key_code) != kExtendedKeys.end();
}

void KeyboardInjector::inject_key(std::uint16_t key_code, bool down) {
  std::uint32_t flags = down ? 0 : kKeyEventKeyUp;
  if (is_extended_key(key_code)) {
    flags |= kKeyEventExtendedKey;
  }
  // The platform acts on wVk (neither KEYEVENTF_SCANCODE nor KEYEVENTF_UNICODE is set); the
  // scan code goes along so that the receiving window sees it in lParam.
  const auto scan =
      static_cast<std::uint16_t>(input_.map_virtual_key(key_code, platform::kMapVkToVsc) & 0xFFFF);
  const platform::SendInputResult result =
      input_.send_input(platform::InputRecord::Keyboard(key_code, scan, flags));
  if (result.inserted == 0) {
    refusals_.warn_input_refused("key", result.error);
  }
}

}  // namespace tarnu::windows_input
