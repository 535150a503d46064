#pragma once

#include <cstdint>
#include <vector>

#include "protocol/input_command.h"

namespace tarnu::windows_input {

// What the injected commands have pressed and not yet released, kept so that nothing stays
// stuck when a client goes away. Keys are kept in the order of their first press, without
// duplicates; buttons as a bit mask (left bit 0, right 1, middle 2, back 3, forward 4).
class HeldInput {
 public:
  const std::vector<std::uint16_t>& keys() const { return keys_; }
  std::uint8_t button_mask() const { return buttons_; }
  bool holds_button(protocol::MouseButton button) const { return (buttons_ & bit(button)) != 0; }
  bool empty() const { return keys_.empty() && buttons_ == 0; }

  // A key already held keeps its first position.
  void press_key(std::uint16_t key_code);
  void release_key(std::uint16_t key_code);
  void press_button(protocol::MouseButton button) { buttons_ |= bit(button); }
  void release_button(protocol::MouseButton button) {
    buttons_ &= static_cast<std::uint8_t>(~bit(button));
  }

  // Hands the whole list over and leaves none held.
  std::vector<std::uint16_t> take_keys();
  void clear_buttons() { buttons_ = 0; }

 private:
  static std::uint8_t bit(protocol::MouseButton button) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(button));
  }

  std::vector<std::uint16_t> keys_;
  std::uint8_t buttons_ = 0;
};

// Records a button or key command in the held input; other commands change nothing, a
// move with a drag button included.
void track_held_input(const protocol::InputCommand& command, HeldInput& held);

}  // namespace tarnu::windows_input
