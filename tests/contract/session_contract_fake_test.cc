// The session contract against the fake.

#include "contract/contract.h"
#include "fakes/fake_handle_api.h"
#include "fakes/fake_session_api.h"

namespace tarnu::contract {
namespace {

class FakeSessionWorld final : public SessionWorld {
 public:
  ~FakeSessionWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }
  platform::SessionApi& api() override { return sessions_; }
  platform::HandleApi& handles() override { return handles_; }

 private:
  fakes::HandleLedger ledger_;
  fakes::FakeHandleApi handles_{ledger_};
  fakes::FakeSessionApi sessions_{ledger_};
};

std::unique_ptr<SessionWorld> fake_world() { return std::make_unique<FakeSessionWorld>(); }

INSTANTIATE_TEST_SUITE_P(Fake, SessionContract, ::testing::Values(&fake_world));

}  // namespace
}  // namespace tarnu::contract
