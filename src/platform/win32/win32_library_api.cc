#include "platform/win32/win32_library_api.h"

#include <windows.h>

#include "platform/win32/win32_call_support.h"
#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {
namespace {

HMODULE to_module(ModuleHandle value) { return reinterpret_cast<HMODULE>(value.raw()); }

// The address travels as an integer, so no function-pointer-to-function-pointer cast
// (which -Wcast-function-type rejects) is needed.
using VoidBoolProcedure = VOID(WINAPI*)(BOOL);

}  // namespace

ModuleHandle Win32LibraryApi::load_system_library(const std::u16string& name) {
  return wrap<ModuleHandle>(win32::load_system_library(wide(name)));
}

RawProcedure Win32LibraryApi::get_proc_address(ModuleHandle module, const std::string& name) {
  return reinterpret_cast<RawProcedure>(::GetProcAddress(to_module(module), name.c_str()));
}

void Win32LibraryApi::call_void_bool_procedure(RawProcedure procedure, bool argument) {
  reinterpret_cast<VoidBoolProcedure>(procedure)(argument ? TRUE : FALSE);
}

void Win32LibraryApi::free_library(ModuleHandle module) { ::FreeLibrary(to_module(module)); }

LibraryApi& library_api() {
  static Win32LibraryApi api;
  return api;
}

}  // namespace tarnu::platform::win32
