#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system_api.h"
#include "platform/handle_api.h"
#include "platform/status_outcome.h"

namespace tarnu::worker {

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

// Creates `directory` and whichever of its ancestors are missing. Errors are ignored: the
// file write that follows fails on its own if the folder is not there.
void create_directory_chain(platform::FileSystemApi& files, const std::u16string& directory);

// The status file of one session, rewritten with every outcome the worker records. The path
// is built anew for each write, from ProgramData as it is then, and the file is opened,
// written and closed each time; only the buffers of the path and the content are kept, so
// that once they have grown to size a write makes no heap allocation.
class StatusFile {
 public:
  StatusFile(platform::FileSystemApi& files, platform::HandleApi& handles, std::uint32_t session);

  // Replaces the file's content with the outcome. Whatever fails is skipped silently; the
  // caller never learns whether the file was written.
  void write(const StatusOutcome& outcome);

 private:
  platform::FileSystemApi& files_;
  platform::HandleApi& handles_;
  std::uint32_t session_;
  // The base directory, then the Tarnu folder, then the file.
  std::u16string path_;
  std::string content_;
};

// One write through a StatusFile of its own.
void write_status(platform::FileSystemApi& files, platform::HandleApi& handles,
                  std::uint32_t session, const StatusOutcome& outcome);

}  // namespace tarnu::worker
