#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>

#include "fakes/handle_ledger.h"
#include "platform/session_api.h"

namespace tarnu::fakes {

// A session with an optional logged-on user. Tokens and SID texts come from the ledger, so
// a test can check that each is closed or freed once.
class FakeSessionApi final : public platform::SessionApi {
 public:
  explicit FakeSessionApi(HandleLedger& ledger) : ledger_(ledger) {}

  // ProcessIdToSessionId's result.
  Expected<std::uint32_t, platform::WindowsErrorCode> session = std::uint32_t{1};
  // The logged-on user's SID text; nothing means WTSQueryUserToken fails.
  std::optional<std::u16string> user_sid = u"S-1-5-21-0-0-0-1000";
  // The users that successive WTSQueryUserToken calls find, one a call (nothing: nobody
  // logged on); once used up, user_sid stays as the last one left it.
  std::deque<std::optional<std::u16string>> users_by_lookup;
  // Failure points along the lookup.
  bool token_user_size_zero = false;
  std::optional<platform::WindowsErrorCode> read_token_user_error;
  std::optional<platform::WindowsErrorCode> convert_sid_error;

  int token_queries = 0;

  Expected<std::uint32_t, platform::WindowsErrorCode> current_process_session() override;
  Expected<platform::TokenHandle, platform::WindowsErrorCode> query_user_token(
      std::uint32_t session_id) override;
  Expected<platform::TokenHandle, platform::WindowsErrorCode> open_process_token() override;
  std::uint32_t token_user_size(platform::TokenHandle token) override;
  Expected<void, platform::WindowsErrorCode> read_token_user(platform::TokenHandle token,
                                                             std::span<std::byte> buffer) override;
  Expected<platform::SidText, platform::WindowsErrorCode> convert_token_user_sid_to_string(
      std::span<const std::byte> token_user) override;
  std::u16string wide_text(platform::SidText text) override;

 private:
  HandleLedger& ledger_;
  std::map<platform::RawHandle, std::u16string> texts_;
  // The SID of each open token; the TOKEN_USER buffer carries the token's handle.
  std::map<platform::RawHandle, std::u16string> token_sids_;
};

}  // namespace tarnu::fakes
