#pragma once

#include <cstdint>

namespace tarnu::platform {

// A platform handle (HANDLE, HDESK, HMODULE, HLOCAL, ...) as the portable code sees it: an
// opaque value, 0 meaning "none". Only the Win32 side of the seam turns it back into a
// pointer; the recording fakes hand out small counters instead.
using RawHandle = std::uintptr_t;

// A GetLastError() value, read by the Win32 side right after the failing call.
using WindowsErrorCode = std::uint32_t;

// Windows error codes the portable code reacts to or reports (held to the SDK in
// win32/win32_error_codes.cc).
inline constexpr WindowsErrorCode kErrorSuccess = 0;
inline constexpr WindowsErrorCode kErrorFileNotFound = 2;
inline constexpr WindowsErrorCode kErrorPathNotFound = 3;
inline constexpr WindowsErrorCode kErrorAccessDenied = 5;
inline constexpr WindowsErrorCode kErrorInvalidHandle = 6;
inline constexpr WindowsErrorCode kErrorInvalidParameter = 87;
inline constexpr WindowsErrorCode kErrorBrokenPipe = 109;
inline constexpr WindowsErrorCode kErrorCallNotImplemented = 120;
inline constexpr WindowsErrorCode kErrorAlreadyExists = 183;
inline constexpr WindowsErrorCode kErrorPipeBusy = 231;
inline constexpr WindowsErrorCode kErrorNoData = 232;
inline constexpr WindowsErrorCode kErrorPipeNotConnected = 233;
inline constexpr WindowsErrorCode kErrorPipeConnected = 535;
inline constexpr WindowsErrorCode kErrorNoToken = 1008;
inline constexpr WindowsErrorCode kErrorFailedServiceControllerConnect = 1063;

}  // namespace tarnu::platform
