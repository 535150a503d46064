#include "fakes/fake_session_api.h"

#include <cstring>

namespace tarnu::fakes {

namespace {

// The fake's TOKEN_USER: a marker and the token's handle.
constexpr char kTokenUserMarker[] = "token-user";
constexpr std::size_t kTokenUserSize = sizeof(kTokenUserMarker) + sizeof(platform::RawHandle);

}  // namespace

Expected<std::uint32_t, platform::WindowsErrorCode> FakeSessionApi::current_process_session() {
  return session;
}

Expected<platform::TokenHandle, platform::WindowsErrorCode> FakeSessionApi::query_user_token(
    std::uint32_t) {
  ++token_queries;
  if (!users_by_lookup.empty()) {
    user_sid = users_by_lookup.front();
    users_by_lookup.pop_front();
  }
  if (!user_sid) {
    return Unexpected(platform::WindowsErrorCode{1008});  // ERROR_NO_TOKEN
  }
  const auto token = ledger_.open_as<platform::TokenHandle>("token");
  token_sids_[token.raw()] = *user_sid;
  return token;
}

// The process runs as SYSTEM.
Expected<platform::TokenHandle, platform::WindowsErrorCode> FakeSessionApi::open_process_token() {
  const auto token = ledger_.open_as<platform::TokenHandle>("process token");
  token_sids_[token.raw()] = u"S-1-5-18";
  return token;
}

std::uint32_t FakeSessionApi::token_user_size(platform::TokenHandle token) {
  if (!ledger_.is_open(token) || token_user_size_zero) {
    return 0;
  }
  return kTokenUserSize;
}

Expected<void, platform::WindowsErrorCode> FakeSessionApi::read_token_user(
    platform::TokenHandle token, std::span<std::byte> buffer) {
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

Expected<platform::SidText, platform::WindowsErrorCode>
FakeSessionApi::convert_token_user_sid_to_string(std::span<const std::byte> token_user) {
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

std::u16string FakeSessionApi::wide_text(platform::SidText text) {
  if (!ledger_.is_open(text)) {
    return u"<freed>";
  }
  return texts_[text.raw()];
}

}  // namespace tarnu::fakes
