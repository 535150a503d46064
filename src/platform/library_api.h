#pragma once

#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "platform/scoped_object.h"

namespace tarnu::platform {

// The address of an exported function, as opaque as a handle; 0 means "none".
using RawProcedure = std::uintptr_t;

// Libraries loaded at run time (kernel32). Only from the system directory: a library found
// beside the executable or on PATH would run with the process's rights (SYSTEM's, in the
// service and its worker).
class LibraryApi {
 public:
  virtual ~LibraryApi() = default;

  // LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), name NUL-terminated: the
  // module handle, or 0. Only System32 is searched, never the executable's folder.
  virtual ModuleHandle load_system_library(const std::u16string& name) = 0;
  // GetProcAddress(module, name): the export's address, or 0.
  virtual RawProcedure get_proc_address(ModuleHandle module, const std::string& name) = 0;
  // Calls an export whose signature is VOID WINAPI f(BOOL), such as SendSAS.
  virtual void call_void_bool_procedure(RawProcedure procedure, bool argument) = 0;
  // FreeLibrary; its result is not used.
  virtual void free_library(ModuleHandle module) = 0;
};

using ScopedLibrary = ScopedObject<ReleasedBy<LibraryApi, ModuleHandle, &LibraryApi::free_library>>;

}  // namespace tarnu::platform
