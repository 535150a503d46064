#include "protocol/input_command.h"

namespace tarnu::protocol {

std::string_view mouse_button_name(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft:
      return "left";
    case MouseButton::kRight:
      return "right";
    case MouseButton::kMiddle:
      return "middle";
    case MouseButton::kBack:
      return "back";
    case MouseButton::kForward:
      return "forward";
  }
  return "left";
}

}  // namespace tarnu::protocol
