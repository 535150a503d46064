#pragma once

#include "platform/file_system_api.h"

namespace tarnu::platform::win32 {

class Win32FileSystemApi final : public FileSystemApi {
 public:
  std::optional<std::u16string> environment_variable(std::u16string_view name) override;
  Expected<std::u16string, WindowsErrorCode> temporary_directory() override;
  Expected<void, WindowsErrorCode> create_directory(std::u16string_view path) override;
  Expected<RawHandle, WindowsErrorCode> create_or_truncate_for_writing(
      std::u16string_view path) override;
  Expected<std::uint32_t, WindowsErrorCode> write_file(
      RawHandle file, std::span<const std::uint8_t> bytes) override;
  std::uint64_t precise_system_time() override;
};

// The process-wide instance; it has no state.
FileSystemApi& file_system_api();

}  // namespace tarnu::platform::win32
