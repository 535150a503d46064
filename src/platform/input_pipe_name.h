#pragma once

#include <cstdint>
#include <string>

namespace tarnu::platform {

// The pipe a session's worker serves, `\\.\pipe\tarnu-input-s<session>`: the worker creates
// it, the service looks for whoever holds it when no worker can.
std::u16string input_pipe_name(std::uint32_t session);

}  // namespace tarnu::platform
