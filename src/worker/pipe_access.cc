#include "worker/pipe_access.h"

#include <cstddef>
#include <vector>

#include "platform/text.h"

namespace tarnu::worker {

std::u16string input_pipe_name(std::uint32_t session) {
  const std::string digits = std::to_string(session);
  std::u16string name = u"\\\\.\\pipe\\tarnu-input-s";
  name.append(digits.begin(), digits.end());
  return name;
}

std::string input_pipe_sddl(std::string_view sid_text) {
  std::string sddl = "D:P(A;;GA;;;SY)(A;;GA;;;";
  sddl += sid_text;
  sddl += ')';
  return sddl;
}

namespace {

constexpr char kInteractiveUsers[] = "IU";

// The User SID of a token as text; nothing when any step fails. Takes the token over.
std::optional<std::string> token_user_sid_text(platform::SessionApi& sessions,
                                               platform::HandleApi& handles,
                                               platform::TokenHandle token_value) {
  const platform::ScopedToken token(handles, token_value);
  const std::uint32_t size = sessions.token_user_size(token.get());
  if (size == 0) {
    return std::nullopt;
  }
  std::vector<std::byte> token_user(size);
  if (!sessions.read_token_user(token.get(), token_user)) {
    return std::nullopt;
  }
  const auto text_value = sessions.convert_token_user_sid_to_string(token_user);
  if (!text_value) {
    return std::nullopt;
  }
  const platform::ScopedSidText text(handles, *text_value);
  return platform::utf16_to_utf8(sessions.wide_text(text.get()));
}

}  // namespace

std::string session_user_sid_text(platform::SessionApi& sessions, platform::HandleApi& handles,
                                  std::uint32_t session) {
  // Fails when nobody is logged on, and for any caller that is not LocalSystem.
  const auto token = sessions.query_user_token(session);
  if (!token) {
    return kInteractiveUsers;
  }
  return token_user_sid_text(sessions, handles, *token).value_or(kInteractiveUsers);
}

std::string process_user_sid_text(platform::SessionApi& sessions, platform::HandleApi& handles) {
  const auto token = sessions.open_process_token();
  if (!token) {
    return {};
  }
  return token_user_sid_text(sessions, handles, *token).value_or(std::string());
}

}  // namespace tarnu::worker
