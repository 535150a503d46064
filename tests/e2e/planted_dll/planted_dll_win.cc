// A stand-in for a DLL that someone planted beside the helper's executable. Copied there as
// sas.dll and wtsapi32.dll, it exports the functions the helper wants from those libraries,
// and whenever a process loads it, it leaves a marker beside itself: "<its own path>.loaded",
// holding the path of the process that loaded it. The helper must never load it.

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring module_path(HMODULE module) {
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), length < buffer.size() ? length : 0);
}

// Only kernel32 calls: they are safe under the loader lock.
void leave_marker(HMODULE self) {
  const std::wstring own = module_path(self);
  if (own.empty()) {
    return;
  }
  HANDLE marker = ::CreateFileW((own + L".loaded").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker == INVALID_HANDLE_VALUE) {
    return;
  }
  const std::wstring host = module_path(nullptr) + L"\n";
  DWORD written = 0;
  ::WriteFile(marker, host.data(), static_cast<DWORD>(host.size() * sizeof(wchar_t)), &written,
              nullptr);
  ::CloseHandle(marker);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    leave_marker(instance);
  }
  return TRUE;
}

// sas.dll's export: does nothing, so a process that took this copy would carry on.
__declspec(dllexport) VOID WINAPI SendSAS(BOOL) {}

// wtsapi32.dll's: no session has a user.
__declspec(dllexport) BOOL WINAPI WTSQueryUserToken(ULONG, PHANDLE token) {
  if (token != nullptr) {
    *token = nullptr;
  }
  ::SetLastError(ERROR_NO_TOKEN);
  return FALSE;
}

}  // extern "C"
