// tarnu-bench-reference: the two servers the worker's throughput is compared with. Each
// serves the worker's pipe (same name, same creation arguments) for one client and reports
// its frames per second.
//
//   tarnu-bench-reference.exe --bare|--floor FRAMES
//
// --bare reads each frame as the worker does (the length, then the payload) and discards
// it: the limit of the transport. --floor makes per frame, in the worker's order, only the
// platform calls the worker must make for that frame: the input-desktop binding, the status
// file rewrite with its folder attempt, and the input calls of the command. It does not
// decode: the mix is known in advance, so frame i is command i of the mix. No bookkeeping,
// no text handling beyond the file's three lines.

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <variant>
#include <vector>

#include "bench_common_win.h"
#include "common/pipe_client_win.h"
#include "mix/command_mix.h"

namespace {

using namespace tarnu::bench;
using tarnu::protocol::InputCommand;

constexpr char kUsage[] = "usage: tarnu-bench-reference.exe --bare|--floor FRAMES";
constexpr DWORD kMaxPayload = 65536;
constexpr DWORD kDesktopAccess = 0x000001B3;

bool read_exactly(HANDLE pipe, std::uint8_t* buffer, DWORD size) {
  DWORD received = 0;
  while (received < size) {
    DWORD read = 0;
    if (!::ReadFile(pipe, buffer + received, size - received, &read, nullptr) || read == 0) {
      return false;
    }
    received += read;
  }
  return true;
}

LONG normalise(LONG position, LONG origin, LONG extent) {
  const std::int64_t span = extent >= 2 ? extent - 1 : 1;
  const std::int64_t scaled = (std::int64_t{position} - origin) * 65535 / span;
  return static_cast<LONG>(std::clamp<std::int64_t>(scaled, 0, 65535));
}

void send_one(INPUT& input) { ::SendInput(1, &input, sizeof(INPUT)); }

void move(std::int32_t x, std::int32_t y) {
  const LONG left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const LONG top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const LONG width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const LONG height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = normalise(x, left, width);
  input.mi.dy = normalise(y, top, height);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_VIRTUALDESK | MOUSEEVENTF_ABSOLUTE;
  send_one(input);
}

class Floor {
 public:
  Floor() {
    wchar_t base[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"ProgramData", base, MAX_PATH);
    folder_ = std::wstring(base, std::min<DWORD>(length, MAX_PATH));
    if (!folder_.empty() && folder_.back() != L'\\') {
      folder_ += L'\\';
    }
    folder_ += L"Tarnu";
    path_ = folder_ + L"\\input-helper-status-s" + std::to_wstring(own_session()) + L".txt";
  }

  // The mix holds moves (a drag is a move: its button is already down), keys and presses
  // and releases of the left button, nothing else.
  void frame(const InputCommand& command) {
    bind();
    write_status();
    INPUT input{};
    if (const auto* key = std::get_if<InputCommand::Key>(&command.value)) {
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = key->key_code;
      input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key->key_code, MAPVK_VK_TO_VSC));
      input.ki.dwFlags = key->down ? 0 : KEYEVENTF_KEYUP;
      send_one(input);
    } else if (const auto* move_command = std::get_if<InputCommand::MouseMove>(&command.value)) {
      move(move_command->x, move_command->y);
    } else if (const auto* button = std::get_if<InputCommand::MouseButton>(&command.value)) {
      move(button->x, button->y);
      input.type = INPUT_MOUSE;
      input.mi.dwFlags = button->down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
      send_one(input);
    }
  }

  ~Floor() {
    if (desktop_ != nullptr) {
      ::CloseDesktop(desktop_);
    }
    if (folder_handle_ != INVALID_HANDLE_VALUE) {
      ::CloseHandle(folder_handle_);
    }
  }

 private:
  void bind() {
    HDESK opened = ::OpenInputDesktop(0, FALSE, kDesktopAccess);
    if (opened == nullptr) {
      return;
    }
    wchar_t name[256] = {};
    DWORD needed = 0;
    ::GetUserObjectInformationW(opened, UOI_NAME, name, sizeof(name), &needed);
    if (!::SetThreadDesktop(opened)) {
      ::CloseDesktop(opened);
      return;
    }
    if (desktop_ != nullptr) {
      ::CloseDesktop(desktop_);
    }
    desktop_ = opened;
  }

  void write_status() {
    // The value is read as the worker reads it; the path was built once, and the folder,
    // checked once, is held as the worker holds it.
    wchar_t base[MAX_PATH];
    ::GetEnvironmentVariableW(L"ProgramData", base, MAX_PATH);
    if (folder_handle_ == INVALID_HANDLE_VALUE) {
      ::CreateDirectoryW(folder_.c_str(), nullptr);
      folder_handle_ =
          ::CreateFileW(folder_.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    const std::uint64_t since_1601 =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    char content[64];
    const int size = std::snprintf(content, sizeof(content), "%llu\nDefault\n\n",
                                   (since_1601 - 116444736000000000ULL) / 10000);
    HANDLE file =
        ::CreateFileW(path_.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      return;
    }
    // What the file is (no link, one name) and how long, before it is emptied.
    FILE_ATTRIBUTE_TAG_INFO tag{};
    FILE_STANDARD_INFO standard{};
    ::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof(tag));
    ::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard));
    if (standard.EndOfFile.QuadPart != 0) {
      ::SetEndOfFile(file);
    }
    DWORD written = 0;
    ::WriteFile(file, content, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(file);
  }

  std::wstring folder_;
  std::wstring path_;
  HANDLE folder_handle_ = INVALID_HANDLE_VALUE;
  HDESK desktop_ = nullptr;
};

// The pipe instance exactly as the worker creates it.
HANDLE create_pipe(DWORD session) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:P(A;;GA;;;SY)(A;;GA;;;IU)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return INVALID_HANDLE_VALUE;
  }
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  HANDLE pipe = ::CreateNamedPipeW(
      tarnu::tools::worker_pipe_name(session).c_str(),
      PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_REJECT_REMOTE_CLIENTS | PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, kMaxPayload,
      kMaxPayload, 0, &attributes);
  ::LocalFree(descriptor);
  return pipe;
}

}  // namespace

// wmain in a GUI-subsystem program: the runtime's start-up calls it all the same.
int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc == 3 ? argv[1] : L"";
  unsigned long long frames = 0;
  if ((mode != L"--bare" && mode != L"--floor") || !parse_number(argv[2], frames) || frames == 0) {
    return fail(kUsage);
  }
  const bool floor_mode = mode == L"--floor";

  // The commands are made before the clock starts.
  std::vector<InputCommand> commands;
  if (floor_mode) {
    commands.reserve(frames);
    for (std::size_t i = 0; i < frames; ++i) {
      commands.push_back(mix_command(i));
    }
  }
  Floor floor;
  std::vector<std::uint8_t> payload(kMaxPayload);

  HANDLE pipe = create_pipe(own_session());
  if (pipe == INVALID_HANDLE_VALUE) {
    return fail("tarnu-bench-reference: CreateNamedPipeW failed with Windows error " +
                std::to_string(::GetLastError()));
  }
  if (!::ConnectNamedPipe(pipe, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
    ::CloseHandle(pipe);
    return fail("tarnu-bench-reference: ConnectNamedPipe failed");
  }
  std::uint64_t served = 0;
  double start = 0;
  for (;;) {
    // The length is little-endian, as Windows is.
    DWORD length = 0;
    if (!read_exactly(pipe, reinterpret_cast<std::uint8_t*>(&length), sizeof length)) {
      break;
    }
    if (served == 0) {
      start = now_seconds();
    }
    if (length == 0 || length > kMaxPayload || !read_exactly(pipe, payload.data(), length)) {
      break;
    }
    if (floor_mode && served < commands.size()) {
      floor.frame(commands[served]);
    }
    ++served;
  }
  const double seconds = now_seconds() - start;
  ::DisconnectNamedPipe(pipe);
  ::CloseHandle(pipe);
  print_rate(floor_mode ? "floor" : "bare", served, seconds);
  return 0;
}
