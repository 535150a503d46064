#include "main/role_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnu {
namespace {

class RecordingRunner final : public RoleRunner {
 public:
  std::string run_worker() override {
    ++worker_runs;
    return worker_error;
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
  int worker_runs = 0;
  int dispatcher_runs = 0;
};

std::vector<std::u16string> args(std::initializer_list<std::u16string> rest) {
  std::vector<std::u16string> all{u"Z:\\build\\tarnu-input-helper.exe"};
  all.insert(all.end(), rest);
  return all;
}

// Only "--worker" or "--service", exactly, as the first argument selects a role; later
// arguments are not looked at. Anything else is refused before either role runs. The worker's
// failure becomes one line and status 1; a dispatcher that cannot start (run from a shell)
// gives status 1, with the Windows error code kept out of the text.
TEST(RoleSelectionTest, OnlyAnExactSwitchFirstSelectsARole) {
  struct Case {
    std::vector<std::u16string> arguments;
    int worker_runs;
    int dispatcher_runs;
    bool dispatcher_fails;
    int exit_status;
    std::string error_output;
  };
  const std::string usage = "expected --service or --worker\n";
  const std::string worker_failed = "CreateNamedPipeW failed with Windows error 231\n";
  const Case cases[] = {
      {args({u"--worker"}), 1, 0, false, 1, worker_failed},
      {args({u"--worker", u"extra"}), 1, 0, false, 1, worker_failed},
      {args({u"--worker", u"--service", u"\xD800junk"}), 1, 0, false, 1, worker_failed},
      {args({u"--service"}), 0, 1, false, 0, ""},
      {args({u"--service", u"--worker"}), 0, 1, false, 0, ""},
      {args({u"--service"}), 0, 1, true, 1, "start service dispatcher: IO error in winapi call\n"},
      {{}, 0, 0, false, 1, usage},  // not even a program path
      {args({}), 0, 0, false, 1, usage},
      {args({u"--Worker"}), 0, 0, false, 1, usage},
      {args({u"--WORKER"}), 0, 0, false, 1, usage},
      {args({u"--Service"}), 0, 0, false, 1, usage},
      {args({u"--worker "}), 0, 0, false, 1, usage},
      {args({u"--service "}), 0, 0, false, 1, usage},
      {args({u" --worker"}), 0, 0, false, 1, usage},
      {args({u"--worker=1"}), 0, 0, false, 1, usage},
      {args({u"--service=auto"}), 0, 0, false, 1, usage},
      {args({u"-worker"}), 0, 0, false, 1, usage},
      {args({u"-service"}), 0, 0, false, 1, usage},
      {args({u"worker"}), 0, 0, false, 1, usage},
      {args({u""}), 0, 0, false, 1, usage},
      {args({u"--work"}), 0, 0, false, 1, usage},
      {args({std::u16string(u"--worker\0", 9)}), 0, 0, false, 1, usage},
      {args({u"--help", u"--worker"}), 0, 0, false, 1, usage},
  };
  for (const Case& c : cases) {
    const std::string label = ::testing::PrintToString(c.arguments);
    RecordingRunner runner;
    runner.dispatcher_fails = c.dispatcher_fails;
    const EntryOutcome outcome = run_entry(c.arguments, runner);
    EXPECT_EQ(runner.worker_runs, c.worker_runs) << label;
    EXPECT_EQ(runner.dispatcher_runs, c.dispatcher_runs) << label;
    EXPECT_EQ(outcome.exit_status, c.exit_status) << label;
    EXPECT_EQ(outcome.error_output, c.error_output) << label;
  }
}

}  // namespace
}  // namespace tarnu
