// A window that writes every keyboard and mouse message it receives to a log file, one line
// per message, so that tests can see exactly what synthetic input arrived and how.
//
//   tarnu-test-window.exe LOG_FILE [X Y WIDTH HEIGHT]
//
// The window is a borderless, topmost popup whose client area starts at screen (X, Y)
// (default 100 100 640 480). It asks for the foreground and the keyboard focus when it
// starts, and a click into it gives them back. It closes on WM_CLOSE, or by itself after
// ten minutes so that a forgotten fixture never lingers. Each line is written straight to
// the file (no buffering), and the file may be read while the window runs.

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT kLifetimeMs = 10 * 60 * 1000;

HANDLE g_log = INVALID_HANDLE_VALUE;

void log_line(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(line, sizeof line - 1, format, args);
  va_end(args);
  if (length < 0) {
    return;
  }
  length = std::min(length, static_cast<int>(sizeof line) - 2);
  line[length++] = '\n';
  DWORD written = 0;
  ::WriteFile(g_log, line, static_cast<DWORD>(length), &written, nullptr);
}

// The messages logged as keyboard and as mouse-button messages, by name.
struct MessageName {
  UINT message;
  const char* name;
};
constexpr MessageName kKeyMessages[] = {
    {WM_KEYDOWN, "WM_KEYDOWN"},   {WM_KEYUP, "WM_KEYUP"}, {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
    {WM_SYSKEYUP, "WM_SYSKEYUP"}, {WM_CHAR, "WM_CHAR"},   {WM_SYSCHAR, "WM_SYSCHAR"},
    {WM_DEADCHAR, "WM_DEADCHAR"}};
constexpr MessageName kButtonMessages[] = {
    {WM_MOUSEMOVE, "WM_MOUSEMOVE"},         {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
    {WM_LBUTTONUP, "WM_LBUTTONUP"},         {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"},
    {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},     {WM_RBUTTONUP, "WM_RBUTTONUP"},
    {WM_RBUTTONDBLCLK, "WM_RBUTTONDBLCLK"}, {WM_MBUTTONDOWN, "WM_MBUTTONDOWN"},
    {WM_MBUTTONUP, "WM_MBUTTONUP"},         {WM_MBUTTONDBLCLK, "WM_MBUTTONDBLCLK"},
    {WM_XBUTTONDOWN, "WM_XBUTTONDOWN"},     {WM_XBUTTONUP, "WM_XBUTTONUP"},
    {WM_XBUTTONDBLCLK, "WM_XBUTTONDBLCLK"}};

template <std::size_t N>
const char* message_name(const MessageName (&names)[N], UINT message) {
  for (const MessageName& entry : names) {
    if (entry.message == message) {
      return entry.name;
    }
  }
  return nullptr;
}

bool key_is_down(int virtual_key) { return (::GetKeyState(virtual_key) & 0x8000) != 0; }

// Keyboard messages: the virtual key (or character) and every field of lParam, plus the
// modifier state the window sees at that moment.
void log_key_message(const char* name, WPARAM wparam, LPARAM lparam, bool is_char) {
  const auto bits = static_cast<unsigned long>(static_cast<DWORD>(lparam));
  char what[32];
  if (is_char) {
    const auto code = static_cast<unsigned>(wparam);
    if (code > 0x20 && code < 0x7F) {
      std::snprintf(what, sizeof what, "code=0x%04x text=%c", code, static_cast<char>(code));
    } else {
      std::snprintf(what, sizeof what, "code=0x%04x text=\\u%04x", code, code);
    }
  } else {
    std::snprintf(what, sizeof what, "vk=0x%02x", static_cast<unsigned>(wparam));
  }
  log_line(
      "%s %s lParam=0x%08lx repeat=%lu scan=0x%02lx extended=%lu context=%lu prev=%lu "
      "transition=%lu shift=%d ctrl=%d alt=%d",
      name, what, bits, bits & 0xFFFF, (bits >> 16) & 0xFF, (bits >> 24) & 1, (bits >> 29) & 1,
      (bits >> 30) & 1, (bits >> 31) & 1, key_is_down(VK_SHIFT) ? 1 : 0,
      key_is_down(VK_CONTROL) ? 1 : 0, key_is_down(VK_MENU) ? 1 : 0);
}

// Mouse messages: client coordinates from lParam, the MK_ flags, and where the cursor is
// by GetCursorPos (screen coordinates).
void log_button_message(const char* name, WPARAM wparam, LPARAM lparam, UINT message) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  const int x = static_cast<short>(LOWORD(lparam));
  const int y = static_cast<short>(HIWORD(lparam));
  if (message == WM_XBUTTONDOWN || message == WM_XBUTTONUP || message == WM_XBUTTONDBLCLK) {
    log_line("%s keys=0x%04x xbutton=%u x=%d y=%d cursor=%ld,%ld", name,
             static_cast<unsigned>(GET_KEYSTATE_WPARAM(wparam)),
             static_cast<unsigned>(GET_XBUTTON_WPARAM(wparam)), x, y, cursor.x, cursor.y);
  } else {
    log_line("%s keys=0x%04x x=%d y=%d cursor=%ld,%ld", name, static_cast<unsigned>(wparam), x, y,
             cursor.x, cursor.y);
  }
}

// Wheel messages: the signed delta (WHEEL_DELTA units) and the position in lParam, which
// Windows gives in screen coordinates.
void log_wheel_message(const char* name, WPARAM wparam, LPARAM lparam) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  log_line("%s delta=%d keys=0x%04x pos=%d,%d cursor=%ld,%ld", name,
           static_cast<int>(GET_WHEEL_DELTA_WPARAM(wparam)),
           static_cast<unsigned>(GET_KEYSTATE_WPARAM(wparam)), static_cast<short>(LOWORD(lparam)),
           static_cast<short>(HIWORD(lparam)), cursor.x, cursor.y);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (const char* name = message_name(kKeyMessages, message)) {
    log_key_message(name, wparam, lparam,
                    message == WM_CHAR || message == WM_SYSCHAR || message == WM_DEADCHAR);
    // Alt combinations would otherwise open the (absent) window menu.
    return message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR
               ? 0
               : ::DefWindowProcW(window, message, wparam, lparam);
  }
  if (const char* name = message_name(kButtonMessages, message)) {
    log_button_message(name, wparam, lparam, message);
    return message == WM_XBUTTONDOWN || message == WM_XBUTTONUP || message == WM_XBUTTONDBLCLK
               ? TRUE
               : 0;
  }
  switch (message) {
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      log_wheel_message(message == WM_MOUSEWHEEL ? "WM_MOUSEWHEEL" : "WM_MOUSEHWHEEL", wparam,
                        lparam);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      log_line(message == WM_SETFOCUS ? "WM_SETFOCUS" : "WM_KILLFOCUS");
      return 0;
    case WM_TIMER:
      if (wparam == kLifetimeTimer) {
        log_line("lifetime over");
        ::DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      log_line("closed");
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

// wmain in a GUI-subsystem program: the runtime's start-up calls it all the same.
int wmain(int argc, wchar_t** argv) {
  if (argc != 2 && argc != 6) {
    std::fputs("usage: tarnu-test-window LOG_FILE [X Y WIDTH HEIGHT]\n", stderr);
    return 2;
  }
  g_log =
      ::CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_log == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot create the log file (Windows error %lu)\n", ::GetLastError());
    return 1;
  }
  const auto argument = [&](int index, int fallback) {
    return argc == 6 ? static_cast<int>(std::wcstol(argv[index], nullptr, 10)) : fallback;
  };
  const int x = argument(2, 100), y = argument(3, 100);
  const int width = argument(4, 640), height = argument(5, 480);
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = L"TarnuTestWindow";
  ::RegisterClassExW(&window_class);

  // A popup has no frame, so its client area starts exactly at (x, y) on the screen.
  HWND window = ::CreateWindowExW(WS_EX_TOPMOST, L"TarnuTestWindow", L"Tarnu test window", WS_POPUP,
                                  x, y, width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    log_line("error CreateWindowExW %lu", ::GetLastError());
    return 1;
  }
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);
  ::SetForegroundWindow(window);
  ::SetActiveWindow(window);
  ::SetFocus(window);
  ::SetTimer(window, kLifetimeTimer, kLifetimeMs, nullptr);

  POINT origin{0, 0};
  ::ClientToScreen(window, &origin);
  RECT client{};
  ::GetClientRect(window, &client);
  log_line("ready pid=%lu client=%ld,%ld,%ld,%ld foreground=%d", ::GetCurrentProcessId(), origin.x,
           origin.y, client.right, client.bottom, ::GetForegroundWindow() == window ? 1 : 0);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  ::CloseHandle(g_log);
  return 0;
}
