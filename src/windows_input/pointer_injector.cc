#include "windows_input/pointer_injector.h"

#include <algorithm>
#include <limits>

namespace tarnu::windows_input {
namespace {

using platform::InputRecord;

constexpr std::int64_t kAbsoluteMax = 65535;

}  // namespace

std::int32_t normalise_coordinate(std::int32_t position, std::int32_t origin, std::int32_t extent) {
  // The last pixel maps to 65535. A virtual screen of 0 or 1 pixels (metrics unavailable)
  // still gets a span of 1, and the clamp keeps the result in range.
  const std::int64_t span = extent >= 2 ? static_cast<std::int64_t>(extent) - 1 : 1;
  const std::int64_t scaled =
      (static_cast<std::int64_t>(position) - static_cast<std::int64_t>(origin)) * kAbsoluteMax /
      span;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(scaled, 0, kAbsoluteMax));
}

std::uint32_t wheel_mouse_data(std::int32_t detents) {
  const std::int64_t amount = std::clamp<std::int64_t>(
      static_cast<std::int64_t>(detents) * kWheelDelta, std::numeric_limits<std::int32_t>::min(),
      std::numeric_limits<std::int32_t>::max());
  // mouseData is a DWORD that carries the signed amount.
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(amount));
}

ButtonEvent button_event(protocol::MouseButton button, bool down) {
  switch (button) {
    case protocol::MouseButton::kLeft:
      return {down ? kMouseEventLeftDown : kMouseEventLeftUp, 0};
    case protocol::MouseButton::kRight:
      return {down ? kMouseEventRightDown : kMouseEventRightUp, 0};
    case protocol::MouseButton::kMiddle:
      return {down ? kMouseEventMiddleDown : kMouseEventMiddleUp, 0};
    case protocol::MouseButton::kBack:
      return {down ? kMouseEventXDown : kMouseEventXUp, kXButton1};
    case protocol::MouseButton::kForward:
      return {down ? kMouseEventXDown : kMouseEventXUp, kXButton2};
  }
  return {down ? kMouseEventLeftDown : kMouseEventLeftUp, 0};
}

void PointerInjector::move_pointer(std::int32_t x, std::int32_t y) {
  // Read on every move: monitors come and go while the worker runs.
  const std::int32_t left = input_.get_system_metrics(platform::kSmXVirtualScreen);
  const std::int32_t top = input_.get_system_metrics(platform::kSmYVirtualScreen);
  const std::int32_t width = input_.get_system_metrics(platform::kSmCxVirtualScreen);
  const std::int32_t height = input_.get_system_metrics(platform::kSmCyVirtualScreen);
  const InputRecord move =
      InputRecord::Mouse(kAbsoluteMoveFlags, normalise_coordinate(x, left, width),
                         normalise_coordinate(y, top, height), 0);
  if (input_.send_input(move).inserted == 0) {
    input_.set_cursor_pos(x, y);
  }
}

void PointerInjector::inject_mouse_button(protocol::MouseButton button, bool down, std::int32_t x,
                                          std::int32_t y) {
  // (0, 0) means "where the pointer is". A failed move does not stop the button.
  if (x != 0 || y != 0) {
    move_pointer(x, y);
  }
  const ButtonEvent event = button_event(button, down);
  const platform::SendInputResult result =
      input_.send_input(InputRecord::Mouse(event.flags, 0, 0, event.mouse_data));
  if (result.inserted == 0) {
    refusals_.warn_input_refused("mouse button", result.error);
  }
}

void PointerInjector::inject_scroll(std::int32_t delta_x, std::int32_t delta_y) {
  // A refused wheel turn is of no consequence: nothing stays pressed.
  if (delta_y != 0) {
    (void)input_.send_input(InputRecord::Mouse(kMouseEventWheel, 0, 0, wheel_mouse_data(delta_y)));
  }
  if (delta_x != 0) {
    (void)input_.send_input(InputRecord::Mouse(kMouseEventHWheel, 0, 0, wheel_mouse_data(delta_x)));
  }
}

}  // namespace tarnu::windows_input
