#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

namespace tarnu::protocol {

// The five mouse buttons; the value is the button's index on the wire.
enum class MouseButton : std::uint8_t {
  kLeft = 0,
  kRight = 1,
  kMiddle = 2,
  kBack = 3,
  kForward = 4
};

inline constexpr std::size_t kMouseButtonCount = 5;

// "left", "right", "middle", "back" or "forward".
std::string_view mouse_button_name(MouseButton button);

// One decoded input command. A plain value: it holds no reference into the payload it was
// decoded from. The variant's index is the command's index on the wire.
struct InputCommand {
  struct MouseMove {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::optional<protocol::MouseButton> drag_button;
    bool operator==(const MouseMove&) const = default;
  };
  struct MouseButton {
    protocol::MouseButton button = protocol::MouseButton::kLeft;
    bool down = false;
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const MouseButton&) const = default;
  };
  struct Scroll {
    std::int32_t delta_x = 0;
    std::int32_t delta_y = 0;
    bool operator==(const Scroll&) const = default;
  };
  struct Key {
    std::uint16_t key_code = 0;
    bool down = false;
    bool operator==(const Key&) const = default;
  };
  struct ReleaseAll {
    bool operator==(const ReleaseAll&) const = default;
  };
  struct SecureAttention {
    bool operator==(const SecureAttention&) const = default;
  };

  using Variant = std::variant<MouseMove, MouseButton, Scroll, Key, ReleaseAll, SecureAttention>;
  Variant value;

  bool operator==(const InputCommand&) const = default;
};

}  // namespace tarnu::protocol
