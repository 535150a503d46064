#pragma once

#include <cstring>
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
  // One WTSQueryUserToken result: the SID text of the user logged on, nobody (std::nullopt,
  // ERROR_NO_TOKEN) or another failure.
  struct UserLookup {
    UserLookup(const char16_t* user) : sid(user) {}             // NOLINT
    UserLookup(std::nullopt_t) {}                               // NOLINT
    UserLookup(Unexpected<platform::WindowsErrorCode> failure)  // NOLINT
        : error(failure.error()) {}
    std::optional<std::u16string> sid;
    platform::WindowsErrorCode error = platform::kErrorNoToken;
  };

  // The logged-on user's SID text; nothing means WTSQueryUserToken fails with
  // user_token_error.
  std::optional<std::u16string> user_sid = u"S-1-5-21-0-0-0-1000";
  platform::WindowsErrorCode user_token_error = platform::kErrorNoToken;
  // What successive WTSQueryUserToken calls find, one a call; once used up, user_sid and
  // user_token_error stay as the last one left them.
  std::deque<UserLookup> users_by_lookup;
  // Failure points along the lookup.
  bool token_user_size_zero = false;
  std::optional<platform::WindowsErrorCode> read_token_user_error;
  std::optional<platform::WindowsErrorCode> convert_sid_error;

  int token_queries = 0;

  Expected<std::uint32_t, platform::WindowsErrorCode> current_process_session() override {
    return session;
  }
  Expected<platform::TokenHandle, platform::WindowsErrorCode> query_user_token(
      std::uint32_t) override {
    ++token_queries;
    if (!users_by_lookup.empty()) {
      user_sid = users_by_lookup.front().sid;
      user_token_error = users_by_lookup.front().error;
      users_by_lookup.pop_front();
    }
    if (!user_sid) {
      return Unexpected(user_token_error);
    }
    const auto token = ledger_.open_as<platform::TokenHandle>("token");
    token_sids_[token.raw()] = *user_sid;
    return token;
  }
  // The process runs as SYSTEM.
  Expected<platform::TokenHandle, platform::WindowsErrorCode> open_process_token() override {
    const auto token = ledger_.open_as<platform::TokenHandle>("process token");
    token_sids_[token.raw()] = u"S-1-5-18";
    return token;
  }
  std::uint32_t token_user_size(platform::TokenHandle token) override {
    return !ledger_.is_open(token) || token_user_size_zero ? 0 : kTokenUserSize;
  }
  Expected<void, platform::WindowsErrorCode> read_token_user(platform::TokenHandle token,
                                                             std::span<std::byte> buffer) override {
    if (!ledger_.is_open(token)) {
      return Unexpected(platform::kErrorInvalidHandle);
    }
    if (buffer.size() < kTokenUserSize) {
      return Unexpected(platform::WindowsErrorCode{122});  // ERROR_INSUFFICIENT_BUFFER
    }
    if (read_token_user_error) {
      return Unexpected(*read_token_user_error);
    }
    std::memcpy(buffer.data(), kTokenUserMarker, sizeof(kTokenUserMarker));
    const platform::RawHandle raw = token.raw();
    std::memcpy(buffer.data() + sizeof(kTokenUserMarker), &raw, sizeof(raw));
    return {};
  }
  Expected<platform::SidText, platform::WindowsErrorCode> convert_token_user_sid_to_string(
      std::span<const std::byte> token_user) override {
    if (token_user.size() < kTokenUserSize ||
        std::memcmp(token_user.data(), kTokenUserMarker, sizeof(kTokenUserMarker)) != 0) {
      return Unexpected(platform::kErrorInvalidParameter);
    }
    if (convert_sid_error) {
      return Unexpected(*convert_sid_error);
    }
    platform::RawHandle token = 0;
    std::memcpy(&token, token_user.data() + sizeof(kTokenUserMarker), sizeof(token));
    const auto text = ledger_.open_as<platform::SidText>("sid text");
    texts_[text.raw()] = token_sids_[token];
    return text;
  }
  std::u16string wide_text(platform::SidText text) override {
    return ledger_.is_open(text) ? texts_[text.raw()] : u"<freed>";
  }

 private:
  // The fake's TOKEN_USER: a marker and the token's handle.
  static constexpr char kTokenUserMarker[] = "token-user";
  static constexpr std::uint32_t kTokenUserSize =
      sizeof(kTokenUserMarker) + sizeof(platform::RawHandle);

  HandleLedger& ledger_;
  std::map<platform::RawHandle, std::u16string> texts_;
  // The SID of each open token; the TOKEN_USER buffer carries the token's handle.
  std::map<platform::RawHandle, std::u16string> token_sids_;
};

}  // namespace tarnu::fakes
