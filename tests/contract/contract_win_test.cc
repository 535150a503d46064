// The contract cases of every area against the Win32 classes (Windows tree, under Wine).

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "contract/contract.h"
#include "contract/contract_win.h"
#include "platform/win32/win32_desktop_api.h"
#include "platform/win32/win32_file_system_api.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_input_api.h"
#include "platform/win32/win32_pipe_api.h"
#include "platform/win32/win32_process_launch_api.h"
#include "platform/win32/win32_session_api.h"

namespace tarnu::contract {
namespace {

class Win32FileSystemWorld final : public FileSystemWorld {
 public:
  Win32FileSystemWorld() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_GT(length, 0u);
    folder_ = from_wide(temp) + unique_suffix();
    EXPECT_TRUE(::CreateDirectoryW(wide(folder_), nullptr)) << "error " << ::GetLastError();
  }
  ~Win32FileSystemWorld() override {
    for (const auto& [name, value] : saved_environment_) {
      ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    remove_tree(std::wstring(wide(folder_)));
  }

  platform::FileSystemApi& api() override { return platform::win32::file_system_api(); }
  platform::HandleApi& handles() override { return platform::win32::handle_api(); }
  std::u16string folder() override { return folder_; }
  void make_file(const std::u16string& path, std::string_view content) override {
    HANDLE file = ::CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(
        ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
    ::CloseHandle(file);
  }
  std::string content(const std::u16string& path) override {
    HANDLE file = ::CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      ADD_FAILURE() << "cannot read " << narrow_path(path) << ": " << ::GetLastError();
      return {};
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
      text.append(buffer, read);
    }
    ::CloseHandle(file);
    return text;
  }
  void make_hard_link(const std::u16string& existing, const std::u16string& link) override {
    EXPECT_TRUE(::CreateHardLinkW(wide(link), wide(existing), nullptr))
        << "error " << ::GetLastError();
  }
  void set_environment(const std::u16string& name,
                       const std::optional<std::u16string>& value) override {
    const std::wstring key(wide(name));
    if (saved_environment_.count(key) == 0) {
      wchar_t old[32767];
      const DWORD length = ::GetEnvironmentVariableW(key.c_str(), old, 32767);
      saved_environment_[key] =
          length > 0 ? std::optional<std::wstring>(std::wstring(old, length)) : std::nullopt;
    }
    EXPECT_TRUE(::SetEnvironmentVariableW(key.c_str(), value ? wide(*value) : nullptr) || !value);
  }
  void use_temporary_folder(const std::u16string& folder) override {
    set_environment(u"TMP", folder);
  }
  std::u16string process_user_sid() override { return process_user_sid_text(); }

 private:
  static std::string narrow_path(const std::u16string& path) {
    return std::string(path.begin(), path.end());
  }

  std::u16string folder_;
  std::map<std::wstring, std::optional<std::wstring>> saved_environment_;
};

INSTANTIATE_TEST_SUITE_P(Win32, FileSystemContract,
                         ::testing::Values(&make_world<Win32FileSystemWorld, FileSystemWorld>));

class Win32PipeWorld final : public PipeWorld {
 public:
  ~Win32PipeWorld() override {
    for (std::thread& waiter : waiters_) {
      waiter.join();
    }
    for (HANDLE client : clients_) {
      if (client != INVALID_HANDLE_VALUE) {
        ::CloseHandle(client);
      }
    }
  }

  platform::PipeApi& api() override { return platform::win32::pipe_api(); }
  platform::HandleApi& handles() override { return platform::win32::handle_api(); }
  std::u16string unique_name() override { return u"\\\\.\\pipe\\" + unique_suffix(); }
  Expected<int, platform::WindowsErrorCode> open_client(const std::u16string& name) override {
    HANDLE client = ::CreateFileW(wide(name), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (client == INVALID_HANDLE_VALUE) {
      return Unexpected(static_cast<platform::WindowsErrorCode>(::GetLastError()));
    }
    clients_.push_back(client);
    return static_cast<int>(clients_.size() - 1);
  }
  void client_write(int client, std::string_view bytes) override {
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(clients_.at(static_cast<std::size_t>(client)), bytes.data(),
                            static_cast<DWORD>(bytes.size()), &written, nullptr))
        << "error " << ::GetLastError();
    EXPECT_EQ(written, bytes.size());
  }
  void close_client(int client) override {
    HANDLE& handle = clients_.at(static_cast<std::size_t>(client));
    ::CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
  void client_during_next_wait(const std::u16string& name, std::string bytes) override {
    // Tries for up to 5 s: 231 (or 2) until the server waits.
    waiters_.emplace_back([name, bytes] {
      for (int attempt = 0; attempt < 500; ++attempt) {
        HANDLE client =
            ::CreateFileW(wide(name), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (client != INVALID_HANDLE_VALUE) {
          DWORD written = 0;
          ::WriteFile(client, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
          ::CloseHandle(client);
          return;
        }
        ::Sleep(10);
      }
    });
  }
  std::uint32_t own_session() override {
    DWORD session = 0;
    EXPECT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
    return session;
  }

 private:
  std::vector<HANDLE> clients_;
  std::vector<std::thread> waiters_;
};

INSTANTIATE_TEST_SUITE_P(Win32, PipeContract,
                         ::testing::Values(&make_world<Win32PipeWorld, PipeWorld>));

class Win32SessionWorld final : public SessionWorld {
 public:
  platform::SessionApi& api() override { return platform::win32::session_api(); }
  platform::HandleApi& handles() override { return platform::win32::handle_api(); }
};

INSTANTIATE_TEST_SUITE_P(Win32, SessionContract,
                         ::testing::Values(&make_world<Win32SessionWorld, SessionWorld>));

class Win32ProcessLaunchWorld final : public ProcessLaunchWorld {
 public:
  platform::ProcessLaunchApi& api() override { return platform::win32::process_launch_api(); }
  platform::HandleApi& handles() override { return platform::win32::handle_api(); }
  std::u16string own_program_path() override {
    wchar_t path[32768];
    DWORD size = 32768;
    EXPECT_TRUE(::QueryFullProcessImageNameW(::GetCurrentProcess(), 0, path, &size));
    return from_wide(path);
  }
  std::u16string quick_command_line() override {
    // Appended piece by piece: GCC 12 takes `literal + string + literal` for an overlapping
    // copy (-Wrestrict).
    std::u16string command_line = u"\"";
    command_line += system_folder();
    command_line += u"\\cmd.exe\" /c exit 3";
    return command_line;
  }
  std::u16string working_folder() override { return system_folder(); }
  void let_end(platform::ProcessHandle) override {}

 private:
  static std::u16string system_folder() {
    wchar_t folder[MAX_PATH];
    EXPECT_GT(::GetSystemDirectoryW(folder, MAX_PATH), 0u);
    return from_wide(folder);
  }
};

INSTANTIATE_TEST_SUITE_P(
    Win32, ProcessLaunchContract,
    ::testing::Values(&make_world<Win32ProcessLaunchWorld, ProcessLaunchWorld>));

class Win32DesktopWorld final : public DesktopWorld {
 public:
  platform::DesktopApi& desktops() override { return platform::win32::desktop_api(); }
  platform::InputApi& input() override { return platform::win32::input_api(); }
};

INSTANTIATE_TEST_SUITE_P(Win32, DesktopContract,
                         ::testing::Values(&make_world<Win32DesktopWorld, DesktopWorld>));

}  // namespace
}  // namespace tarnu::contract
