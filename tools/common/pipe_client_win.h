#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "client/tarnu_input_client.h"

namespace tarnu::tools {

// The worker's pipe name for a session: `\\.\pipe\tarnu-input-s<session>`.
std::wstring worker_pipe_name(DWORD session);

// A checked connection to a session's worker pipe (tarnu_input_connect), closed when it
// goes: the server must run as `server_user_sid` (nullptr: LocalSystem) in that session.
class PipeWriter {
 public:
  PipeWriter(std::uint32_t session, std::uint32_t wait_milliseconds, const char* server_user_sid) {
    tarnu_input_connect(session, wait_milliseconds, server_user_sid, &client_, &error_);
  }
  ~PipeWriter() { tarnu_input_close(client_); }
  PipeWriter(const PipeWriter&) = delete;
  PipeWriter& operator=(const PipeWriter&) = delete;

  bool valid() const { return client_ != nullptr; }
  // Why the connection or the last write failed.
  const tarnu_input_error& error() const { return error_; }
  // Writes all `size` bytes as they are.
  bool write(const std::uint8_t* data, std::size_t size) {
    return tarnu_input_write_raw(client_, data, size, &error_) == TARNU_INPUT_OK;
  }
  // Returns once the server has read everything written, or has gone away.
  void flush() { tarnu_input_flush(client_, nullptr); }

 private:
  tarnu_input_error error_{};
  tarnu_input_client* client_ = nullptr;
};

}  // namespace tarnu::tools
