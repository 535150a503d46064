#include "windows_input/input_injector.h"

#include <array>
#include <type_traits>
#include <variant>
#include <vector>

#include "windows_input/secure_attention.h"

namespace tarnu::windows_input {

using protocol::InputCommand;

InputInjector::InputInjector(const InjectorPlatform& platform)
    : binding_(platform.desktops),
      refusals_(platform.refusal_gate, platform.clock),
      pointer_(platform.input, refusals_),
      keyboard_(platform.input, refusals_),
      libraries_(platform.libraries) {}

StatusOutcome InputInjector::bind_input_desktop() { return binding_.bind_input_desktop(); }

void InputInjector::inject_command(const InputCommand& command) {
  if (std::holds_alternative<InputCommand::ReleaseAll>(command.value)) {
    release_all();
    return;
  }
  // Recorded first: a press that Windows refuses is still released later, which is
  // harmless, while a press that got through but went unrecorded could stay stuck.
  track_held_input(command, held_);
  std::visit(
      [this](const auto& c) {
        using T = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<T, InputCommand::MouseMove>) {
          pointer_.move_pointer(c.x, c.y);
        } else if constexpr (std::is_same_v<T, InputCommand::MouseButton>) {
          pointer_.inject_mouse_button(c.button, c.down, c.x, c.y);
        } else if constexpr (std::is_same_v<T, InputCommand::Scroll>) {
          pointer_.inject_scroll(c.delta_x, c.delta_y);
        } else if constexpr (std::is_same_v<T, InputCommand::Key>) {
          keyboard_.inject_key(c.key_code, c.down);
        } else if constexpr (std::is_same_v<T, InputCommand::SecureAttention>) {
          // Nobody waits for the outcome: where sas.dll is missing the request has no
          // visible effect.
          (void)send_secure_attention(libraries_);
        }
      },
      command.value);
}

void InputInjector::release_all() {
  held_.take_keys(releasing_keys_);
  for (auto it = releasing_keys_.rbegin(); it != releasing_keys_.rend(); ++it) {
    keyboard_.inject_key(*it, false);
  }
  releasing_keys_.clear();
  // Released where the pointer is. The X buttons are released too, after the three main
  // ones, so that no button stays down on a machine nobody can reach.
  constexpr std::array kButtonOrder = {
      protocol::MouseButton::kLeft, protocol::MouseButton::kRight,   protocol::MouseButton::kMiddle,
      protocol::MouseButton::kBack, protocol::MouseButton::kForward,
  };
  for (const protocol::MouseButton button : kButtonOrder) {
    if (held_.holds_button(button)) {
      pointer_.inject_mouse_button(button, false, 0, 0);
    }
  }
  held_.clear_buttons();
}

StatusOutcome InputInjector::release_at_connection_end() {
  // Bound through the worker's own binding: the thread stays on the new desktop, and a
  // handle a thread is using cannot be closed, so a binding of its own here would leak one
  // desktop handle per connection. This binding closes it on its next successful bind.
  StatusOutcome outcome = binding_.bind_input_desktop();
  if (!outcome.success) {
    // Keep everything held: releases sent to the wrong desktop would be lost.
    return outcome;
  }
  release_all();
  return outcome;
}

}  // namespace tarnu::windows_input
