#pragma once

// What the client library decides, apart from the Windows calls that gather the facts:
// whether a pipe's server may be written to, and what each failure tells the caller.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnu::client {

// `\\.\pipe\tarnu-input-s<session>`.
std::string worker_pipe_name(std::uint32_t session);

// Whether the text has the form of a SID: "S-1-", the identifier authority, then at least
// one sub-authority, each a decimal number ("S-1-5-18"; the S in either case).
bool is_sid_text(std::string_view text);

// Who serves a pipe, as the client found out after opening it.
struct PipeServer {
  std::uint32_t process_id = 0;
  std::uint32_t session = 0;
  std::string_view user_sid;  // the process token's user, as ConvertSidToStringSidW wrote it
  // The owner of the pipe object. Nobody can make an object owned by a SID that is not in
  // their token (short of the restore privilege), so a standard user's pipe is never owned
  // by LocalSystem; and unlike the process ID, the owner cannot change hands.
  std::string_view owner_sid;
};

// Why nothing may be written to this server, or nothing when it is the input helper of
// `expected_session` running as `expected_user_sid`: "pipe server is not the input helper:
// process <pid> is in session <n>, not <m>" or "... runs as <SID>, not <expected SID>". The
// session is looked at first, because it is known before the process is opened.
std::optional<std::string> session_refusal(const PipeServer& server,
                                           std::uint32_t expected_session);
std::optional<std::string> user_refusal(const PipeServer& server,
                                        std::string_view expected_user_sid);
std::optional<std::string> owner_refusal(const PipeServer& server,
                                         std::string_view expected_user_sid);

// Whether a server whose token could not be read (`windows_error` from OpenProcess or
// OpenProcessToken) may still be judged by its pipe's owner alone. Only access denied: the
// token of a LocalSystem process is closed to standard users.
bool token_may_be_unreadable(std::uint32_t windows_error);

// One of the library's result codes (TARNU_INPUT_*) and the text for a person.
struct Failure {
  int code = 0;
  std::string message;
};

// A failed open of the session's pipe (CreateFileW's error after the wait).
Failure open_failure(std::string_view pipe_name, std::uint32_t windows_error);

// A failed WriteFile or FlushFileBuffers (`operation`) on a connected pipe.
Failure write_failure(std::string_view operation, std::string_view pipe_name,
                      std::uint32_t windows_error);

}  // namespace tarnu::client
