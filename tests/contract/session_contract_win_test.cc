// The session contract against the Win32 class.

#include "contract/contract.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_session_api.h"

namespace tarnu::contract {
namespace {

class Win32SessionWorld final : public SessionWorld {
 public:
  platform::SessionApi& api() override { return platform::win32::session_api(); }
  platform::HandleApi& handles() override { return platform::win32::handle_api(); }
};

std::unique_ptr<SessionWorld> win32_world() { return std::make_unique<Win32SessionWorld>(); }

INSTANTIATE_TEST_SUITE_P(Win32, SessionContract, ::testing::Values(&win32_world));

}  // namespace
}  // namespace tarnu::contract
