// The process launch contract against the fake machine.

#include "contract/contract.h"
#include "fakes/fake_process_launch_api.h"

namespace tarnu::contract {
namespace {

class FakeProcessLaunchWorld final : public ProcessLaunchWorld {
 public:
  FakeProcessLaunchWorld() {
    processes_.messages[platform::kErrorFileNotFound] = u"no such file";
    processes_.messages[platform::kErrorAccessDenied] = u"access denied";
    processes_.messages[platform::kErrorBrokenPipe] = u"pipe ended";
  }
  ~FakeProcessLaunchWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }
  platform::ProcessLaunchApi& api() override { return processes_; }
  platform::HandleApi& handles() override { return processes_; }
  std::u16string own_program_path() override { return processes_.executable_path; }
  std::u16string quick_command_line() override { return u"cmd.exe /c exit 3"; }
  std::u16string working_folder() override { return u"C:\\Windows\\System32"; }
  void let_end(platform::ProcessHandle process) override { processes_.end_process(process); }

 private:
  fakes::HandleLedger ledger_;
  fakes::FakeProcessLaunchApi processes_{ledger_};
};

std::unique_ptr<ProcessLaunchWorld> fake_world() {
  return std::make_unique<FakeProcessLaunchWorld>();
}

INSTANTIATE_TEST_SUITE_P(Fake, ProcessLaunchContract, ::testing::Values(&fake_world));

}  // namespace
}  // namespace tarnu::contract
