#include "worker/status_file.h"

#include <span>

#include "platform/types.h"

namespace tarnu::worker {

namespace {

constexpr platform::WindowsErrorCode kErrorPathNotFound = 3;

// FILETIME of 1970-01-01 00:00:00 UTC.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
constexpr std::uint64_t kFileTimeUnitsPerSecond = 10'000'000;
constexpr std::uint64_t kFileTimeUnitsPerMillisecond = 10'000;

std::u16string decimal(std::uint32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

bool is_separator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

}  // namespace

std::u16string status_file_path(const std::optional<std::u16string>& program_data,
                                std::u16string_view temporary_directory, std::uint32_t session) {
  std::u16string path = program_data ? *program_data : std::u16string(temporary_directory);
  if (!path.empty() && path.back() != u'\\') {
    path += u'\\';
  }
  path += u"Tarnu\\input-helper-status-s";
  path += decimal(session);
  path += u".txt";
  return path;
}

std::uint64_t unix_time_milliseconds(std::uint64_t file_time) {
  if (file_time < kUnixEpochAsFileTime) {
    return 0;
  }
  const std::uint64_t since_epoch = file_time - kUnixEpochAsFileTime;
  return since_epoch / kFileTimeUnitsPerSecond * 1000 +
         since_epoch % kFileTimeUnitsPerSecond / kFileTimeUnitsPerMillisecond;
}

std::string status_file_content(std::uint64_t unix_milliseconds, const StatusOutcome& outcome) {
  std::string content = std::to_string(unix_milliseconds);
  content += '\n';
  if (outcome.success) {
    content += outcome.text;
  }
  content += '\n';
  if (!outcome.success) {
    content += outcome.text;
  }
  content += '\n';
  return content;
}

void create_directory_chain(platform::FileSystemApi& files, std::u16string_view directory) {
  if (directory.empty()) {
    return;
  }
  const auto created = files.create_directory(directory);
  // Normally the folder exists already (ERROR_ALREADY_EXISTS) and this is the only call.
  if (created || created.error() != kErrorPathNotFound) {
    return;
  }
  std::size_t end = directory.size();
  while (end > 0 && is_separator(directory[end - 1])) {
    --end;
  }
  while (end > 0 && !is_separator(directory[end - 1])) {
    --end;
  }
  while (end > 0 && is_separator(directory[end - 1])) {
    --end;
  }
  const std::u16string_view parent = directory.substr(0, end);
  // Stop at a drive ("C:") or at the start of a UNC or device path.
  if (parent.empty() || parent.back() == u':' || parent.size() >= directory.size()) {
    return;
  }
  create_directory_chain(files, parent);
  (void)files.create_directory(directory);
}

void write_status(platform::FileSystemApi& files, platform::HandleApi& handles,
                  std::uint32_t session, const StatusOutcome& outcome) {
  // ProgramData is read anew each time; the temporary directory only when it is not set.
  const std::optional<std::u16string> program_data = files.environment_variable(u"ProgramData");
  std::u16string temporary_directory;
  if (!program_data) {
    auto found = files.temporary_directory();
    if (!found) {
      return;
    }
    temporary_directory = std::move(found).value();
  }
  const std::u16string path = status_file_path(program_data, temporary_directory, session);

  const std::size_t last_separator = path.find_last_of(u"\\/");
  if (last_separator != std::u16string::npos && last_separator > 0) {
    create_directory_chain(files, std::u16string_view(path).substr(0, last_separator));
  }

  const std::string content =
      status_file_content(unix_time_milliseconds(files.precise_system_time()), outcome);

  auto opened = files.create_or_truncate_for_writing(path);
  if (!opened) {
    return;
  }
  const platform::ScopedHandle file(handles, *opened);
  std::span<const std::uint8_t> rest(reinterpret_cast<const std::uint8_t*>(content.data()),
                                     content.size());
  while (!rest.empty()) {
    const auto written = files.write_file(file.get(), rest);
    if (!written || *written == 0 || *written > rest.size()) {
      return;
    }
    rest = rest.subspan(*written);
  }
}

}  // namespace tarnu::worker
