#include "fakes/fake_file_system_api.h"

namespace tarnu::fakes {

namespace {

constexpr platform::WindowsErrorCode kErrorPathNotFound = 3;

bool is_drive_root(const std::u16string& path) { return path.size() == 2 && path[1] == u':'; }

}  // namespace

std::u16string parent_of(std::u16string_view path) {
  const std::size_t last = path.find_last_of(u'\\');
  return last == std::u16string_view::npos ? std::u16string()
                                           : std::u16string(path.substr(0, last));
}

std::string narrow(std::u16string_view text) {
  std::string result;
  for (const char16_t unit : text) {
    result += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return result;
}

FakeFileSystemApi::FakeFileSystemApi(HandleLedger& ledger, EventJournal& journal)
    : ledger_(ledger), journal_(journal) {}

bool FakeFileSystemApi::exists_as_directory(const std::u16string& path) const {
  return path.empty() || is_drive_root(path) || directories.count(path) != 0;
}

std::optional<std::u16string> FakeFileSystemApi::environment_variable(std::u16string_view name) {
  const auto it = environment.find(std::u16string(name));
  if (it == environment.end()) {
    return std::nullopt;
  }
  return it->second;
}

Expected<std::u16string, platform::WindowsErrorCode> FakeFileSystemApi::temporary_directory() {
  ++temporary_directory_queries;
  return temp_directory;
}

Expected<void, platform::WindowsErrorCode> FakeFileSystemApi::create_directory(
    std::u16string_view path) {
  const std::u16string text(path);
  if (exists_as_directory(text) || files.count(text) != 0) {
    return Unexpected(platform::kErrorAlreadyExists);
  }
  const std::u16string parent = parent_of(text);
  if (!exists_as_directory(parent)) {
    return Unexpected(kErrorPathNotFound);
  }
  if (read_only_directories.count(parent) != 0) {
    return Unexpected(platform::kErrorAccessDenied);
  }
  directories.insert(text);
  created_directories.push_back(text);
  return {};
}

Expected<platform::RawHandle, platform::WindowsErrorCode>
FakeFileSystemApi::create_or_truncate_for_writing(std::u16string_view path) {
  const std::u16string text(path);
  if (exists_as_directory(text)) {
    return Unexpected(platform::kErrorAccessDenied);
  }
  const std::u16string parent = parent_of(text);
  if (!exists_as_directory(parent)) {
    return Unexpected(kErrorPathNotFound);
  }
  if (read_only_directories.count(parent) != 0) {
    return Unexpected(platform::kErrorAccessDenied);
  }
  files[text].clear();
  const platform::RawHandle file = ledger_.open("file", Release::kCloseHandle);
  open_files_[file] = text;
  return file;
}

Expected<std::uint32_t, platform::WindowsErrorCode> FakeFileSystemApi::write_file(
    platform::RawHandle file, std::span<const std::uint8_t> bytes) {
  const auto it = open_files_.find(file);
  if (it == open_files_.end() || !ledger_.is_open(file)) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  if (write_limit == 0) {
    return Unexpected(platform::WindowsErrorCode{112});  // ERROR_DISK_FULL
  }
  const std::size_t count = std::min(bytes.size(), write_limit);
  std::string& content = files[it->second];
  content.append(reinterpret_cast<const char*>(bytes.data()), count);
  // A status write shows up in the journal once its last byte is in.
  if (count == bytes.size()) {
    journal_.record("write " + content);
  }
  return static_cast<std::uint32_t>(count);
}

}  // namespace tarnu::fakes
