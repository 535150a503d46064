#include "main/role_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnu {
namespace {

class RecordingRunner final : public RoleRunner {
 public:
  Status run_worker(std::span<const std::u16string> arguments) override {
    ++worker_runs;
    worker_arguments.assign(arguments.begin(), arguments.end());
    if (worker_error.empty()) {
      return {};
    }
    return Unexpected(worker_error);
  }
  Expected<void, platform::WinapiError> run_service_dispatcher() override {
    ++dispatcher_runs;
    if (dispatcher_fails) {
      return Unexpected(platform::WinapiError{1063});
    }
    return {};
  }

  std::string worker_error = "CreateNamedPipeW failed with Windows error 231";
  bool dispatcher_fails = false;
  std::vector<std::u16string> worker_arguments;
  int worker_runs = 0;
  int dispatcher_runs = 0;
};

std::vector<std::u16string> args(std::initializer_list<std::u16string> rest) {
  std::vector<std::u16string> all{u"Z:\\build\\tarnu-input-helper.exe"};
  all.insert(all.end(), rest);
  return all;
}

TEST(RoleSelectionTest, RejectsEverythingButTheExactSwitches) {
  const std::vector<std::vector<std::u16string>> rejected = {
      {},  // not even a program path
      args({}),
      args({u"--Worker"}),
      args({u"--WORKER"}),
      args({u"--Service"}),
      args({u"--worker "}),
      args({u"--service "}),
      args({u" --worker"}),
      args({u"--worker=1"}),
      args({u"--service=auto"}),
      args({u"-worker"}),
      args({u"-service"}),
      args({u"worker"}),
      args({u""}),
      args({u"--work"}),
      args({std::u16string(u"--worker\0", 9)}),
      args({u"--help", u"--worker"}),
  };
  for (const auto& arguments : rejected) {
    RecordingRunner runner;
    const EntryOutcome outcome = run_entry(arguments, runner);
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(outcome.error_output, "expected --service or --worker\n");
    EXPECT_EQ(runner.worker_runs + runner.dispatcher_runs, 0);
  }
}

TEST(RoleSelectionTest, SelectsTheRoleAndIgnoresLaterArguments) {
  EXPECT_EQ(*select_role(args({u"--worker"})), Role::Worker);
  EXPECT_EQ(*select_role(args({u"--service"})), Role::Service);
  EXPECT_EQ(*select_role(args({u"--worker", u"--service", u"\xD800junk"})), Role::Worker);
  EXPECT_EQ(*select_role(args({u"--service", u"--worker"})), Role::Service);
}

TEST(RoleSelectionTest, WorkerFailureIsOneLineAndStatusOneAndAStopStatusZero) {
  RecordingRunner runner;
  const EntryOutcome outcome = run_entry(args({u"--worker", u"extra"}), runner);
  EXPECT_EQ(runner.worker_runs, 1);
  EXPECT_EQ(outcome.exit_status, 1);
  EXPECT_EQ(outcome.error_output, "CreateNamedPipeW failed with Windows error 231\n");

  // Stopped by its service: a clean end. The worker reads its own options.
  RecordingRunner stopped;
  stopped.worker_error.clear();
  const auto arguments = args({u"--worker", u"--stop-event", u"260"});
  const EntryOutcome clean = run_entry(arguments, stopped);
  EXPECT_EQ(clean.exit_status, 0);
  EXPECT_EQ(clean.error_output, "");
  EXPECT_EQ(stopped.worker_arguments, arguments);
}

TEST(RoleSelectionTest, ServiceDispatcherOutcome) {
  RecordingRunner stopped;
  const EntryOutcome ok = run_entry(args({u"--service"}), stopped);
  EXPECT_EQ(stopped.dispatcher_runs, 1);
  EXPECT_EQ(ok.exit_status, 0);
  EXPECT_EQ(ok.error_output, "");

  RecordingRunner from_shell;
  from_shell.dispatcher_fails = true;
  const EntryOutcome failed = run_entry(args({u"--service"}), from_shell);
  EXPECT_EQ(failed.exit_status, 1);
  // The Windows error code stays out of the text.
  EXPECT_EQ(failed.error_output, "start service dispatcher: IO error in winapi call\n");
}

}  // namespace
}  // namespace tarnu
