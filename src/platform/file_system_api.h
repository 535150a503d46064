#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/expected.h"
#include "platform/types.h"

namespace tarnu::platform {

// Environment, directories, whole-file writes and the clock, as the status file needs them.
// Files are closed with HandleApi::close_handle. Paths and names go to Windows as they are,
// NUL-terminated, without a copy; texts come back in buffers the caller keeps.
class FileSystemApi {
 public:
  virtual ~FileSystemApi() = default;

  // GetEnvironmentVariableW of a NUL-terminated name into `value`, whose storage is reused
  // from call to call. False when the variable is not set; true with its value, "" when it
  // is set but empty.
  virtual bool environment_variable(const char16_t* name, std::u16string& value) = 0;

  // The process's temporary-files directory (GetTempPath2W, or GetTempPathW where that does
  // not exist), ending in a backslash, into `path`, whose storage is reused.
  virtual Expected<void, WindowsErrorCode> temporary_directory(std::u16string& path) = 0;

  // CreateDirectoryW with default security; the parent must exist.
  virtual Expected<void, WindowsErrorCode> create_directory(const std::u16string& path) = 0;

  // CreateFileW(GENERIC_WRITE, share read | write | delete, CREATE_ALWAYS): the file is
  // created, or truncated when it exists.
  virtual Expected<RawHandle, WindowsErrorCode> create_or_truncate_for_writing(
      const std::u16string& path) = 0;

  // WriteFile: the number of bytes written.
  virtual Expected<std::uint32_t, WindowsErrorCode> write_file(
      RawHandle file, std::span<const std::uint8_t> bytes) = 0;

  // GetSystemTimePreciseAsFileTime: 100-ns intervals since 1601-01-01 UTC.
  virtual std::uint64_t precise_system_time() = 0;
};

}  // namespace tarnu::platform
