#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/expected.h"
#include "platform/handles.h"

namespace tarnu::platform {

// FILE_ATTRIBUTE_* bits the portable code looks at.
inline constexpr std::uint32_t kFileAttributeDirectory = 0x00000010;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x00000400;

// What the system reports about an open file or folder.
struct FileFacts {
  std::uint32_t attributes = 0;
  std::uint32_t link_count = 0;
  std::uint64_t size = 0;
};

// Environment, directories, whole-file writes and the clock, as the status file needs them,
// with what it takes to write only where nobody else controls the path: folders and files
// opened as themselves rather than through links, their owner, attributes and link count.
// Files and folders are closed with HandleApi::close_handle. Paths and names go to Windows as they
// are, NUL-terminated, without a copy; texts come back in buffers the caller keeps.
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

  // CreateDirectoryW with the security descriptor that
  // ConvertStringSecurityDescriptorToSecurityDescriptorW makes of `sddl` (freed again before
  // this returns); the parent must exist. An SDDL text that does not convert fails with the
  // conversion's error and creates nothing.
  virtual Expected<void, WindowsErrorCode> create_directory_with_security(
      const std::u16string& path, std::u16string_view sddl) = 0;

  // CreateFileW(path, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES, share read | write,
  // OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT): the folder (or
  // file) at the path itself, never what a link in its place points to. Without
  // FILE_SHARE_DELETE the object cannot be renamed or deleted while the handle is open;
  // WRITE_DAC lets the object that was looked at be given its DACL through the same handle.
  virtual Expected<FileHandle, WindowsErrorCode> open_for_inspection(
      const std::u16string& path) = 0;

  // ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, NULL):
  // a descriptor to create or secure files with (released with local_free).
  virtual Expected<SecurityDescriptor, WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view sddl) = 0;

  // CreateFileW(path, GENERIC_WRITE | WRITE_DAC | FILE_READ_ATTRIBUTES, share read | write |
  // delete, the descriptor in a non-inheritable SECURITY_ATTRIBUTES, OPEN_ALWAYS,
  // FILE_FLAG_OPEN_REPARSE_POINT): created with the descriptor when missing, opened as it is
  // (not truncated, its security unchanged) when present, and a link at the path is opened
  // as itself, not followed.
  virtual Expected<FileHandle, WindowsErrorCode> open_or_create_for_writing(
      const std::u16string& path, SecurityDescriptor security_descriptor) = 0;

  // GetSecurityDescriptorDacl of the descriptor, then SetKernelObjectSecurity(file,
  // DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION) with it: the open file
  // or folder gets exactly that DACL, nothing inherited from its parent. Only that object
  // changes; nothing is carried down to what a folder holds (SetSecurityInfo would walk
  // the folder's contents by name, links included). A descriptor without a DACL is refused
  // (ERROR_INVALID_SECURITY_DESCR) rather than open the object to everyone. Needs WRITE_DAC
  // on the handle.
  virtual Expected<void, WindowsErrorCode> set_protected_dacl(
      FileHandle file, SecurityDescriptor security_descriptor) = 0;

  // GetFileInformationByHandleEx with FileAttributeTagInfo (the attributes) and with
  // FileStandardInfo (the number of hard links and the size).
  virtual Expected<FileFacts, WindowsErrorCode> file_facts(FileHandle file) = 0;

  // GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION), then
  // ConvertSidToStringSidW of the owner, into `text` (both allocations freed with LocalFree
  // before this returns).
  virtual Expected<void, WindowsErrorCode> owner_sid_text(FileHandle file,
                                                          std::u16string& text) = 0;

  // SetEndOfFile at the file pointer, which is at 0 right after opening: empties the file.
  virtual Expected<void, WindowsErrorCode> truncate(FileHandle file) = 0;

  // WriteFile: the number of bytes written.
  virtual Expected<std::uint32_t, WindowsErrorCode> write_file(
      FileHandle file, std::span<const std::uint8_t> bytes) = 0;

  // GetSystemTimePreciseAsFileTime: 100-ns intervals since 1601-01-01 UTC.
  virtual std::uint64_t precise_system_time() = 0;
};

}  // namespace tarnu::platform
