// The desktop and input contract against the fakes.

#include "contract/contract.h"
#include "fakes/fake_desktop_api.h"
#include "fakes/fake_input_api.h"

namespace tarnu::contract {
namespace {

class FakeDesktopWorld final : public DesktopWorld {
 public:
  FakeDesktopWorld() { input_.scan_codes[0x41] = 0x1E; }
  ~FakeDesktopWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }
  platform::DesktopApi& desktops() override { return desktops_; }
  platform::InputApi& input() override { return input_; }

 private:
  fakes::HandleLedger ledger_;
  fakes::FakeDesktopApi desktops_{ledger_};
  fakes::FakeInputApi input_;
};

std::unique_ptr<DesktopWorld> fake_world() { return std::make_unique<FakeDesktopWorld>(); }

INSTANTIATE_TEST_SUITE_P(Fake, DesktopContract, ::testing::Values(&fake_world));

}  // namespace
}  // namespace tarnu::contract
