#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/expected.h"
#include "platform/handles.h"
#include "platform/types.h"

namespace tarnu::platform::win32 {

// What every Win32 implementation of the seam needs around a call: the failing call's error,
// its text in the form Windows takes, and the few conversions that more than one area makes.

// GetLastError() of the call that just failed; read before anything else can overwrite it.
inline WindowsErrorCode last_error_code() {
  return static_cast<WindowsErrorCode>(::GetLastError());
}
// The same as the failure of a seam call. Always wrapped: an Expected whose value is itself a
// number (a session, a process ID) would take a bare code for a success.
inline Unexpected<WindowsErrorCode> last_error() { return Unexpected(last_error_code()); }

// The portable code's UTF-16 text as Windows takes it: wchar_t is 16 bits with MinGW-w64 as
// with MSVC, so the units are the same and only the pointer type changes. The string's own
// terminator is the NUL Windows needs.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline const wchar_t* wide(const std::u16string& text) { return wide(text.c_str()); }
inline wchar_t* wide(std::u16string& text) { return reinterpret_cast<wchar_t*>(text.data()); }

// The system's own message for an error code (FormatMessageW from the system's table), without
// its trailing line break; empty when the system has none.
std::u16string system_message(WindowsErrorCode code);

inline PSECURITY_DESCRIPTOR to_pointer(SecurityDescriptor descriptor) {
  return reinterpret_cast<PSECURITY_DESCRIPTOR>(descriptor.raw());
}

// ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, NULL): the
// descriptor, for the caller to free with LocalFree.
Expected<SecurityDescriptor, WindowsErrorCode> descriptor_from_sddl(std::u16string_view sddl);

// The DACL of a descriptor that is to be set on an object; ERROR_INVALID_SECURITY_DESCR when
// it has none or a null one, either of which would give everyone full access.
Expected<PACL, WindowsErrorCode> present_dacl(SecurityDescriptor descriptor);

// LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32): a library that is not a
// KnownDLL, loaded by its bare name, would be searched for in the executable's folder first;
// this looks in System32 only. nullptr when it fails (the last error says why).
inline HMODULE load_system_library(const wchar_t* library) {
  return ::LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// An export's address as the function type it is declared with; nullptr when the address is.
// Through a plain function pointer type, which -Wcast-function-type accepts.
template <typename Function>
Function procedure_as(FARPROC found) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

}  // namespace tarnu::platform::win32
