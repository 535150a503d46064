#include "worker/pipe_access.h"

#include <cstddef>
#include <vector>

#include "platform/text.h"

namespace tarnu::worker {

namespace {

constexpr char kInteractiveUsers[] = "IU";

}  // namespace

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

std::string session_user_sid_text(platform::SessionApi& sessions, platform::HandleApi& handles,
                                  std::uint32_t session) {
  // Fails when nobody is logged on, and for any caller that is not LocalSystem.
  const auto token_value = sessions.query_user_token(session);
  if (!token_value) {
    return kInteractiveUsers;
  }
  const platform::ScopedHandle token(handles, *token_value);

  const std::uint32_t size = sessions.token_user_size(token.get());
  if (size == 0) {
    return kInteractiveUsers;
  }
  std::vector<std::byte> token_user(size);
  if (!sessions.read_token_user(token.get(), token_user)) {
    return kInteractiveUsers;
  }
  const auto text_value = sessions.convert_token_user_sid_to_string(token_user);
  if (!text_value) {
    return kInteractiveUsers;
  }
  const platform::ScopedLocalMemory text(handles, *text_value);
  return platform::utf16_to_utf8(sessions.wide_text(text.get()));
}

}  // namespace tarnu::worker
