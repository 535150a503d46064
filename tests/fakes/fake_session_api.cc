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
  if (!user_sid) {
    return Unexpected(platform::WindowsErrorCode{1008});  // ERROR_NO_TOKEN
  }
  return ledger_.open("token", Release::kCloseHandle);
}

std::uint32_t FakeSessionApi::token_user_size(platform::RawHandle token) {
  if (!ledger_.is_open(token) || token_user_size_zero) {
    return 0;
  }
  return sizeof(kTokenUserMarker) + 20;
}

Expected<void, platform::WindowsErrorCode> FakeSessionApi::read_token_user(
    platform::RawHandle token, std::span<std::byte> buffer) {
  if (!ledger_.is_open(token) || buffer.size() < sizeof(kTokenUserMarker)) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  if (read_token_user_error) {
    return Unexpected(*read_token_user_error);
  }
  std::memcpy(buffer.data(), kTokenUserMarker, sizeof(kTokenUserMarker));
  return {};
}

Expected<platform::RawHandle, platform::WindowsErrorCode>
FakeSessionApi::convert_token_user_sid_to_string(std::span<const std::byte> token_user) {
  if (token_user.size() < sizeof(kTokenUserMarker) ||
      std::memcmp(token_user.data(), kTokenUserMarker, sizeof(kTokenUserMarker)) != 0) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  if (convert_sid_error) {
    return Unexpected(*convert_sid_error);
  }
  const platform::RawHandle text = ledger_.open("sid text", Release::kLocalFree);
  texts_[text] = *user_sid;
  return text;
}

std::u16string FakeSessionApi::wide_text(platform::RawHandle text) {
  if (!ledger_.is_open(text)) {
    return u"<freed>";
  }
  return texts_[text];
}

}  // namespace tarnu::fakes
