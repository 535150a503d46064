#include "fakes/recording_command_injector.h"

#include <type_traits>

namespace tarnu::fakes {

std::string describe(const protocol::InputCommand& command) {
  using Command = protocol::InputCommand;
  // Built by appending: GCC 12 at -O3 misreads chains of operator+ (-Wrestrict).
  std::string text;
  const auto number = [&text](std::int64_t value) {
    text += ' ';
    text += std::to_string(value);
  };
  std::visit(
      [&](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, Command::MouseMove>) {
          text = "move";
          number(value.x);
          number(value.y);
          if (value.drag_button) {
            text += ' ';
            text += protocol::mouse_button_name(*value.drag_button);
          }
        } else if constexpr (std::is_same_v<T, Command::MouseButton>) {
          text = "button ";
          text += protocol::mouse_button_name(value.button);
          text += value.down ? " down" : " up";
          number(value.x);
          number(value.y);
        } else if constexpr (std::is_same_v<T, Command::Scroll>) {
          text = "scroll";
          number(value.delta_x);
          number(value.delta_y);
        } else if constexpr (std::is_same_v<T, Command::Key>) {
          text = "key";
          number(value.key_code);
          text += value.down ? " down" : " up";
        } else if constexpr (std::is_same_v<T, Command::ReleaseAll>) {
          text = "release-all";
        } else {
          text = "sas";
        }
      },
      command.value);
  return text;
}

}  // namespace tarnu::fakes
