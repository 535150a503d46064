#include "worker/pipe_access.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace tarnu::worker {

std::string input_pipe_sddl(const SessionUser& user, std::string_view owner_sid) {
  std::string sddl;
  if (!owner_sid.empty()) {
    sddl += "O:";
    sddl += owner_sid;
  }
  sddl += "D:P(A;;GA;;;SY)";
  if (user.kind != SessionUser::Kind::kUnknown) {
    sddl += "(A;;GA;;;";
    sddl += user.kind == SessionUser::Kind::kUser ? std::string_view(user.sid_text) : "IU";
    sddl += ')';
  }
  sddl += "S:(ML;;NWNRNX;;;ME)";
  return sddl;
}

namespace {

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

SessionUser session_user(platform::SessionApi& sessions, platform::HandleApi& handles,
                         std::uint32_t session) {
  // Only ERROR_NO_TOKEN means that nobody is logged on; the query also fails for a caller
  // that is not LocalSystem, for a session that does not exist, and when it cannot be made.
  const auto token = sessions.query_user_token(session);
  if (!token) {
    return {token.error() == platform::kErrorNoToken ? SessionUser::Kind::kNobody
                                                     : SessionUser::Kind::kUnknown,
            {}};
  }
  auto sid_text = token_user_sid_text(sessions, handles, *token);
  if (!sid_text) {
    return {};
  }
  return {SessionUser::Kind::kUser, std::move(*sid_text)};
}

std::string process_user_sid_text(platform::SessionApi& sessions, platform::HandleApi& handles) {
  const auto token = sessions.open_process_token();
  if (!token) {
    return {};
  }
  return token_user_sid_text(sessions, handles, *token).value_or(std::string());
}

}  // namespace tarnu::worker
