#pragma once

#include "platform/session_api.h"

namespace tarnu::platform::win32 {

class Win32SessionApi final : public SessionApi {
 public:
  Expected<std::uint32_t, WindowsErrorCode> current_process_session() override;
  Expected<TokenHandle, WindowsErrorCode> query_user_token(std::uint32_t session) override;
  Expected<TokenHandle, WindowsErrorCode> open_process_token() override;
  std::uint32_t token_user_size(TokenHandle token) override;
  Expected<void, WindowsErrorCode> read_token_user(TokenHandle token,
                                                   std::span<std::byte> buffer) override;
  Expected<SidText, WindowsErrorCode> convert_token_user_sid_to_string(
      std::span<const std::byte> token_user) override;
  std::u16string wide_text(SidText text) override;
};

// The process-wide instance; it has no state.
SessionApi& session_api();

}  // namespace tarnu::platform::win32
