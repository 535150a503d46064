#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/expected.h"
#include "platform/handles.h"

namespace tarnu::platform {

// Sessions and the token of the user logged on to one. Tokens are closed with
// HandleApi::close_handle, SID texts freed with HandleApi::local_free.
class SessionApi {
 public:
  virtual ~SessionApi() = default;

  // ProcessIdToSessionId(GetCurrentProcessId()).
  virtual Expected<std::uint32_t, WindowsErrorCode> current_process_session() = 0;

  // WTSQueryUserToken: the primary token of the user logged on to the session. wtsapi32.dll
  // is loaded from System32 at the first call (LoadLibraryExW with
  // LOAD_LIBRARY_SEARCH_SYSTEM32, then GetProcAddress); when that fails, so does this, with
  // the load's or the lookup's error.
  virtual Expected<TokenHandle, WindowsErrorCode> query_user_token(std::uint32_t session) = 0;

  // OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY): the process's own token.
  virtual Expected<TokenHandle, WindowsErrorCode> open_process_token() = 0;

  // GetTokenInformation(token, TokenUser, no buffer, 0, &size): only the size it reports;
  // the call's own result is of no interest.
  virtual std::uint32_t token_user_size(TokenHandle token) = 0;

  // GetTokenInformation(token, TokenUser, buffer, size, &size) into the caller's buffer,
  // which then holds a TOKEN_USER followed by the SID it points to.
  virtual Expected<void, WindowsErrorCode> read_token_user(TokenHandle token,
                                                           std::span<std::byte> buffer) = 0;

  // ConvertSidToStringSidW on the User.Sid of a TOKEN_USER that read_token_user filled in:
  // the platform's allocation holding the text (released with local_free).
  virtual Expected<SidText, WindowsErrorCode> convert_token_user_sid_to_string(
      std::span<const std::byte> token_user) = 0;

  // The NUL-terminated UTF-16 text at an allocation that convert_token_user_sid_to_string
  // returned.
  virtual std::u16string wide_text(SidText text) = 0;
};

}  // namespace tarnu::platform
