#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system_api.h"
#include "platform/handle_api.h"
#include "windows_input/status_outcome.h"

namespace tarnu::worker {

// The outcome of a step, as injection reports it and the status file records it.
using windows_input::StatusOutcome;

// Where the status file of a session lives: `base\Tarnu\input-helper-status-s<session>.txt`.
// The base is ProgramData as given (an empty value makes the path relative), or the
// temporary-files directory when ProgramData is not set; no backslash is added after a base
// that already ends in one.
std::u16string status_file_path(const std::optional<std::u16string>& program_data,
                                std::u16string_view temporary_directory, std::uint32_t session);

// Milliseconds since 1970-01-01 UTC of a FILETIME value (100-ns units since 1601); 0 for a
// time before 1970.
std::uint64_t unix_time_milliseconds(std::uint64_t file_time);

// The three LF-terminated lines: time, success text, failure text.
std::string status_file_content(std::uint64_t unix_milliseconds, const StatusOutcome& outcome);

// The status folder's DACL when the worker makes it: SYSTEM and Administrators in full
// control, the interactive users allowed to read (the desktop application shows the status),
// inherited by the files in it; protected, so that nothing looser comes from the parent.
inline constexpr char16_t kStatusFolderSddl[] =
    u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;IU)";

// Owners of a status folder that may be written into besides the worker's own user: a
// folder owned by anyone else was made by, and is controlled by, that account.
inline constexpr char16_t kLocalSystemSid[] = u"S-1-5-18";
inline constexpr char16_t kAdministratorsSid[] = u"S-1-5-32-544";

// Creates `directory` and whichever of its ancestors are missing. Errors are ignored: the
// file write that follows fails on its own if the folder is not there.
void create_directory_chain(platform::FileSystemApi& files, const std::u16string& directory);

// The status file of one session, rewritten with every outcome the worker records. The path
// is built anew for each write, from ProgramData as it is then, and the file is opened,
// written and closed each time; only the buffers of the path, the owner and the content are
// kept, so that once they have grown to size a write makes no heap allocation.
//
// The worker writes as SYSTEM into folders that other accounts may be able to create first
// (ProgramData, the temporary directory). So the Tarnu folder is made with a protected DACL,
// and a folder found there is used only when it is no link and its owner is SYSTEM,
// Administrators or the worker's own user; the file is opened without following a link,
// refused when it is one or has other hard links, and emptied through its own handle.
// A folder that passed is kept open, without delete sharing, for as long as the writes go
// to it: nobody can rename or replace it meanwhile, so it is not checked again.
class StatusFile {
 public:
  // `own_user_sid` is the SID text of the worker's own token user ("" when unknown), a
  // trusted owner of the folder.
  StatusFile(platform::FileSystemApi& files, platform::HandleApi& handles, std::uint32_t session,
             std::u16string own_user_sid = {});

  // Replaces the file's content with the outcome. Whatever fails is skipped silently; the
  // caller never learns whether the file was written.
  void write(const StatusOutcome& outcome);

 private:
  // The status folder at path_, open, when it may be written into; nothing otherwise. Makes
  // it when it is missing.
  platform::ScopedFile open_status_folder();
  // True when the object is what its kind says and nothing else: no link, not a folder
  // where a file belongs, no second name.
  bool is_plain_directory(platform::FileHandle folder);
  static bool is_plain_file(const platform::FileFacts& facts);
  bool has_trusted_owner(platform::FileHandle folder);

  platform::FileSystemApi& files_;
  platform::HandleApi& handles_;
  std::uint32_t session_;
  std::u16string own_user_sid_;
  // The base directory, then the Tarnu folder, then the file.
  std::u16string path_;
  // The folder that passed the checks, and its path.
  platform::ScopedFile folder_;
  std::u16string folder_path_;
  std::u16string owner_;
  std::string content_;
};

// One write through a StatusFile of its own.
void write_status(platform::FileSystemApi& files, platform::HandleApi& handles,
                  std::uint32_t session, const StatusOutcome& outcome,
                  std::u16string own_user_sid = {});

}  // namespace tarnu::worker
