#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/event_log_api.h"
#include "platform/file_system_api.h"
#include "platform/handle_api.h"
#include "windows_input/status_outcome.h"

namespace tarnu::worker {

// The outcome of a step, as injection reports it and the status file records it.
using windows_input::StatusOutcome;

// Milliseconds since 1970-01-01 UTC of a FILETIME value (100-ns units since 1601); 0 for a
// time before 1970.
std::uint64_t unix_time_milliseconds(std::uint64_t file_time);

// The status folder's DACL, given to it when the worker makes it and again when it takes an
// existing one: SYSTEM and Administrators in full control, inherited by what is made in it,
// and nobody else; protected, so that nothing looser comes from the parent. Nobody else may
// add a file or a link to it, or read it.
inline constexpr char16_t kStatusFolderSddl[] = u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The status file's DACL: SYSTEM and Administrators in full control, and read access
// (FILE_GENERIC_READ) for the session's user, who runs the desktop application that shows
// the status; nobody else reads it when `reader_sid` is empty. The file records when each
// key of the session was pressed and when the secure desktop was up.
std::u16string status_file_sddl(std::u16string_view reader_sid);

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
// and a folder found there is used only when it is no link, its owner is SYSTEM,
// Administrators or the worker's own user, and it could be given that DACL (an
// administrator may have made it by hand, open to users as ProgramData is). The file is
// opened without following a link, refused when it is one or has other hard links, and
// emptied through its own handle. A folder that passed is kept open, without delete sharing,
// for as long as the writes go to it: nobody can rename or replace it meanwhile, so it is
// not checked again. A file that cannot be opened lets the folder go, to be checked anew.
//
// Only the session's user reads the file besides SYSTEM and Administrators: it is made with
// that DACL, and an existing one is given it once it has passed its checks, again whenever
// the reader or the folder changes; the writes in between do no security work.
class StatusFile {
 public:
  // `own_user_sid` is the SID text of the worker's own token user ("" when unknown), a
  // trusted owner of the folder and the file. Until set_reader says otherwise nobody else
  // reads the file.
  // A refused status folder is reported to `events`, once.
  StatusFile(platform::FileSystemApi& files, platform::HandleApi& handles, std::uint32_t session,
             std::u16string own_user_sid = {},
             platform::EventLogApi& events = platform::no_event_log());

  // The SID text of the user who may read the file from now on; "" for nobody. Costs
  // nothing when the reader stays the same.
  void set_reader(std::u16string_view reader_sid);

  // Replaces the file's content with the outcome. Whatever fails is skipped silently; the
  // caller never learns whether the file was written.
  void write(const StatusOutcome& outcome);

 private:
  // The steps of a write, each false (or empty) when the write is to be skipped.
  // path_ becomes the status folder's path, from ProgramData or the temporary directory.
  bool locate_status_folder();
  // folder_ holds the folder at path_: the one kept from the last write when the path is the
  // same, otherwise the folder opened (made when missing) and checked anew.
  bool hold_status_folder();
  // file_descriptor_ is the file's descriptor for the current reader.
  bool make_file_descriptor();
  // The file at path_, opened without following a link, checked, secured when it has not
  // been yet, and emptied.
  platform::ScopedFile open_emptied_status_file();
  // Writes content_ to the file, in as many writes as it takes.
  void write_content(platform::FileHandle file);

  // The status folder at path_, open, when it may be written into; nothing otherwise. Makes
  // it when it is missing.
  platform::ScopedFile open_status_folder();
  // Why the opened folder may not be written into (empty when it may): it must be no link,
  // owned by a trusted account, and given kStatusFolderSddl. A folder planted by someone
  // else is refused.
  std::string refuse_status_folder(platform::FileHandle folder);
  // Tells the event log why the folder was refused, the first time only: the refusal holds
  // until someone removes the folder, and every write would find it again.
  void report_refusal(const std::string& why);
  // Gives the folder kStatusFolderSddl; false when it could not.
  bool secure_folder(platform::FileHandle folder);
  // True when the object is what its kind says and nothing else: no link, not a folder
  // where a file belongs, no second name.
  bool is_plain_directory(platform::FileHandle folder);
  static bool is_plain_file(const platform::FileFacts& facts);
  bool has_trusted_owner(platform::FileHandle object);

  platform::FileSystemApi& files_;
  platform::HandleApi& handles_;
  platform::EventLogApi& events_;
  bool refusal_reported_ = false;
  std::uint32_t session_;
  std::u16string own_user_sid_;
  std::u16string reader_sid_;
  // The file's descriptor for reader_sid_, made at the first write after a change of reader.
  platform::ScopedSecurityDescriptor file_descriptor_;
  // Whether the file in folder_ has had file_descriptor_ applied.
  bool file_secured_ = false;
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
