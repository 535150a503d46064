#include "fakes/fake_file_system_api.h"

#include <algorithm>

#include "fakes/sddl_text.h"

namespace tarnu::fakes {

namespace {

bool is_drive_root(const std::u16string& path) { return path.size() == 2 && path[1] == u':'; }

char16_t upper(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - (u'a' - u'A') : unit; }

// The folder part of a path: everything before its last backslash, "" when it has none.
std::u16string parent_of(std::u16string_view path) {
  const std::size_t last = path.find_last_of(u'\\');
  return last == std::u16string_view::npos ? std::u16string()
                                           : std::u16string(path.substr(0, last));
}

}  // namespace

std::string narrow(std::u16string_view text) {
  std::string result;
  for (const char16_t unit : text) {
    result += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return result;
}

bool EnvironmentNameLess::operator()(const std::u16string& a, const std::u16string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return upper(x) < upper(y); });
}

FakeFileSystemApi::FakeFileSystemApi(HandleLedger& ledger, EventJournal& journal)
    : ledger_(ledger), journal_(journal) {}

bool FakeFileSystemApi::exists_as_directory(const std::u16string& path) const {
  return path.empty() || is_drive_root(path) || directories.count(path) != 0;
}

bool FakeFileSystemApi::environment_variable(const char16_t* name, std::u16string& value) {
  const auto it = environment.find(std::u16string(name));
  if (it == environment.end()) {
    value.clear();
    return false;
  }
  value = it->second;
  return true;
}

Expected<void, platform::WindowsErrorCode> FakeFileSystemApi::temporary_directory(
    std::u16string& path) {
  ++temporary_directory_queries;
  if (!temp_directory) {
    path.clear();
    return Unexpected(temp_directory.error());
  }
  path = *temp_directory;
  return {};
}

Expected<void, platform::WindowsErrorCode> FakeFileSystemApi::create_directory(
    const std::u16string& path) {
  return create_directory_with_security(path, u"");
}

Expected<void, platform::WindowsErrorCode> FakeFileSystemApi::create_directory_with_security(
    const std::u16string& path, std::u16string_view sddl) {
  if (!fakes::converts_as_sddl(sddl)) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  if (exists_as_directory(path) || files.count(path) != 0) {
    return Unexpected(platform::kErrorAlreadyExists);
  }
  if (const auto refused = creation_refused(path)) {
    return Unexpected(*refused);
  }
  directories.insert(path);
  directory_security.emplace_back(path, sddl);
  return {};
}

std::optional<platform::WindowsErrorCode> FakeFileSystemApi::creation_refused(
    const std::u16string& path) const {
  const std::u16string parent = parent_of(path);
  if (!exists_as_directory(parent)) {
    return platform::kErrorPathNotFound;
  }
  if (read_only_directories.count(parent) != 0) {
    return platform::kErrorAccessDenied;
  }
  return std::nullopt;
}

std::u16string FakeFileSystemApi::dacl_of(const std::u16string& path) const {
  for (auto it = dacls_given.rbegin(); it != dacls_given.rend(); ++it) {
    if (it->first == path) {
      return it->second;
    }
  }
  return {};
}

const std::u16string* FakeFileSystemApi::open_path(platform::RawHandle handle) const {
  const auto it = open_files_.find(handle);
  return it == open_files_.end() || !ledger_.is_open(handle) ? nullptr : &it->second;
}

Expected<platform::FileHandle, platform::WindowsErrorCode> FakeFileSystemApi::open_for_inspection(
    const std::u16string& path) {
  ++inspections;
  if (!exists_as_directory(path) && files.count(path) == 0) {
    return Unexpected(exists_as_directory(parent_of(path)) ? platform::kErrorFileNotFound
                                                           : platform::kErrorPathNotFound);
  }
  const auto object = ledger_.open_as<platform::FileHandle>("inspected object");
  open_files_[object.raw()] = path;
  return object;
}

Expected<platform::SecurityDescriptor, platform::WindowsErrorCode>
FakeFileSystemApi::security_descriptor_from_sddl(std::u16string_view sddl) {
  if (!fakes::converts_as_sddl(sddl)) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  const auto descriptor = ledger_.open_as<platform::SecurityDescriptor>("security descriptor");
  descriptors_[descriptor.raw()] = sddl;
  return descriptor;
}

Expected<platform::FileHandle, platform::WindowsErrorCode>
FakeFileSystemApi::open_or_create_for_writing(const std::u16string& path,
                                              platform::SecurityDescriptor security_descriptor) {
  if (!ledger_.is_open(security_descriptor)) {
    return Unexpected(platform::WindowsErrorCode{1338});  // ERROR_INVALID_SECURITY_DESCR
  }
  if (exists_as_directory(path)) {
    return Unexpected(platform::kErrorAccessDenied);
  }
  if (const auto refused = creation_refused(path)) {
    return Unexpected(*refused);
  }
  // Created empty, with the descriptor's DACL, when missing; left as it is otherwise.
  if (files.emplace(path, std::string()).second) {
    dacls_given.emplace_back(path, descriptors_[security_descriptor.raw()]);
  }
  const auto file = ledger_.open_as<platform::FileHandle>("file");
  open_files_[file.raw()] = path;
  positions_[file.raw()] = 0;
  return file;
}

Expected<platform::FileFacts, platform::WindowsErrorCode> FakeFileSystemApi::file_facts(
    platform::FileHandle file) {
  const std::u16string* path = open_path(file.raw());
  if (path == nullptr) {
    return Unexpected(platform::kErrorInvalidHandle);
  }
  platform::FileFacts facts;
  // A file is marked for archiving (FILE_ATTRIBUTE_ARCHIVE) from its creation on.
  facts.attributes = exists_as_directory(*path) ? platform::kFileAttributeDirectory : 0x20;
  if (reparse_points.count(*path) != 0) {
    facts.attributes |= platform::kFileAttributeReparsePoint;
  }
  const auto links = link_counts.find(*path);
  facts.link_count = links == link_counts.end() ? 1 : links->second;
  const auto content = files.find(*path);
  facts.size = content == files.end() ? 0 : content->second.size();
  return facts;
}

Expected<void, platform::WindowsErrorCode> FakeFileSystemApi::owner_sid_text(
    platform::FileHandle file, std::u16string& text) {
  const std::u16string* path = open_path(file.raw());
  if (path == nullptr) {
    return Unexpected(platform::kErrorInvalidHandle);
  }
  if (owner_error) {
    return Unexpected(*owner_error);
  }
  const auto owner = owners.find(*path);
  text = owner == owners.end() ? default_owner : owner->second;
  return {};
}

Expected<void, platform::WindowsErrorCode> FakeFileSystemApi::set_protected_dacl(
    platform::FileHandle file, platform::SecurityDescriptor security_descriptor) {
  const std::u16string* path = open_path(file.raw());
  if (path == nullptr || !ledger_.is_open(security_descriptor)) {
    return Unexpected(platform::kErrorInvalidHandle);
  }
  const std::u16string& sddl = descriptors_[security_descriptor.raw()];
  if (!fakes::sddl_has_dacl(sddl)) {
    return Unexpected(platform::WindowsErrorCode{1338});  // ERROR_INVALID_SECURITY_DESCR
  }
  if (set_dacl_error) {
    return Unexpected(*set_dacl_error);
  }
  dacls_given.emplace_back(*path, sddl);
  return {};
}

Expected<void, platform::WindowsErrorCode> FakeFileSystemApi::truncate(platform::FileHandle file) {
  const std::u16string* path = open_path(file.raw());
  if (path == nullptr) {
    return Unexpected(platform::kErrorInvalidHandle);
  }
  files[*path].resize(std::min(files[*path].size(), positions_[file.raw()]));
  ++truncations;
  return {};
}

Expected<std::uint32_t, platform::WindowsErrorCode> FakeFileSystemApi::write_file(
    platform::FileHandle file, std::span<const std::uint8_t> bytes) {
  const std::u16string* path = open_path(file.raw());
  if (path == nullptr) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  if (write_limit == 0) {
    return Unexpected(platform::WindowsErrorCode{112});  // ERROR_DISK_FULL
  }
  // Written at the file pointer, over what is there, as WriteFile does.
  const std::size_t count = std::min(bytes.size(), write_limit);
  std::string& content = files[*path];
  std::size_t& position = positions_[file.raw()];
  content.resize(std::max(content.size(), position + count));
  content.replace(position, count, reinterpret_cast<const char*>(bytes.data()), count);
  position += count;
  // A status write shows up in the journal once its last byte is in.
  if (count == bytes.size()) {
    journal_.record("write " + content);
  }
  return static_cast<std::uint32_t>(count);
}

}  // namespace tarnu::fakes
