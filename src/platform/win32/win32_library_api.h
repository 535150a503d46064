#pragma once

#include "platform/library_api.h"

namespace tarnu::platform::win32 {

class Win32LibraryApi final : public LibraryApi {
 public:
  ModuleHandle load_system_library(const std::u16string& name) override;
  RawProcedure get_proc_address(ModuleHandle module, const std::string& name) override;
  void call_void_bool_procedure(RawProcedure procedure, bool argument) override;
  void free_library(ModuleHandle module) override;
};

// The process-wide instance; it has no state.
LibraryApi& library_api();

}  // namespace tarnu::platform::win32
