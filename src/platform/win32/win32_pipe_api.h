#pragma once

#include "platform/pipe_api.h"

namespace tarnu::platform::win32 {

class Win32PipeApi final : public PipeApi {
 public:
  Expected<SecurityDescriptor, WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view sddl) override;
  Expected<PipeHandle, WindowsErrorCode> create_input_pipe(
      std::u16string_view name, SecurityDescriptor security_descriptor) override;
  Expected<void, WindowsErrorCode> set_pipe_security(
      PipeHandle pipe, SecurityDescriptor security_descriptor) override;
  Expected<void, WindowsErrorCode> connect_named_pipe(PipeHandle pipe) override;
  Expected<std::uint32_t, WindowsErrorCode> read_file(PipeHandle pipe,
                                                      std::span<std::uint8_t> buffer) override;
  Expected<std::uint32_t, WindowsErrorCode> client_session_id(PipeHandle pipe) override;
  void disconnect_named_pipe(PipeHandle pipe) override;
  void pause(std::uint32_t milliseconds) override;
};

// The process-wide instance; it has no state.
PipeApi& pipe_api();

}  // namespace tarnu::platform::win32
