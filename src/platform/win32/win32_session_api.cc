#include "platform/win32/win32_session_api.h"

#include <windows.h>

#include <sddl.h>

#include "platform/win32/system_procedure.h"
#include "platform/win32/win32_call_support.h"
#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {
namespace {

// BOOL WTSQueryUserToken(ULONG SessionId, PHANDLE phToken), from wtsapi32.dll.
using WtsQueryUserTokenFunction = BOOL(WINAPI*)(ULONG, PHANDLE);

const SystemProcedure<WtsQueryUserTokenFunction>& wts_query_user_token() {
  static const SystemProcedure<WtsQueryUserTokenFunction> procedure(L"wtsapi32.dll",
                                                                    "WTSQueryUserToken");
  return procedure;
}

}  // namespace

Expected<std::uint32_t, WindowsErrorCode> Win32SessionApi::current_process_session() {
  DWORD session = 0;
  if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) {
    return last_error();
  }
  return static_cast<std::uint32_t>(session);
}

Expected<TokenHandle, WindowsErrorCode> Win32SessionApi::query_user_token(std::uint32_t session) {
  // wtsapi32.dll missing from System32, or without the export: the query fails with the
  // load's or the lookup's error, as it would for a session without a user.
  const SystemProcedure<WtsQueryUserTokenFunction>& query = wts_query_user_token();
  if (query.function() == nullptr) {
    return Unexpected(query.error());
  }
  HANDLE token = nullptr;
  if (!query.function()(session, &token)) {
    return last_error();
  }
  return wrap<TokenHandle>(token);
}

Expected<TokenHandle, WindowsErrorCode> Win32SessionApi::open_process_token() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return last_error();
  }
  return wrap<TokenHandle>(token);
}

std::uint32_t Win32SessionApi::token_user_size(TokenHandle token) {
  DWORD size = 0;
  ::GetTokenInformation(to_handle(token), TokenUser, nullptr, 0, &size);
  return size;
}

Expected<void, WindowsErrorCode> Win32SessionApi::read_token_user(TokenHandle token,
                                                                  std::span<std::byte> buffer) {
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!::GetTokenInformation(to_handle(token), TokenUser, buffer.data(), size, &size)) {
    return last_error();
  }
  return {};
}

Expected<SidText, WindowsErrorCode> Win32SessionApi::convert_token_user_sid_to_string(
    std::span<const std::byte> token_user) {
  if (token_user.size() < sizeof(TOKEN_USER)) {
    return Unexpected(kErrorInvalidParameter);
  }
  const auto* user = reinterpret_cast<const TOKEN_USER*>(token_user.data());
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(user->User.Sid, &text)) {
    return last_error();
  }
  return wrap<SidText>(text);
}

std::u16string Win32SessionApi::wide_text(SidText text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.raw()));
}

SessionApi& session_api() {
  static Win32SessionApi api;
  return api;
}

}  // namespace tarnu::platform::win32
