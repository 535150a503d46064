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

// An in-memory file system with one environment variable table and a settable clock.
// Paths are compared as given. "" (the current directory) and drive roots such as "C:"
// always exist. File handles come from the ledger.
class FakeFileSystemApi final : public platform::FileSystemApi {
 public:
  FakeFileSystemApi(HandleLedger& ledger, EventJournal& journal);

  std::map<std::u16string, std::u16string> environment;
  Expected<std::u16string, platform::WindowsErrorCode> temp_directory =
      std::u16string(u"C:\\Temp\\");
  std::set<std::u16string> directories;
  std::map<std::u16string, std::string> files;
  // Directories where nothing may be created (CreateDirectoryW and CreateFileW give 5).
  std::set<std::u16string> read_only_directories;
  // WriteFile hands over at most this many bytes a call; 0 makes it fail.
  std::size_t write_limit = 1 << 20;
  std::uint64_t file_time = 0;

  std::vector<std::u16string> created_directories;
  int temporary_directory_queries = 0;

  std::optional<std::u16string> environment_variable(std::u16string_view name) override;
  Expected<std::u16string, platform::WindowsErrorCode> temporary_directory() override;
  Expected<void, platform::WindowsErrorCode> create_directory(std::u16string_view path) override;
  Expected<platform::RawHandle, platform::WindowsErrorCode> create_or_truncate_for_writing(
      std::u16string_view path) override;
  Expected<std::uint32_t, platform::WindowsErrorCode> write_file(
      platform::RawHandle file, std::span<const std::uint8_t> bytes) override;
  std::uint64_t precise_system_time() override { return file_time; }

 private:
  bool exists_as_directory(const std::u16string& path) const;

  HandleLedger& ledger_;
  EventJournal& journal_;
  std::map<platform::RawHandle, std::u16string> open_files_;
};

// The folder part of a path: everything before its last backslash, "" when it has none.
std::u16string parent_of(std::u16string_view path);

// UTF-16 path as plain text, for test messages.
std::string narrow(std::u16string_view text);

}  // namespace tarnu::fakes
