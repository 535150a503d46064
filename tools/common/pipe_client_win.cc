#include "common/pipe_client_win.h"

#include <algorithm>

namespace tarnu::tools {

std::wstring worker_pipe_name(DWORD session) {
  return L"\\\\.\\pipe\\tarnu-input-s" + std::to_wstring(session);
}

HANDLE open_pipe_for_writing(const std::wstring& name, DWORD wait_milliseconds, DWORD& error) {
  const ULONGLONG deadline = ::GetTickCount64() + wait_milliseconds;
  for (;;) {
    HANDLE pipe = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) {
      return pipe;
    }
    error = ::GetLastError();
    const ULONGLONG now = ::GetTickCount64();
    if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PIPE_BUSY) || now >= deadline) {
      return INVALID_HANDLE_VALUE;
    }
    // A wait of 0 would mean the pipe's default time-out; what is left is at least 1 ms.
    const auto left = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 1000));
    if (error != ERROR_PIPE_BUSY || !::WaitNamedPipeW(name.c_str(), left)) {
      ::Sleep(std::min<DWORD>(left, 20));
    }
  }
}

bool PipeWriter::write(const std::uint8_t* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    DWORD written = 0;
    if (!::WriteFile(pipe_, data + done, static_cast<DWORD>(size - done), &written, nullptr)) {
      error_ = ::GetLastError();
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace tarnu::tools
