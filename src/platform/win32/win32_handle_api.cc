#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {

void Win32HandleApi::close_kernel_object(RawHandle handle) { ::CloseHandle(to_handle(handle)); }

void Win32HandleApi::free_local_memory(RawHandle memory) {
  ::LocalFree(reinterpret_cast<HLOCAL>(memory));
}

HandleApi& handle_api() {
  static Win32HandleApi api;
  return api;
}

}  // namespace tarnu::platform::win32
