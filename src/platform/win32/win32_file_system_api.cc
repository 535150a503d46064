#include "platform/win32/win32_file_system_api.h"

#include <windows.h>

#include <string>

#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {

namespace {

WindowsErrorCode last_error() { return static_cast<WindowsErrorCode>(::GetLastError()); }

LPCWSTR wide(const std::u16string& text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

using GetTempPathFunction = DWORD(WINAPI*)(DWORD, LPWSTR);

// GetTempPath2W exists from Windows 11 and Server 2022 on (and gives SYSTEM a private
// directory); older systems have only GetTempPathW, so the newer one is looked up at run
// time. kernel32 is always loaded, so the module handle needs no release.
GetTempPathFunction get_temp_path_function() {
  static const GetTempPathFunction function = [] {
    HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    FARPROC found = kernel32 != nullptr ? ::GetProcAddress(kernel32, "GetTempPath2W") : nullptr;
    if (found == nullptr) {
      return &::GetTempPathW;
    }
    return reinterpret_cast<GetTempPathFunction>(reinterpret_cast<void (*)()>(found));
  }();
  return function;
}

}  // namespace

std::optional<std::u16string> Win32FileSystemApi::environment_variable(std::u16string_view name) {
  const std::u16string key(name);
  std::u16string value(64, u'\0');
  for (;;) {
    // A set but empty variable also gives 0, and leaves the last error untouched.
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(
        wide(key), reinterpret_cast<LPWSTR>(value.data()), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return std::nullopt;
      }
      return std::u16string();
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    // Too small: length is the size needed, terminator included.
    value.assign(length, u'\0');
  }
}

Expected<std::u16string, WindowsErrorCode> Win32FileSystemApi::temporary_directory() {
  const GetTempPathFunction get_temp_path = get_temp_path_function();
  std::u16string path(MAX_PATH + 1, u'\0');
  for (;;) {
    const DWORD length =
        get_temp_path(static_cast<DWORD>(path.size()), reinterpret_cast<LPWSTR>(path.data()));
    if (length == 0) {
      return Unexpected(last_error());
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.assign(length + 1, u'\0');
  }
}

Expected<void, WindowsErrorCode> Win32FileSystemApi::create_directory(std::u16string_view path) {
  const std::u16string text(path);
  if (!::CreateDirectoryW(wide(text), nullptr)) {
    return Unexpected(last_error());
  }
  return {};
}

Expected<RawHandle, WindowsErrorCode> Win32FileSystemApi::create_or_truncate_for_writing(
    std::u16string_view path) {
  const std::u16string text(path);
  HANDLE file = ::CreateFileW(wide(text), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return Unexpected(last_error());
  }
  return from_handle(file);
}

Expected<std::uint32_t, WindowsErrorCode> Win32FileSystemApi::write_file(
    RawHandle file, std::span<const std::uint8_t> bytes) {
  DWORD written = 0;
  if (!::WriteFile(to_handle(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr)) {
    return Unexpected(last_error());
  }
  return static_cast<std::uint32_t>(written);
}

std::uint64_t Win32FileSystemApi::precise_system_time() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

FileSystemApi& file_system_api() {
  static Win32FileSystemApi api;
  return api;
}

}  // namespace tarnu::platform::win32
