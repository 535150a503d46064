#include "windows_input/held_input.h"

#include <algorithm>
#include <utility>

namespace tarnu::windows_input {

void HeldInput::press_key(std::uint16_t key_code) {
  if (std::find(keys_.begin(), keys_.end(), key_code) == keys_.end()) {
    keys_.push_back(key_code);
  }
}

void HeldInput::release_key(std::uint16_t key_code) {
  keys_.erase(std::remove(keys_.begin(), keys_.end(), key_code), keys_.end());
}

std::vector<std::uint16_t> HeldInput::take_keys() { return std::exchange(keys_, {}); }

void track_held_input(const protocol::InputCommand& command, HeldInput& held) {
  using protocol::InputCommand;
  if (const auto* button = std::get_if<InputCommand::MouseButton>(&command.value)) {
    if (button->down) {
      held.press_button(button->button);
    } else {
      held.release_button(button->button);
    }
  } else if (const auto* key = std::get_if<InputCommand::Key>(&command.value)) {
    if (key->down) {
      held.press_key(key->key_code);
    } else {
      held.release_key(key->key_code);
    }
  }
}

}  // namespace tarnu::windows_input
