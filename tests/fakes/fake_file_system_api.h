#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/event_journal.h"
#include "fakes/handle_ledger.h"
#include "platform/file_system_api.h"

namespace tarnu::fakes {

// Environment variable names compared as Windows compares them: without regard to case.
struct EnvironmentNameLess {
  bool operator()(const std::u16string& a, const std::u16string& b) const;
};

// An in-memory file system with one environment variable table and a settable clock.
// Paths are compared as given; variable names without regard to case. "" (the current directory)
// and drive roots such as "C:" always exist. File handles come from the ledger.
class FakeFileSystemApi final : public platform::FileSystemApi {
 public:
  FakeFileSystemApi(HandleLedger& ledger, EventJournal& journal);

  std::map<std::u16string, std::u16string, EnvironmentNameLess> environment;
  Expected<std::u16string, platform::WindowsErrorCode> temp_directory =
      std::u16string(u"C:\\Temp\\");
  std::set<std::u16string> directories;
  std::map<std::u16string, std::string> files;
  // Directories where nothing may be created (CreateDirectoryW and CreateFileW give 5).
  std::set<std::u16string> read_only_directories;
  // Owners of files and folders as SID text; anything not listed belongs to default_owner.
  std::map<std::u16string, std::u16string> owners;
  std::u16string default_owner = u"S-1-5-18";
  // Paths that are links (junctions, symbolic links): FILE_ATTRIBUTE_REPARSE_POINT.
  std::set<std::u16string> reparse_points;
  // Files with more names than one (hard links elsewhere); 1 when not listed.
  std::map<std::u16string, std::uint32_t> link_counts;
  // GetSecurityInfo fails with this code.
  std::optional<platform::WindowsErrorCode> owner_error;
  // The SDDL each folder was made with, in order of creation ("" for default security).
  std::vector<std::pair<std::u16string, std::u16string>> directory_security;
  // Every DACL given to a file or folder, in order, as its path and SDDL: with a file's
  // creation, or set later.
  std::vector<std::pair<std::u16string, std::u16string>> dacls_given;
  // SetKernelObjectSecurity fails with this code.
  std::optional<platform::WindowsErrorCode> set_dacl_error;
  // WriteFile hands over at most this many bytes a call; 0 makes it fail.
  std::size_t write_limit = 1 << 20;
  std::uint64_t file_time = 0;

  int temporary_directory_queries = 0;
  int truncations = 0;
  int inspections = 0;

  bool environment_variable(const char16_t* name, std::u16string& value) override;
  Expected<void, platform::WindowsErrorCode> temporary_directory(std::u16string& path) override;
  Expected<void, platform::WindowsErrorCode> create_directory(const std::u16string& path) override;
  Expected<void, platform::WindowsErrorCode> create_directory_with_security(
      const std::u16string& path, std::u16string_view sddl) override;
  Expected<platform::FileHandle, platform::WindowsErrorCode> open_for_inspection(
      const std::u16string& path) override;
  Expected<platform::SecurityDescriptor, platform::WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view sddl) override;
  Expected<platform::FileHandle, platform::WindowsErrorCode> open_or_create_for_writing(
      const std::u16string& path, platform::SecurityDescriptor security_descriptor) override;
  Expected<void, platform::WindowsErrorCode> set_protected_dacl(
      platform::FileHandle file, platform::SecurityDescriptor security_descriptor) override;
  Expected<platform::FileFacts, platform::WindowsErrorCode> file_facts(
      platform::FileHandle file) override;
  Expected<void, platform::WindowsErrorCode> owner_sid_text(platform::FileHandle file,
                                                            std::u16string& text) override;
  Expected<void, platform::WindowsErrorCode> truncate(platform::FileHandle file) override;
  Expected<std::uint32_t, platform::WindowsErrorCode> write_file(
      platform::FileHandle file, std::span<const std::uint8_t> bytes) override;
  std::uint64_t precise_system_time() override { return file_time; }

  // The last DACL given to the path ("" when none was).
  std::u16string dacl_of(const std::u16string& path) const;

 private:
  bool exists_as_directory(const std::u16string& path) const;
  // Why nothing can be made at `path`: its folder is missing (3) or may not be written to (5).
  std::optional<platform::WindowsErrorCode> creation_refused(const std::u16string& path) const;
  // The path behind an open handle, or nothing for a handle that is not (still) open.
  const std::u16string* open_path(platform::RawHandle handle) const;

  HandleLedger& ledger_;
  EventJournal& journal_;
  std::map<platform::RawHandle, std::u16string> open_files_;
  // Each open file's pointer: 0 after opening, moved on by every write.
  std::map<platform::RawHandle, std::size_t> positions_;
  // The SDDL behind each descriptor handed out.
  std::map<platform::RawHandle, std::u16string> descriptors_;
};

// UTF-16 path as plain text, for test messages.
std::string narrow(std::u16string_view text);

}  // namespace tarnu::fakes
