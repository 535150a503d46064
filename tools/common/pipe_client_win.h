#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnu::tools {

// The worker's pipe name for a session: `\\.\pipe\tarnu-input-s<session>`.
std::wstring worker_pipe_name(DWORD session);

// Opens a pipe for writing. A pipe that does not exist yet or is busy with another client
// is tried again until `wait_milliseconds` have passed (a busy one waited for with
// WaitNamedPipeW). On failure returns INVALID_HANDLE_VALUE with the last CreateFileW error
// in `error`.
HANDLE open_pipe_for_writing(const std::wstring& name, DWORD wait_milliseconds, DWORD& error);

// A pipe opened for writing as open_pipe_for_writing opens it; closed when it goes.
class PipeWriter {
 public:
  PipeWriter(const std::wstring& name, DWORD wait_milliseconds)
      : pipe_(open_pipe_for_writing(name, wait_milliseconds, error_)) {}
  ~PipeWriter() {
    if (valid()) {
      ::CloseHandle(pipe_);
    }
  }
  PipeWriter(const PipeWriter&) = delete;
  PipeWriter& operator=(const PipeWriter&) = delete;

  bool valid() const { return pipe_ != INVALID_HANDLE_VALUE; }
  // Why the open or the last write failed: a Windows error code.
  DWORD error() const { return error_; }
  // Writes all `size` bytes, in as many WriteFile calls as the pipe takes them in.
  bool write(const std::uint8_t* data, std::size_t size);
  // Returns once the server has read everything written, or has gone away.
  void flush() { ::FlushFileBuffers(pipe_); }

 private:
  DWORD error_ = 0;  // before pipe_, whose opening sets it
  HANDLE pipe_;
};

}  // namespace tarnu::tools
