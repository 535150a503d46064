#pragma once

#include <cstdint>

#include "platform/input_api.h"
#include "protocol/input_command.h"
#include "windows_input/refusal_warning.h"

namespace tarnu::windows_input {

// MOUSEINPUT dwFlags.
inline constexpr std::uint32_t kMouseEventMove = 0x0001;
inline constexpr std::uint32_t kMouseEventLeftDown = 0x0002;
inline constexpr std::uint32_t kMouseEventLeftUp = 0x0004;
inline constexpr std::uint32_t kMouseEventRightDown = 0x0008;
inline constexpr std::uint32_t kMouseEventRightUp = 0x0010;
inline constexpr std::uint32_t kMouseEventMiddleDown = 0x0020;
inline constexpr std::uint32_t kMouseEventMiddleUp = 0x0040;
inline constexpr std::uint32_t kMouseEventXDown = 0x0080;
inline constexpr std::uint32_t kMouseEventXUp = 0x0100;
inline constexpr std::uint32_t kMouseEventWheel = 0x0800;
inline constexpr std::uint32_t kMouseEventHWheel = 0x1000;
inline constexpr std::uint32_t kMouseEventVirtualDesk = 0x4000;
inline constexpr std::uint32_t kMouseEventAbsolute = 0x8000;
inline constexpr std::uint32_t kAbsoluteMoveFlags =
    kMouseEventMove | kMouseEventVirtualDesk | kMouseEventAbsolute;

// mouseData of the X buttons.
inline constexpr std::uint32_t kXButton1 = 1;
inline constexpr std::uint32_t kXButton2 = 2;

// One wheel detent in mouseData units.
inline constexpr std::int64_t kWheelDelta = 120;

// A virtual-screen pixel coordinate as an absolute coordinate 0..65535 over the virtual
// screen that starts at `origin` and is `extent` pixels long.
std::int32_t normalise_coordinate(std::int32_t position, std::int32_t origin, std::int32_t extent);

// Wheel detents as mouseData, clamped to the 32-bit range rather than wrapped.
std::uint32_t wheel_mouse_data(std::int32_t detents);

// The button event of a press or release: dwFlags and mouseData.
struct ButtonEvent {
  std::uint32_t flags;
  std::uint32_t mouse_data;
};
ButtonEvent button_event(protocol::MouseButton button, bool down);

// Synthetic mouse input for the desktop the calling thread is attached to.
class PointerInjector {
 public:
  PointerInjector(platform::InputApi& input, RefusalWarning& refusals)
      : input_(input), refusals_(refusals) {}

  // Moves the pointer to a virtual-screen pixel; falls back to SetCursorPos when the
  // absolute move is refused.
  void move_pointer(std::int32_t x, std::int32_t y);
  // Presses or releases a button, after a move to (x, y) unless both are 0.
  void inject_mouse_button(protocol::MouseButton button, bool down, std::int32_t x, std::int32_t y);
  // Turns the vertical wheel, then the horizontal one; a zero delta sends nothing.
  void inject_scroll(std::int32_t delta_x, std::int32_t delta_y);

 private:
  platform::InputApi& input_;
  RefusalWarning& refusals_;
};

}  // namespace tarnu::windows_input
