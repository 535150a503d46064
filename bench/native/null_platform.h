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
#include "platform/library_api.h"
#include "platform/monotonic_clock.h"
#include "platform/pipe_api.h"
#include "platform/session_api.h"

namespace tarnu::bench {

// Platform seams that succeed at once and remember nothing, so that a benchmark measures
// only the project's own work. Unlike the recording fakes of the tests they allocate
// nothing per call.

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

// Nobody logged on: the session lookups fail at the first step.
class NullSessionApi final : public platform::SessionApi {
 public:
  Expected<std::uint32_t, platform::WindowsErrorCode> current_process_session() override {
    return std::uint32_t{1};
  }
  Expected<platform::TokenHandle, platform::WindowsErrorCode> query_user_token(
      std::uint32_t) override {
    return Unexpected(platform::WindowsErrorCode{1008});
  }
  Expected<platform::TokenHandle, platform::WindowsErrorCode> open_process_token() override {
    return Unexpected(platform::WindowsErrorCode{5});
  }
  std::uint32_t token_user_size(platform::TokenHandle) override { return 0; }
  Expected<void, platform::WindowsErrorCode> read_token_user(platform::TokenHandle,
                                                             std::span<std::byte>) override {
    return Unexpected(platform::WindowsErrorCode{1});
  }
  Expected<platform::SidText, platform::WindowsErrorCode> convert_token_user_sid_to_string(
      std::span<const std::byte>) override {
    return Unexpected(platform::WindowsErrorCode{1});
  }
  std::u16string wide_text(platform::SidText) override { return {}; }
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
  Expected<platform::FileHandle, platform::WindowsErrorCode> open_or_create_for_writing(
      const std::u16string&) override {
    return platform::FileHandle(2);
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
    switch (index) {
      case platform::kSmCxVirtualScreen:
        return 1920;
      case platform::kSmCyVirtualScreen:
        return 1080;
      default:
        return 0;
    }
  }
  std::uint32_t map_virtual_key(std::uint32_t code, std::uint32_t) override { return code & 0x7F; }

  std::uint32_t checksum() const { return checksum_; }

 private:
  std::uint32_t checksum_ = 0;
};

class NullLibraryApi final : public platform::LibraryApi {
 public:
  platform::ModuleHandle load_system_library(const std::u16string&) override { return {}; }
  platform::RawProcedure get_proc_address(platform::ModuleHandle, const std::string&) override {
    return 0;
  }
  void call_void_bool_procedure(platform::RawProcedure, bool) override {}
  void free_library(platform::ModuleHandle) override {}
};

class NullClock final : public platform::MonotonicClock {
 public:
  std::chrono::nanoseconds now() override { return std::chrono::nanoseconds{0}; }
};

}  // namespace tarnu::bench
