// The process launch contract against the Win32 class; children are `cmd /c exit 3`.

#include "contract/contract.h"
#include "contract/contract_win.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_process_launch_api.h"

namespace tarnu::contract {
namespace {

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

std::unique_ptr<ProcessLaunchWorld> win32_world() {
  return std::make_unique<Win32ProcessLaunchWorld>();
}

INSTANTIATE_TEST_SUITE_P(Win32, ProcessLaunchContract, ::testing::Values(&win32_world));

}  // namespace
}  // namespace tarnu::contract
