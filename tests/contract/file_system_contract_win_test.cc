// The file system contract against the Win32 class: a folder of the case's own under the
// process's temporary-files directory, and the process's own environment.

#include <map>
#include "contract/contract.h"

#include "contract/contract_win.h"
#include "platform/win32/win32_file_system_api.h"
#include "platform/win32/win32_handle_api.h"

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

std::unique_ptr<FileSystemWorld> win32_world() { return std::make_unique<Win32FileSystemWorld>(); }

INSTANTIATE_TEST_SUITE_P(Win32, FileSystemContract, ::testing::Values(&win32_world));

}  // namespace
}  // namespace tarnu::contract
