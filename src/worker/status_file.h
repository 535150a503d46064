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
void create_directory_chain(platform::FileSystemApi& files, std::u16string_view directory);

// Replaces the session's status file with the outcome. Whatever fails is skipped silently;
// the caller never learns whether the file was written.
void write_status(platform::FileSystemApi& files, platform::HandleApi& handles,
                  std::uint32_t session, const StatusOutcome& outcome);

}  // namespace tarnu::worker
