#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/expected.h"
#include "platform/types.h"

namespace tarnu::platform {

// Environment, directories, whole-file writes and the clock, as the status file needs them.
// Files are closed with HandleApi::close_handle.
class FileSystemApi {
 public:
  virtual ~FileSystemApi() = default;

  // The variable's value, "" when it is set but empty, nothing when it is not set.
  virtual std::optional<std::u16string> environment_variable(std::u16string_view name) = 0;

  // The process's temporary-files directory (GetTempPath2W, or GetTempPathW where that does
  // not exist), ending in a backslash.
  virtual Expected<std::u16string, WindowsErrorCode> temporary_directory() = 0;

  // CreateDirectoryW with default security; the parent must exist.
  virtual Expected<void, WindowsErrorCode> create_directory(std::u16string_view path) = 0;

  // CreateFileW(GENERIC_WRITE, share read | write | delete, CREATE_ALWAYS): the file is
  // created, or truncated when it exists.
  virtual Expected<RawHandle, WindowsErrorCode> create_or_truncate_for_writing(
      std::u16string_view path) = 0;

  // WriteFile: the number of bytes written.
  virtual Expected<std::uint32_t, WindowsErrorCode> write_file(
      RawHandle file, std::span<const std::uint8_t> bytes) = 0;

  // GetSystemTimePreciseAsFileTime: 100-ns intervals since 1601-01-01 UTC.
  virtual std::uint64_t precise_system_time() = 0;
};

}  // namespace tarnu::platform
