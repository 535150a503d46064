#include "worker/status_file.h"

#include <array>
#include <iterator>
#include <span>
#include <utility>

#include "platform/event_ids.h"
#include "platform/text.h"
#include "platform/types.h"

namespace tarnu::worker {

namespace {

// FILETIME of 1970-01-01 00:00:00 UTC.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
constexpr std::uint64_t kFileTimeUnitsPerSecond = 10'000'000;
constexpr std::uint64_t kFileTimeUnitsPerMillisecond = 10'000;

using platform::append_decimal;
using platform::is_path_separator;

// base -> base\Tarnu
void append_status_folder(std::u16string& path) {
  if (!path.empty() && path.back() != u'\\') {
    path += u'\\';
  }
  path += u"Tarnu";
}

// base\Tarnu -> base\Tarnu\input-helper-status-s<session>.txt
void append_status_file_name(std::u16string& path, std::uint32_t session) {
  path += u"\\input-helper-status-s";
  append_decimal(path, session);
  path += u".txt";
}

// The three LF-terminated lines: time, success text, failure text.
void format_status_content(std::string& content, std::uint64_t unix_milliseconds,
                           const StatusOutcome& outcome) {
  content.clear();
  append_decimal(content, unix_milliseconds);
  content += '\n';
  if (outcome.success) {
    content += outcome.text;
  }
  content += '\n';
  if (!outcome.success) {
    content += outcome.text;
  }
  content += '\n';
}

}  // namespace

std::uint64_t unix_time_milliseconds(std::uint64_t file_time) {
  if (file_time < kUnixEpochAsFileTime) {
    return 0;
  }
  const std::uint64_t since_epoch = file_time - kUnixEpochAsFileTime;
  return since_epoch / kFileTimeUnitsPerSecond * 1000 +
         since_epoch % kFileTimeUnitsPerSecond / kFileTimeUnitsPerMillisecond;
}

std::u16string status_file_sddl(std::u16string_view reader_sid) {
  std::u16string sddl = u"D:P(A;;FA;;;SY)(A;;FA;;;BA)";
  if (!reader_sid.empty()) {
    sddl += u"(A;;FR;;;";
    sddl += reader_sid;
    sddl += u')';
  }
  return sddl;
}

void create_directory_chain(platform::FileSystemApi& files, const std::u16string& directory) {
  if (directory.empty()) {
    return;
  }
  const auto created = files.create_directory(directory);
  // Normally the folder exists already (ERROR_ALREADY_EXISTS) and this is the only call.
  if (created || created.error() != platform::kErrorPathNotFound) {
    return;
  }
  std::size_t end = directory.size();
  while (end > 0 && is_path_separator(directory[end - 1])) {
    --end;
  }
  while (end > 0 && !is_path_separator(directory[end - 1])) {
    --end;
  }
  while (end > 0 && is_path_separator(directory[end - 1])) {
    --end;
  }
  // Stop at a drive ("C:") or at the start of a UNC or device path.
  if (end == 0 || directory[end - 1] == u':' || end >= directory.size()) {
    return;
  }
  create_directory_chain(files, directory.substr(0, end));
  (void)files.create_directory(directory);
}

StatusFile::StatusFile(platform::FileSystemApi& files, platform::HandleApi& handles,
                       std::uint32_t session, std::u16string own_user_sid,
                       platform::EventLogApi& events)
    : files_(files),
      handles_(handles),
      events_(events),
      session_(session),
      own_user_sid_(std::move(own_user_sid)) {}

void StatusFile::set_reader(std::u16string_view reader_sid) {
  if (reader_sid == reader_sid_) {
    return;
  }
  reader_sid_ = reader_sid;
  file_descriptor_.reset();
  file_secured_ = false;
}

void StatusFile::write(const StatusOutcome& outcome) {
  if (!locate_status_folder() || !hold_status_folder() || !make_file_descriptor()) {
    return;
  }
  append_status_file_name(path_, session_);
  format_status_content(content_, unix_time_milliseconds(files_.precise_system_time()), outcome);
  const platform::ScopedFile file = open_emptied_status_file();
  if (file) {
    write_content(file.get());
  }
}

bool StatusFile::locate_status_folder() {
  // ProgramData is read anew each time; the temporary directory only when it is not set.
  if (!files_.environment_variable(u"ProgramData", path_) && !files_.temporary_directory(path_)) {
    return false;
  }
  // The folder is the file's parent; it is made and checked before the file name is
  // appended, so that both reach Windows from the one buffer.
  append_status_folder(path_);
  return true;
}

bool StatusFile::hold_status_folder() {
  if (folder_ && path_ == folder_path_) {
    return true;
  }
  folder_.reset();
  // The file in another folder is another file, not secured yet.
  file_secured_ = false;
  folder_ = open_status_folder();
  if (!folder_) {
    return false;
  }
  folder_path_ = path_;
  return true;
}

bool StatusFile::make_file_descriptor() {
  if (file_descriptor_) {
    return true;
  }
  auto descriptor = files_.security_descriptor_from_sddl(status_file_sddl(reader_sid_));
  if (!descriptor) {
    return false;
  }
  file_descriptor_ = platform::ScopedSecurityDescriptor(handles_, *descriptor);
  return true;
}

platform::ScopedFile StatusFile::open_emptied_status_file() {
  auto opened = files_.open_or_create_for_writing(path_, file_descriptor_.get());
  if (!opened) {
    // Whatever keeps the file from opening may have been done to the folder: it is let go
    // and checked again before the next write.
    folder_.reset();
    return {};
  }
  platform::ScopedFile file(handles_, *opened);
  const auto facts = files_.file_facts(file.get());
  if (!facts || !is_plain_file(*facts)) {
    return {};
  }
  // Only now, once it is known to be a plain file with no other name, may its security be
  // changed: through a second name it would be someone else's file. One that another user
  // owns is theirs to open up again, so it is not written at all.
  if (!file_secured_) {
    if (!has_trusted_owner(file.get()) ||
        !files_.set_protected_dacl(file.get(), file_descriptor_.get())) {
      return {};
    }
    file_secured_ = true;
  }
  // And only then is the old content dropped.
  if (facts->size != 0 && !files_.truncate(file.get())) {
    return {};
  }
  return file;
}

void StatusFile::write_content(platform::FileHandle file) {
  std::span<const std::uint8_t> rest(reinterpret_cast<const std::uint8_t*>(content_.data()),
                                     content_.size());
  while (!rest.empty()) {
    const auto written = files_.write_file(file, rest);
    if (!written || *written == 0 || *written > rest.size()) {
      return;
    }
    rest = rest.subspan(*written);
  }
}

platform::ScopedFile StatusFile::open_status_folder() {
  auto opened = files_.open_for_inspection(path_);
  if (!opened && (opened.error() == platform::kErrorFileNotFound ||
                  opened.error() == platform::kErrorPathNotFound)) {
    auto created = files_.create_directory_with_security(path_, kStatusFolderSddl);
    if (!created && created.error() == platform::kErrorPathNotFound) {
      // The base directory is missing too: its chain gets default security, only the Tarnu
      // folder the protected DACL.
      std::size_t parent_end = path_.size() - (std::size(u"Tarnu") - 1);
      while (parent_end > 0 && is_path_separator(path_[parent_end - 1])) {
        --parent_end;
      }
      create_directory_chain(files_, path_.substr(0, parent_end));
      (void)files_.create_directory_with_security(path_, kStatusFolderSddl);
    }
    opened = files_.open_for_inspection(path_);
  }
  if (!opened) {
    return {};
  }
  platform::ScopedFile folder(handles_, *opened);
  if (const std::string why = refuse_status_folder(folder.get()); !why.empty()) {
    // Refused as planted, or it could not be made ours.
    report_refusal(why);
    return {};
  }
  return folder;
}

std::string StatusFile::refuse_status_folder(platform::FileHandle folder) {
  // Whether just made or already there, the folder must be the folder itself and ours: a
  // user who made it first owns it and could have planted anything in it. A folder that an
  // administrator made gets what ProgramData gives, users adding files and links among it:
  // it is used only once it has the worker's own DACL.
  if (!is_plain_directory(folder)) {
    return "it is not a plain folder (a link, or not a folder at all)";
  }
  owner_.clear();
  if (!has_trusted_owner(folder)) {
    return "its owner is " +
           (owner_.empty() ? std::string("unknown") : platform::utf16_to_utf8(owner_)) +
           ", not SYSTEM, Administrators or the helper's own account";
  }
  if (!secure_folder(folder)) {
    return "its DACL could not be replaced by the helper's own";
  }
  return {};
}

void StatusFile::report_refusal(const std::string& why) {
  if (refusal_reported_) {
    return;
  }
  refusal_reported_ = true;
  const std::array inserts{platform::utf16_to_utf8(path_), why};
  (void)platform::write_event(events_, platform::kEventStatusFolderRefused, inserts);
}

bool StatusFile::secure_folder(platform::FileHandle folder) {
  const auto descriptor = files_.security_descriptor_from_sddl(kStatusFolderSddl);
  if (!descriptor) {
    return false;
  }
  const platform::ScopedSecurityDescriptor owned(handles_, *descriptor);
  return files_.set_protected_dacl(folder, owned.get()).has_value();
}

bool StatusFile::is_plain_directory(platform::FileHandle folder) {
  const auto facts = files_.file_facts(folder);
  return facts && (facts->attributes & platform::kFileAttributeDirectory) != 0 &&
         (facts->attributes & platform::kFileAttributeReparsePoint) == 0;
}

bool StatusFile::is_plain_file(const platform::FileFacts& facts) {
  // A second hard link would let whoever made it have the worker write into a file of
  // their choosing; a reparse point is a link of another kind.
  return facts.link_count == 1 && (facts.attributes & (platform::kFileAttributeDirectory |
                                                       platform::kFileAttributeReparsePoint)) == 0;
}

bool StatusFile::has_trusted_owner(platform::FileHandle object) {
  if (!files_.owner_sid_text(object, owner_)) {
    return false;
  }
  return owner_ == kLocalSystemSid || owner_ == kAdministratorsSid ||
         (!own_user_sid_.empty() && owner_ == own_user_sid_);
}

void write_status(platform::FileSystemApi& files, platform::HandleApi& handles,
                  std::uint32_t session, const StatusOutcome& outcome,
                  std::u16string own_user_sid) {
  StatusFile(files, handles, session, std::move(own_user_sid)).write(outcome);
}

}  // namespace tarnu::worker
