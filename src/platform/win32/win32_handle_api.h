#pragma once

#include <windows.h>

#include "platform/handle_api.h"

namespace tarnu::platform::win32 {

// The pointer behind a handle of the portable code, and back: the only places where one
// becomes the other.
inline HANDLE to_handle(RawHandle value) { return reinterpret_cast<HANDLE>(value); }
template <typename Kind>
HANDLE to_handle(Handle<Kind> value) {
  return to_handle(value.raw());
}
template <typename HandleType, typename Pointer>
HandleType wrap(Pointer pointer) {
  return HandleType(reinterpret_cast<RawHandle>(pointer));
}

class Win32HandleApi final : public HandleApi {
 private:
  void close_kernel_object(RawHandle handle) override;
  void free_local_memory(RawHandle memory) override;
};

// The process-wide instance; it has no state.
HandleApi& handle_api();

}  // namespace tarnu::platform::win32
