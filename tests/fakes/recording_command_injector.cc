#include "fakes/recording_command_injector.h"

#include <type_traits>

namespace tarnu::fakes {

StatusOutcome RecordingCommandInjector::bind_input_desktop() {
  journal_.record("bind");
  return bind_outcome;
}

void RecordingCommandInjector::inject(const protocol::InputCommand& command) {
  journal_.record("inject " + describe(command));
}

StatusOutcome RecordingCommandInjector::release_at_connection_end() {
  journal_.record("release at connection end");
  return release_outcome;
}

std::string describe(const protocol::InputCommand& command) {
  using Command = protocol::InputCommand;
  return std::visit(
      [](const auto& value) -> std::string {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, Command::MouseMove>) {
          std::string text = "move " + std::to_string(value.x) + " " + std::to_string(value.y);
          if (value.drag_button) {
            text += " " + std::string(protocol::mouse_button_name(*value.drag_button));
          }
          return text;
        } else if constexpr (std::is_same_v<T, Command::MouseButton>) {
          return "button " + std::string(protocol::mouse_button_name(value.button)) +
                 (value.down ? " down " : " up ") + std::to_string(value.x) + " " +
                 std::to_string(value.y);
        } else if constexpr (std::is_same_v<T, Command::Scroll>) {
          return "scroll " + std::to_string(value.delta_x) + " " + std::to_string(value.delta_y);
        } else if constexpr (std::is_same_v<T, Command::Key>) {
          return "key " + std::to_string(value.key_code) + (value.down ? " down" : " up");
        } else if constexpr (std::is_same_v<T, Command::ReleaseAll>) {
          return "release-all";
        } else {
          return "sas";
        }
      },
      command.value);
}

}  // namespace tarnu::fakes
