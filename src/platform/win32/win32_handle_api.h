#pragma once

#include <windows.h>

#include "platform/handle_api.h"

namespace tarnu::platform::win32 {

inline HANDLE to_handle(RawHandle value) { return reinterpret_cast<HANDLE>(value); }
inline RawHandle from_handle(HANDLE handle) { return reinterpret_cast<RawHandle>(handle); }

class Win32HandleApi final : public HandleApi {
 public:
  void close_handle(RawHandle handle) override;
  void local_free(RawHandle memory) override;
};

// The process-wide instance; it has no state.
HandleApi& handle_api();

}  // namespace tarnu::platform::win32
