// The desktop and input contract against the Win32 classes.

#include "contract/contract.h"
#include "platform/win32/win32_desktop_api.h"
#include "platform/win32/win32_input_api.h"

namespace tarnu::contract {
namespace {

class Win32DesktopWorld final : public DesktopWorld {
 public:
  platform::DesktopApi& desktops() override { return platform::win32::desktop_api(); }
  platform::InputApi& input() override { return platform::win32::input_api(); }
};

std::unique_ptr<DesktopWorld> win32_world() { return std::make_unique<Win32DesktopWorld>(); }

INSTANTIATE_TEST_SUITE_P(Win32, DesktopContract, ::testing::Values(&win32_world));

}  // namespace
}  // namespace tarnu::contract
