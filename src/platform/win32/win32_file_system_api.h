#pragma once

#include "platform/file_system_api.h"

namespace tarnu::platform::win32 {

class Win32FileSystemApi final : public FileSystemApi {
 public:
  bool environment_variable(const char16_t* name, std::u16string& value) override;
  Expected<void, WindowsErrorCode> temporary_directory(std::u16string& path) override;
  Expected<void, WindowsErrorCode> create_directory(const std::u16string& path) override;
  Expected<void, WindowsErrorCode> create_directory_with_security(
      const std::u16string& path, std::u16string_view sddl) override;
  Expected<FileHandle, WindowsErrorCode> open_for_inspection(const std::u16string& path) override;
  Expected<SecurityDescriptor, WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view sddl) override;
  Expected<FileHandle, WindowsErrorCode> open_or_create_for_writing(
      const std::u16string& path, SecurityDescriptor security_descriptor) override;
  Expected<void, WindowsErrorCode> set_protected_dacl(
      FileHandle file, SecurityDescriptor security_descriptor) override;
  Expected<FileFacts, WindowsErrorCode> file_facts(FileHandle file) override;
  Expected<void, WindowsErrorCode> owner_sid_text(FileHandle file, std::u16string& text) override;
  Expected<void, WindowsErrorCode> truncate(FileHandle file) override;
  Expected<std::uint32_t, WindowsErrorCode> write_file(
      FileHandle file, std::span<const std::uint8_t> bytes) override;
  std::uint64_t precise_system_time() override;
};

// The process-wide instance; it has no state.
FileSystemApi& file_system_api();

}  // namespace tarnu::platform::win32
