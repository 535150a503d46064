#include "platform/win32/win32_input_api.h"

#include <windows.h>

#include "platform/win32/win32_call_support.h"

namespace tarnu::platform::win32 {

// The metric indices and the map type the portable code passes, held to the SDK's.
static_assert(kSmXVirtualScreen == SM_XVIRTUALSCREEN && kSmYVirtualScreen == SM_YVIRTUALSCREEN);
static_assert(kSmCxVirtualScreen == SM_CXVIRTUALSCREEN && kSmCyVirtualScreen == SM_CYVIRTUALSCREEN);
static_assert(kMapVkToVsc == MAPVK_VK_TO_VSC);

SendInputResult Win32InputApi::send_input(const InputRecord& record) {
  INPUT input{};
  if (record.type == InputRecord::Type::kKeyboard) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = record.virtual_key;
    input.ki.wScan = record.scan_code;
    input.ki.dwFlags = record.flags;
    input.ki.time = 0;
    input.ki.dwExtraInfo = 0;
  } else {
    input.type = INPUT_MOUSE;
    input.mi.dx = record.dx;
    input.mi.dy = record.dy;
    input.mi.mouseData = record.mouse_data;
    input.mi.dwFlags = record.flags;
    input.mi.time = 0;
    input.mi.dwExtraInfo = 0;
  }
  const UINT inserted = ::SendInput(1, &input, sizeof(INPUT));
  if (inserted == 0) {
    return {0, last_error_code()};
  }
  return {inserted, kErrorSuccess};
}

void Win32InputApi::set_cursor_pos(std::int32_t x, std::int32_t y) { ::SetCursorPos(x, y); }

std::int32_t Win32InputApi::get_system_metrics(int index) { return ::GetSystemMetrics(index); }

std::uint32_t Win32InputApi::map_virtual_key(std::uint32_t code, std::uint32_t map_type) {
  return ::MapVirtualKeyW(code, map_type);
}

InputApi& input_api() {
  static Win32InputApi api;
  return api;
}

}  // namespace tarnu::platform::win32
