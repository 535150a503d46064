#include "client/server_check.h"

#include "client/tarnu_input_client.h"
#include "platform/types.h"
#include "platform/windows_error.h"

namespace tarnu::client {
namespace {

constexpr char kNotTheHelper[] = "pipe server is not the input helper: process ";

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// SID texts differ at most in the case of the leading S; the rest is digits and dashes.
bool same_sid(std::string_view found, std::string_view expected) {
  return found.size() == expected.size() && !found.empty() &&
         found.substr(1) == expected.substr(1) && (found[0] | 0x20) == (expected[0] | 0x20);
}

}  // namespace

std::string worker_pipe_name(std::uint32_t session) {
  return "\\\\.\\pipe\\tarnu-input-s" + std::to_string(session);
}

bool is_sid_text(std::string_view text) {
  if (text.size() < 2 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') {
    return false;
  }
  // Numbers separated by single dashes: the revision (1), the authority and the
  // sub-authorities.
  std::size_t numbers = 0;
  for (std::size_t at = 2;; ++at) {
    const std::size_t start = at;
    while (at < text.size() && is_digit(text[at])) {
      ++at;
    }
    if (at == start || (numbers == 0 && text.substr(start, at - start) != "1")) {
      return false;
    }
    ++numbers;
    if (at == text.size()) {
      return numbers >= 3;
    }
    if (text[at] != '-') {
      return false;
    }
  }
}

std::optional<std::string> session_refusal(const PipeServer& server,
                                           std::uint32_t expected_session) {
  if (server.session == expected_session) {
    return std::nullopt;
  }
  return kNotTheHelper + std::to_string(server.process_id) + " is in session " +
         std::to_string(server.session) + ", not " + std::to_string(expected_session);
}

std::optional<std::string> user_refusal(const PipeServer& server,
                                        std::string_view expected_user_sid) {
  if (same_sid(server.user_sid, expected_user_sid)) {
    return std::nullopt;
  }
  return kNotTheHelper + std::to_string(server.process_id) + " runs as " +
         std::string(server.user_sid) + ", not " + std::string(expected_user_sid);
}

std::optional<std::string> owner_refusal(const PipeServer& server,
                                         std::string_view expected_user_sid) {
  if (same_sid(server.owner_sid, expected_user_sid)) {
    return std::nullopt;
  }
  if (server.owner_sid.empty()) {
    return kNotTheHelper + std::to_string(server.process_id) +
           " serves a pipe that has no owner, not one owned by " + std::string(expected_user_sid);
  }
  return kNotTheHelper + std::to_string(server.process_id) + " serves a pipe owned by " +
         std::string(server.owner_sid) + ", not " + std::string(expected_user_sid);
}

bool token_may_be_unreadable(std::uint32_t windows_error) {
  return windows_error == platform::kErrorAccessDenied;
}

Failure open_failure(std::string_view pipe_name, std::uint32_t windows_error) {
  const bool missing = windows_error == platform::kErrorFileNotFound;
  const bool busy = windows_error == platform::kErrorPipeBusy;
  return {missing ? TARNU_INPUT_ERROR_NO_PIPE
          : busy  ? TARNU_INPUT_ERROR_BUSY
                  : TARNU_INPUT_ERROR_SYSTEM,
          "cannot open " + std::string(pipe_name) +
              (missing ? " (no worker serves this session)"
               : busy  ? " (another client is connected)"
                       : "") +
              ": " + platform::windows_error_text("CreateFileW", windows_error)};
}

Failure write_failure(std::string_view operation, std::string_view pipe_name,
                      std::uint32_t windows_error) {
  // The worker's end is closed (109), closing (232) or was never connected (233).
  const bool gone = windows_error == platform::kErrorBrokenPipe ||
                    windows_error == platform::kErrorNoData ||
                    windows_error == platform::kErrorPipeNotConnected;
  return {gone ? TARNU_INPUT_ERROR_DISCONNECTED : TARNU_INPUT_ERROR_SYSTEM,
          "write to " + std::string(pipe_name) +
              (gone ? " (the worker ended the connection)" : "") + ": " +
              platform::windows_error_text(operation, windows_error)};
}

}  // namespace tarnu::client
