// A stand-in for a program that someone planted, under the name of a system program (sc.exe,
// reg.exe, ...), in the folder a script is started from. When run, it leaves a marker beside
// itself, "<its own path>.ran", and fails. The scripts must never run it.

#include <windows.h>

#include <string>
#include <vector>

int wmain() {
  std::vector<wchar_t> own(32768);
  const DWORD length = ::GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
  if (length > 0 && length < own.size()) {
    const std::wstring marker = std::wstring(own.data(), length) + L".ran";
    HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file);
    }
  }
  return 1;
}
