#pragma once

#include <windows.h>

#include "platform/types.h"
#include "platform/win32/win32_call_support.h"

namespace tarnu::platform::win32 {

// An export of a system library that is not a KnownDLL (wtsapi32.dll, ...). Such a library,
// imported by name in the executable's import table, is searched for in the executable's
// folder first, so the program imports none of them: each is loaded at run time with
// load_system_library, which looks in System32 only, and the export is found with
// GetProcAddress. An export that only newer systems have (kernel32's GetTempPath2W) is looked
// up the same way.
//
// Meant to be a function-local static, constructed at the first use (thread-safe) and kept
// for the rest of the process: the object is the module reference's one owner and never
// releases it. The address it hands out may be in use on any thread until the process ends,
// so FreeLibrary (even from a static destructor at exit) could pull the code from under a
// caller; the system unmaps the module when the process ends.
template <typename Function>
class SystemProcedure {
 public:
  SystemProcedure(const wchar_t* library, const char* name) {
    module_ = load_system_library(library);
    if (module_ == nullptr) {
      error_ = last_error_code();
      return;
    }
    const FARPROC found = ::GetProcAddress(module_, name);
    if (found == nullptr) {
      // Typically ERROR_PROC_NOT_FOUND (127). The module stays loaded with the object; it is
      // not looked for again.
      error_ = last_error_code();
      return;
    }
    function_ = procedure_as<Function>(found);
  }
  SystemProcedure(const SystemProcedure&) = delete;
  SystemProcedure& operator=(const SystemProcedure&) = delete;

  // The export; nullptr when the load or the lookup failed.
  Function function() const { return function_; }
  // The Windows error of the load or of the lookup that failed; 0 when neither did.
  WindowsErrorCode error() const { return error_; }

 private:
  HMODULE module_ = nullptr;
  Function function_ = nullptr;
  WindowsErrorCode error_ = 0;
};

}  // namespace tarnu::platform::win32
