#include "platform/win32/win32_pipe_api.h"

#include <windows.h>

#include <aclapi.h>
#include <string>

#include "platform/win32/win32_call_support.h"
#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {

namespace {

// One instance, inbound only, refused to remote clients; byte stream, blocking. WRITE_DAC
// lets the worker hand the instance to the session's next user without ever closing it.
constexpr DWORD kOpenMode = PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE | WRITE_DAC;
constexpr DWORD kPipeMode =
    PIPE_REJECT_REMOTE_CLIENTS | PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
constexpr DWORD kBufferSize = 65536;
static_assert(kOpenMode == 0x000C0001 && kPipeMode == 0x00000008);

}  // namespace

Expected<SecurityDescriptor, WindowsErrorCode> Win32PipeApi::security_descriptor_from_sddl(
    std::u16string_view sddl) {
  return descriptor_from_sddl(sddl);
}

Expected<PipeHandle, WindowsErrorCode> Win32PipeApi::create_input_pipe(
    std::u16string_view name, SecurityDescriptor security_descriptor) {
  const std::u16string text(name);
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = to_pointer(security_descriptor);
  attributes.bInheritHandle = FALSE;
  HANDLE pipe = ::CreateNamedPipeW(wide(text), kOpenMode, kPipeMode, 1, kBufferSize, kBufferSize, 0,
                                   &attributes);
  if (pipe == INVALID_HANDLE_VALUE) {
    return last_error();
  }
  return wrap<PipeHandle>(pipe);
}

Expected<void, WindowsErrorCode> Win32PipeApi::set_pipe_security(
    PipeHandle pipe, SecurityDescriptor security_descriptor) {
  // A missing DACL would open the pipe to everyone.
  const auto dacl = present_dacl(security_descriptor);
  if (!dacl) {
    return Unexpected(dacl.error());
  }
  // SetSecurityInfo returns its error rather than setting the last error.
  const DWORD result =
      ::SetSecurityInfo(to_handle(pipe), SE_KERNEL_OBJECT,
                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, *dacl, nullptr);
  if (result != ERROR_SUCCESS) {
    return Unexpected(static_cast<WindowsErrorCode>(result));
  }
  return {};
}

Expected<void, WindowsErrorCode> Win32PipeApi::connect_named_pipe(PipeHandle pipe) {
  if (!::ConnectNamedPipe(to_handle(pipe), nullptr)) {
    return last_error();
  }
  return {};
}

Expected<std::uint32_t, WindowsErrorCode> Win32PipeApi::read_file(PipeHandle pipe,
                                                                  std::span<std::uint8_t> buffer) {
  DWORD read = 0;
  if (!::ReadFile(to_handle(pipe), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                  nullptr)) {
    return last_error();
  }
  return static_cast<std::uint32_t>(read);
}

Expected<std::uint32_t, WindowsErrorCode> Win32PipeApi::client_session_id(PipeHandle pipe) {
  ULONG session = 0;
  if (!::GetNamedPipeClientSessionId(to_handle(pipe), &session)) {
    return last_error();
  }
  return static_cast<std::uint32_t>(session);
}

void Win32PipeApi::disconnect_named_pipe(PipeHandle pipe) {
  ::DisconnectNamedPipe(to_handle(pipe));
}

void Win32PipeApi::pause(std::uint32_t milliseconds) { ::SleepEx(milliseconds, TRUE); }

PipeApi& pipe_api() {
  static Win32PipeApi api;
  return api;
}

}  // namespace tarnu::platform::win32
