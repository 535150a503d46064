#pragma once

#include <cstdint>

#include "platform/types.h"

namespace tarnu::platform {

// One synthetic input event, as one INPUT structure carries it. Only the fields of the
// record's type are used; time and dwExtraInfo are always 0.
struct InputRecord {
  enum class Type : std::uint32_t { kMouse = 0, kKeyboard = 1 };

  Type type = Type::kMouse;
  // MOUSEINPUT
  std::int32_t dx = 0;
  std::int32_t dy = 0;
  std::uint32_t mouse_data = 0;
  // KEYBDINPUT
  std::uint16_t virtual_key = 0;
  std::uint16_t scan_code = 0;
  // dwFlags of whichever of the two the type selects.
  std::uint32_t flags = 0;

  static InputRecord Mouse(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                           std::uint32_t mouse_data) {
    return {Type::kMouse, dx, dy, mouse_data, 0, 0, flags};
  }
  static InputRecord Keyboard(std::uint16_t virtual_key, std::uint16_t scan_code,
                              std::uint32_t flags) {
    return {Type::kKeyboard, 0, 0, 0, virtual_key, scan_code, flags};
  }
  bool operator==(const InputRecord&) const = default;
};

// What SendInput gave for one event: the number of events inserted (1, or 0 when it was
// blocked or failed) and, when 0, GetLastError() read right after the call.
struct SendInputResult {
  std::uint32_t inserted = 0;
  WindowsErrorCode error = kErrorSuccess;
};

// GetSystemMetrics indices of the virtual screen, the rectangle bounding all monitors.
inline constexpr int kSmXVirtualScreen = 76;
inline constexpr int kSmYVirtualScreen = 77;
inline constexpr int kSmCxVirtualScreen = 78;
inline constexpr int kSmCyVirtualScreen = 79;

// MapVirtualKeyW map type: virtual-key code to scan code.
inline constexpr std::uint32_t kMapVkToVsc = 0;

// Synthetic input and screen metrics (user32).
class InputApi {
 public:
  virtual ~InputApi() = default;

  // SendInput(1, &input, sizeof(INPUT)): every event travels alone.
  virtual SendInputResult send_input(const InputRecord& record) = 0;
  // SetCursorPos(x, y); its result is not used.
  virtual void set_cursor_pos(std::int32_t x, std::int32_t y) = 0;
  // GetSystemMetrics(index); 0 on failure.
  virtual std::int32_t get_system_metrics(int index) = 0;
  // MapVirtualKeyW(code, map_type); 0 when there is no translation.
  virtual std::uint32_t map_virtual_key(std::uint32_t code, std::uint32_t map_type) = 0;
};

}  // namespace tarnu::platform
