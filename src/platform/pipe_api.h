#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/expected.h"
#include "platform/handles.h"

namespace tarnu::platform {

// The server side of the worker's input pipe. Security descriptors are freed with
// HandleApi::local_free, pipes closed with HandleApi::close_handle.
class PipeApi {
 public:
  virtual ~PipeApi() = default;

  // ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, NULL).
  virtual Expected<SecurityDescriptor, WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view sddl) = 0;

  // CreateNamedPipeW for the single inbound instance: PIPE_ACCESS_INBOUND |
  // FILE_FLAG_FIRST_PIPE_INSTANCE | WRITE_DAC (so that set_pipe_security may change its
  // DACL later), PIPE_REJECT_REMOTE_CLIENTS (byte mode, blocking), one instance,
  // 65536-byte buffers both ways, the default time-out, and the descriptor in a
  // non-inheritable SECURITY_ATTRIBUTES.
  virtual Expected<PipeHandle, WindowsErrorCode> create_input_pipe(
      std::u16string_view name, SecurityDescriptor security_descriptor) = 0;

  // GetSecurityDescriptorDacl of the descriptor, then SetSecurityInfo(pipe,
  // SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION) with
  // that DACL: the instance's access as if it had been created with the descriptor. The
  // mandatory label it was created with stays; clients already connected keep their
  // handles.
  virtual Expected<void, WindowsErrorCode> set_pipe_security(
      PipeHandle pipe, SecurityDescriptor security_descriptor) = 0;

  // ConnectNamedPipe without OVERLAPPED: blocks until a client opens the pipe.
  virtual Expected<void, WindowsErrorCode> connect_named_pipe(PipeHandle pipe) = 0;

  // ReadFile without OVERLAPPED: the number of bytes read, 0 included.
  virtual Expected<std::uint32_t, WindowsErrorCode> read_file(PipeHandle pipe,
                                                              std::span<std::uint8_t> buffer) = 0;

  // GetNamedPipeClientSessionId: the session of the connected client's process, as the
  // system recorded it when the client opened the pipe.
  virtual Expected<std::uint32_t, WindowsErrorCode> client_session_id(PipeHandle pipe) = 0;

  // DisconnectNamedPipe; the result is not examined. It also clears an instance whose
  // client left before ConnectNamedPipe. Either way new clients are refused (busy) until the
  // next ConnectNamedPipe puts the instance back to listening.
  virtual void disconnect_named_pipe(PipeHandle pipe) = 0;

  // SleepEx(milliseconds, alertable): the pause between two failed waits for a client. A user
  // APC queued to the thread (the worker's stop watcher queues one) ends it early.
  virtual void pause(std::uint32_t milliseconds) = 0;
};

}  // namespace tarnu::platform
