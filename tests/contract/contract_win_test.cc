// The contract cases of every area against the Win32 classes (Windows tree, under Wine).

#include <windows.h>

#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "contract/contract.h"
#include "platform/win32/win32_desktop_api.h"
#include "platform/win32/win32_file_system_api.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_input_api.h"
#include "platform/win32/win32_pipe_api.h"
#include "platform/win32/win32_process_launch_api.h"
#include "platform/win32/win32_session_api.h"

namespace tarnu::contract {
namespace {

const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string from_wide(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// A name no other case or run uses: the process id and a counter.
std::u16string unique_suffix() {
  static int counter = 0;
  std::wstring text = L"tarnu-contract-";
  text += std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
  return from_wide(text.c_str());
}

class Win32World final : public World {
 public:
  ~Win32World() override {
    for (std::thread& waiter : waiters_) {
      waiter.join();
    }
    for (HANDLE client : clients_) {
      if (client != INVALID_HANDLE_VALUE) {
        ::CloseHandle(client);
      }
    }
    for (const auto& [name, value] : saved_environment_) {
      ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    if (!folder_.empty()) {
      std::error_code error;
      std::filesystem::remove_all(std::filesystem::path(wide(folder_)), error);
      EXPECT_FALSE(error) << error.message();
    }
  }

  platform::HandleApi& handles() override { return platform::win32::handle_api(); }

  platform::FileSystemApi& files() override { return platform::win32::file_system_api(); }
  // Made at the first use: most cases need no folder.
  std::u16string folder() override {
    if (folder_.empty()) {
      const auto made = std::filesystem::temp_directory_path() / wide(unique_suffix());
      EXPECT_TRUE(std::filesystem::create_directory(made));
      folder_ = from_wide(made.c_str());
    }
    return folder_;
  }
  void make_file(const std::u16string& path, std::string_view content) override {
    std::ofstream file(std::filesystem::path(wide(path)), std::ios::binary);
    EXPECT_TRUE(file << content) << "cannot write " << narrow(path);
  }
  std::string content(const std::u16string& path) override {
    std::ifstream file(std::filesystem::path(wide(path)), std::ios::binary);
    EXPECT_TRUE(file) << "cannot read " << narrow(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
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
  std::u16string process_user_sid() override {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
      return u"";
    }
    alignas(TOKEN_USER) unsigned char buffer[256];
    DWORD size = 0;
    std::u16string text;
    if (::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size)) {
      LPWSTR sid = nullptr;
      if (::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
        text = from_wide(sid);
        ::LocalFree(sid);
      }
    }
    ::CloseHandle(token);
    return text;
  }

  platform::PipeApi& pipes() override { return platform::win32::pipe_api(); }
  std::u16string unique_pipe_name() override { return u"\\\\.\\pipe\\" + unique_suffix(); }
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

  platform::SessionApi& sessions() override { return platform::win32::session_api(); }

  platform::ProcessLaunchApi& processes() override { return platform::win32::process_launch_api(); }
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

  platform::DesktopApi& desktops() override { return platform::win32::desktop_api(); }
  platform::InputApi& input() override { return platform::win32::input_api(); }

 private:
  static std::u16string system_folder() {
    wchar_t folder[MAX_PATH];
    EXPECT_GT(::GetSystemDirectoryW(folder, MAX_PATH), 0u);
    return from_wide(folder);
  }

  std::u16string folder_;
  std::map<std::wstring, std::optional<std::wstring>> saved_environment_;
  std::vector<HANDLE> clients_;
  std::vector<std::thread> waiters_;
};

}  // namespace

std::unique_ptr<World> make_world() { return std::make_unique<Win32World>(); }

}  // namespace tarnu::contract
