#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/desktop_api.h"
#include "platform/file_system_api.h"
#include "platform/handle_api.h"
#include "platform/input_api.h"
#include "platform/pipe_api.h"

namespace tarnu::bench {

// Platform seams that succeed at once and remember nothing, so that a benchmark measures
// only the project's own work. Unlike the recording fakes of the tests they allocate
// nothing per call; the seams that the timed work never calls are the tests' fakes.

class NullHandleApi final : public platform::HandleApi {
 private:
  void close_kernel_object(platform::RawHandle) override {}
  void free_local_memory(platform::RawHandle) override {}
};

// A client that writes `stream` once and then goes away. Every read gets what it asks for,
// as long as the stream lasts.
class StreamPipeApi final : public platform::PipeApi {
 public:
  void start(std::span<const std::uint8_t> stream) {
    stream_ = stream;
    offset_ = 0;
  }

  Expected<platform::SecurityDescriptor, platform::WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view) override {
    return platform::SecurityDescriptor(1);
  }
  Expected<platform::PipeHandle, platform::WindowsErrorCode> create_input_pipe(
      std::u16string_view, platform::SecurityDescriptor) override {
    return platform::PipeHandle(1);
  }
  Expected<void, platform::WindowsErrorCode> set_pipe_security(
      platform::PipeHandle, platform::SecurityDescriptor) override {
    return {};
  }
  Expected<void, platform::WindowsErrorCode> connect_named_pipe(platform::PipeHandle) override {
    return {};
  }
  Expected<std::uint32_t, platform::WindowsErrorCode> client_session_id(
      platform::PipeHandle) override {
    return std::uint32_t{1};
  }
  void pause(std::uint32_t) override {}
  Expected<std::uint32_t, platform::WindowsErrorCode> read_file(
      platform::PipeHandle, std::span<std::uint8_t> buffer) override {
    const std::size_t count = std::min(buffer.size(), stream_.size() - offset_);
    if (count == 0) {
      return Unexpected(platform::kErrorBrokenPipe);
    }
    std::memcpy(buffer.data(), stream_.data() + offset_, count);
    offset_ += count;
    return static_cast<std::uint32_t>(count);
  }
  void disconnect_named_pipe(platform::PipeHandle) override {}

 private:
  std::span<const std::uint8_t> stream_;
  std::size_t offset_ = 0;
};

// ProgramData set, the Tarnu folder already there and SYSTEM's, every file write complete.
class NullFileSystemApi final : public platform::FileSystemApi {
 public:
  bool environment_variable(const char16_t*, std::u16string& value) override {
    value.assign(u"C:\\ProgramData");
    return true;
  }
  Expected<void, platform::WindowsErrorCode> temporary_directory(std::u16string& path) override {
    path.assign(u"C:\\Temp\\");
    return {};
  }
  Expected<void, platform::WindowsErrorCode> create_directory(const std::u16string&) override {
    return Unexpected(platform::kErrorAlreadyExists);
  }
  Expected<void, platform::WindowsErrorCode> create_directory_with_security(
      const std::u16string&, std::u16string_view) override {
    return Unexpected(platform::kErrorAlreadyExists);
  }
  Expected<platform::FileHandle, platform::WindowsErrorCode> open_for_inspection(
      const std::u16string&) override {
    return kFolder;
  }
  Expected<platform::SecurityDescriptor, platform::WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view) override {
    return platform::SecurityDescriptor(4);
  }
  Expected<platform::FileHandle, platform::WindowsErrorCode> open_or_create_for_writing(
      const std::u16string&, platform::SecurityDescriptor) override {
    return platform::FileHandle(2);
  }
  Expected<void, platform::WindowsErrorCode> set_protected_dacl(
      platform::FileHandle, platform::SecurityDescriptor) override {
    return {};
  }
  Expected<platform::FileFacts, platform::WindowsErrorCode> file_facts(
      platform::FileHandle object) override {
    return platform::FileFacts{object == kFolder ? platform::kFileAttributeDirectory : 0x80, 1,
                               object == kFolder ? 0u : 40u};
  }
  Expected<void, platform::WindowsErrorCode> owner_sid_text(platform::FileHandle,
                                                            std::u16string& text) override {
    text.assign(u"S-1-5-18");
    return {};
  }
  Expected<void, platform::WindowsErrorCode> truncate(platform::FileHandle) override { return {}; }
  Expected<std::uint32_t, platform::WindowsErrorCode> write_file(
      platform::FileHandle, std::span<const std::uint8_t> bytes) override {
    return static_cast<std::uint32_t>(bytes.size());
  }
  std::uint64_t precise_system_time() override { return time_ += 10'000; }

 private:
  static constexpr platform::FileHandle kFolder{3};
  std::uint64_t time_ = 134'000'000'000'000'000ULL;
};

// The input desktop is always "Default" and every attach succeeds.
class NullDesktopApi final : public platform::DesktopApi {
 public:
  platform::DesktopHandle open_input_desktop(std::uint32_t, bool, std::uint32_t) override {
    return platform::DesktopHandle(++next_);
  }
  bool get_user_object_name(platform::DesktopHandle, std::span<char16_t> buffer,
                            std::uint32_t& needed_bytes) override {
    constexpr char16_t kName[] = u"Default";
    std::copy(std::begin(kName), std::end(kName), buffer.begin());
    needed_bytes = sizeof(kName);
    return true;
  }
  bool set_thread_desktop(platform::DesktopHandle) override { return true; }
  void close_desktop(platform::DesktopHandle) override {}

 private:
  platform::RawHandle next_ = 100;
};

// One 1920x1080 monitor; every event is inserted.
class NullInputApi final : public platform::InputApi {
 public:
  platform::SendInputResult send_input(const platform::InputRecord& record) override {
    // Kept observable so that the translation before it is not optimised away.
    checksum_ += record.flags + static_cast<std::uint32_t>(record.dx) + record.virtual_key;
    return {1, platform::kErrorSuccess};
  }
  void set_cursor_pos(std::int32_t, std::int32_t) override {}
  std::int32_t get_system_metrics(int index) override {
    return index == platform::kSmCxVirtualScreen   ? 1920
           : index == platform::kSmCyVirtualScreen ? 1080
                                                   : 0;
  }
  std::uint32_t map_virtual_key(std::uint32_t code, std::uint32_t) override { return code & 0x7F; }

  std::uint32_t checksum() const { return checksum_; }

 private:
  std::uint32_t checksum_ = 0;
};

}  // namespace tarnu::bench
