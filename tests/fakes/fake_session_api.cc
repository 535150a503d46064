#include "fakes/fake_session_api.h"

#include <cstring>

namespace tarnu::fakes {

namespace {

// The fake's TOKEN_USER: a marker and the size it reports.
constexpr char kTokenUserMarker[] = "token-user";

}  // namespace

Expected<std::uint32_t, platform::WindowsErrorCode> FakeSessionApi::current_process_session() {
  return session;
}

Expected<platform::RawHandle, platform::WindowsErrorCode> FakeSessionApi::query_user_token(
    std::uint32_t) {
  ++token_queries;
  if (!users_by_lookup.empty()) {
    user_sid = users_by_lookup.front();
    users_by_lookup.pop_front();
  }
  if (!user_sid) {
    return Unexpected(platform::WindowsErrorCode{1008});  // ERROR_NO_TOKEN
  }
  const platform::RawHandle token = ledger_.open("token", Release::kCloseHandle);
  token_sids_[token] = *user_sid;
  return token;
}

Expected<platform::RawHandle, platform::WindowsErrorCode> FakeSessionApi::open_process_token() {
  if (!process_sid) {
    return Unexpected(platform::kErrorAccessDenied);
  }
  const platform::RawHandle token = ledger_.open("process token", Release::kCloseHandle);
  token_sids_[token] = *process_sid;
  return token;
}

std::uint32_t FakeSessionApi::token_user_size(platform::RawHandle token) {
  if (!ledger_.is_open(token) || token_user_size_zero) {
    return 0;
  }
  return sizeof(kTokenUserMarker) + sizeof(platform::RawHandle);
}

Expected<void, platform::WindowsErrorCode> FakeSessionApi::read_token_user(
    platform::RawHandle token, std::span<std::byte> buffer) {
  if (!ledger_.is_open(token)) {
    return Unexpected(platform::kErrorInvalidHandle);
  }
  if (buffer.size() < sizeof(kTokenUserMarker) + sizeof(platform::RawHandle)) {
    return Unexpected(platform::WindowsErrorCode{122});  // ERROR_INSUFFICIENT_BUFFER
  }
  if (read_token_user_error) {
    return Unexpected(*read_token_user_error);
  }
  std::memcpy(buffer.data(), kTokenUserMarker, sizeof(kTokenUserMarker));
  std::memcpy(buffer.data() + sizeof(kTokenUserMarker), &token, sizeof(token));
  return {};
}

Expected<platform::RawHandle, platform::WindowsErrorCode>
FakeSessionApi::convert_token_user_sid_to_string(std::span<const std::byte> token_user) {
  if (token_user.size() < sizeof(kTokenUserMarker) + sizeof(platform::RawHandle) ||
      std::memcmp(token_user.data(), kTokenUserMarker, sizeof(kTokenUserMarker)) != 0) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  if (convert_sid_error) {
    return Unexpected(*convert_sid_error);
  }
  platform::RawHandle token = 0;
  std::memcpy(&token, token_user.data() + sizeof(kTokenUserMarker), sizeof(token));
  const platform::RawHandle text = ledger_.open("sid text", Release::kLocalFree);
  texts_[text] = token_sids_[token];
  return text;
}

std::u16string FakeSessionApi::wide_text(platform::RawHandle text) {
  if (!ledger_.is_open(text)) {
    return u"<freed>";
  }
  return texts_[text];
}

}  // namespace tarnu::fakes
