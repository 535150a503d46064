#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/handle_api.h"
#include "platform/input_pipe_name.h"
#include "platform/session_api.h"

namespace tarnu::worker {

using platform::input_pipe_name;

// What a lookup of the user logged on to a session found.
struct SessionUser {
  enum class Kind {
    // Someone is logged on: sid_text is their SID.
    kUser,
    // The session has no user token (ERROR_NO_TOKEN): nobody is logged on.
    kNobody,
    // The lookup failed otherwise: whoever is logged on is not known.
    kUnknown,
  };
  Kind kind = Kind::kUnknown;
  std::string sid_text;
};

// The pipe's security descriptor as SDDL. The DACL gives full access to SYSTEM and to the
// session's user, to the interactive users when nobody is logged on (the sign-in screen's
// client), and to nobody else when the user is unknown; nothing is inherited. The mandatory
// label keeps out every process below medium integrity (no read, write or execute up):
// a sandboxed or low-integrity process of the user cannot even open the pipe, and so cannot
// hold its one instance. The owner, when given, is the worker's own user: clients check it
// (a pipe owned by LocalSystem cannot have been made by a standard user), so it is set
// explicitly rather than left to the token's default owner.
std::string input_pipe_sddl(const SessionUser& user, std::string_view owner_sid = {});

// Who is logged on to the session: WTSQueryUserToken, then the token's user as SID text.
SessionUser session_user(platform::SessionApi& sessions, platform::HandleApi& handles,
                         std::uint32_t session);

// The string SID of the worker process's own token user (SYSTEM when the service started
// it), or "" when it cannot be had.
std::string process_user_sid_text(platform::SessionApi& sessions, platform::HandleApi& handles);

}  // namespace tarnu::worker
