#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/handle_api.h"
#include "platform/session_api.h"

namespace tarnu::worker {

// `\\.\pipe\tarnu-input-s<session>`.
std::u16string input_pipe_name(std::uint32_t session);

// The pipe's DACL: full access for SYSTEM and for the given SID text, nobody else, nothing
// inherited.
std::string input_pipe_sddl(std::string_view sid_text);

// The string SID of the user logged on to the session, or "IU" (the interactive users) when
// there is no user token, the token has no user data or the SID cannot be turned into text.
// None of those fallbacks is an error: the pipe is then open to interactive users.
std::string session_user_sid_text(platform::SessionApi& sessions, platform::HandleApi& handles,
                                  std::uint32_t session);

// The string SID of the worker process's own token user (SYSTEM when the service started
// it), or "" when it cannot be had.
std::string process_user_sid_text(platform::SessionApi& sessions, platform::HandleApi& handles);

}  // namespace tarnu::worker
