#pragma once

#include <windows.h>

#include <string>

namespace tarnu::tools {

// The worker's pipe name for a session: `\\.\pipe\tarnu-input-s<session>`.
std::wstring worker_pipe_name(DWORD session);

// Opens a pipe for writing. A pipe that does not exist yet or is busy with another client
// is tried again until `wait_milliseconds` have passed (a busy one waited for with
// WaitNamedPipeW). On failure returns INVALID_HANDLE_VALUE with the last CreateFileW error
// in `error`.
HANDLE open_pipe_for_writing(const std::wstring& name, DWORD wait_milliseconds, DWORD& error);

}  // namespace tarnu::tools
