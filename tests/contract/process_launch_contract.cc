#include "contract/contract.h"

namespace tarnu::contract {
namespace {

using platform::ScopedJob;
using platform::ScopedProcess;
using platform::ScopedThread;
using platform::ScopedToken;
using platform::WindowsErrorCode;

// TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES |
// TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID, as the service asks for its own token.
constexpr std::uint32_t kTokenAccess = 0x000001AB;
constexpr WindowsErrorCode kPrivilegeNotHeld = 1314;
// Long enough for a child under Wine; a case that waits this long has failed anyway.
constexpr std::uint32_t kPatienceMs = 10000;

struct Child {
  ScopedProcess process;
  ScopedThread thread;
};

// A copy of the process's own token as a primary token, and a child started with it.
class Launcher {
 public:
  explicit Launcher(World& world) : world_(world) {
    platform::ProcessLaunchApi& processes = world.processes();
    const auto own = processes.open_current_process_token(kTokenAccess);
    EXPECT_TRUE(own);
    if (!own) {
      return;
    }
    ScopedToken own_token(world.handles(), *own);
    const auto copy = processes.duplicate_token(
        own_token.get(), kTokenAccess, platform::kSecurityImpersonation, platform::kTokenPrimary);
    EXPECT_TRUE(copy);
    if (copy) {
      token_ = ScopedToken(world.handles(), *copy);
    }
  }

  Expected<Child, WindowsErrorCode> start(std::uint32_t flags,
                                          platform::EventHandle inherited = {}) {
    std::u16string command_line = world_.quick_command_line();
    const std::u16string before = command_line;
    const auto created = world_.processes().create_process_as_user(
        token_.get(), command_line, world_.working_folder(), u"winsta0\\default",
        flags | platform::kCreateNoWindow | platform::kCreateUnicodeEnvironment, inherited);
    EXPECT_EQ(command_line, before);
    if (!created) {
      return Unexpected(created.error());
    }
    return Child{ScopedProcess(world_.handles(), created->process),
                 ScopedThread(world_.handles(), created->thread)};
  }

  const ScopedToken& token() const { return token_; }

 private:
  World& world_;
  ScopedToken token_;
};

TEST_F(ProcessLaunchContract, ModuleFileNameIsTheProgramsOwnPath) {
  const auto path = world_->processes().module_file_name();
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, world_->own_program_path());
}

// A known code has a message without the line break FormatMessageW ends it with; a code the
// system has no message for (the customer bit set) gives nothing.
TEST_F(ProcessLaunchContract, ErrorMessagesHaveNoTrailingLineBreak) {
  for (const WindowsErrorCode code :
       {platform::kErrorFileNotFound, platform::kErrorAccessDenied, platform::kErrorBrokenPipe}) {
    const std::u16string message = world_->processes().error_message(code);
    ASSERT_FALSE(message.empty()) << code;
    EXPECT_NE(message.back(), u'\n') << code;
    EXPECT_NE(message.back(), u'\r') << code;
    EXPECT_NE(message.back(), u' ') << code;
  }
  EXPECT_EQ(world_->processes().error_message(0x2000BEEF), u"");
}

// SetTokenInformation(TokenSessionId) needs SeTcbPrivilege: 1314 without it on Windows;
// Wine accepts it (and changes nothing).
TEST_F(ProcessLaunchContract, MovingATokenToASessionNeedsTcb) {
  Launcher launcher(*world_);
  ASSERT_TRUE(launcher.token());
  const auto moved = world_->processes().set_token_session_id(launcher.token().get(), 1);
  if (!moved) {
    EXPECT_EQ(moved.error(), kPrivilegeNotHeld);
  }
}

// A child that ends by itself is signalled and stays so; a suspended one is not until it is
// terminated, or resumed and let run. A child may be handed one inheritable event (the
// worker's stop event), which stays the parent's to set and close.
TEST_F(ProcessLaunchContract, WaitsSeeChildrenEnd) {
  Launcher launcher(*world_);
  ASSERT_TRUE(launcher.token());
  platform::ProcessLaunchApi& processes = world_->processes();
  const auto made = processes.create_inheritable_event();
  ASSERT_TRUE(made);
  const platform::ScopedEvent event(world_->handles(), *made);
  const struct {
    bool suspended;
    bool terminated;
    bool inherits = false;
  } ways[] = {{false, false}, {true, true}, {true, false}, {true, false, true}};
  for (const auto& way : ways) {
    auto child = launcher.start(way.suspended ? platform::kCreateSuspended : 0,
                                way.inherits ? event.get() : platform::EventHandle());
    ASSERT_TRUE(child) << child.error();
    const platform::ProcessHandle process = child->process.get();
    if (way.suspended) {
      EXPECT_EQ(processes.wait_for_single_object(process, 50), platform::kWaitTimeout);
    }
    if (way.terminated) {
      processes.terminate_process(process, 7);
    } else {
      if (way.suspended) {
        ASSERT_TRUE(processes.resume_thread(child->thread.get()));
      }
      world_->let_end(process);
    }
    EXPECT_EQ(processes.wait_for_single_object(process, kPatienceMs), platform::kWaitObject0);
    EXPECT_EQ(processes.wait_for_single_object(process, 0), platform::kWaitObject0);
  }
  EXPECT_TRUE(processes.set_event(event.get()));
}

// The worker's job: a suspended process is its one active process, and kill-on-close ends
// it when the job's last handle closes.
TEST_F(ProcessLaunchContract, ClosingAKillOnCloseJobEndsItsProcesses) {
  Launcher launcher(*world_);
  ASSERT_TRUE(launcher.token());
  platform::ProcessLaunchApi& processes = world_->processes();
  auto child = launcher.start(platform::kCreateSuspended);
  ASSERT_TRUE(child) << child.error();
  {
    const auto created = processes.create_job_object();
    ASSERT_TRUE(created);
    ScopedJob job(world_->handles(), *created);
    ASSERT_TRUE(processes.set_job_limits(job.get(),
                                         platform::kJobLimitKillOnJobClose |
                                             platform::kJobLimitActiveProcess |
                                             platform::kJobLimitDieOnUnhandledException,
                                         1));
    ASSERT_TRUE(processes.assign_process_to_job_object(job.get(), child->process.get()));
    EXPECT_EQ(processes.wait_for_single_object(child->process.get(), 0), platform::kWaitTimeout);
  }
  EXPECT_EQ(processes.wait_for_single_object(child->process.get(), kPatienceMs),
            platform::kWaitObject0);
}

}  // namespace
}  // namespace tarnu::contract
