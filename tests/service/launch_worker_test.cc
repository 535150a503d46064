#include "service/launch_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_process_launch_api.h"
#include "fakes/handle_ledger.h"
#include "platform/text.h"
#include "service/worker_process.h"

namespace tarnu::service {
namespace {

using fakes::FakeProcessLaunchApi;
using Calls = std::vector<std::string>;

// How the first worker is stopped: asked through its event and given a second to end, then
// terminated with exit code 0, waited for until it is gone, and its handles closed.
const Calls kFirstWorkerStopped = {"SetEvent(event1)",
                                   "WaitForSingleObject(process1,1000)",
                                   "TerminateProcess(process1,0)",
                                   "WaitForSingleObject(process1,500)",
                                   "CloseHandle(process1)",
                                   "CloseHandle(job1)",
                                   "CloseHandle(event1)"};

class LaunchWorkerTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(ledger.misuses().empty()); }

  // A worker recorded as running in session 1, with the calls that started it forgotten.
  void record_running_worker() {
    ASSERT_TRUE(launch_worker(worker, api, api));
    api.calls.clear();
  }

  fakes::HandleLedger ledger;
  FakeProcessLaunchApi api{ledger};
  WorkerProcess worker{api, api};
};

TEST_F(LaunchWorkerTest, StartsTheWorkerWithAPrimaryCopyOfTheServiceTokenInTheConsoleSession) {
  api.console_session = 3;
  ASSERT_TRUE(launch_worker(worker, api, api));

  EXPECT_EQ(api.calls, (Calls{
                           "WTSGetActiveConsoleSessionId",
                           "OpenProcessToken(0x1ab)",
                           "DuplicateTokenEx(service-token,0x1ab,2,1)",
                           "SetTokenInformation(worker-token,TokenSessionId,3)",
                           "AdjustTokenPrivileges(worker-token)",
                           "CloseHandle(service-token)",
                           "GetModuleFileNameW",
                           "CreateJobObjectW",
                           "SetInformationJobObject(job1,0x2408,1)",
                           "CreateEventW",
                           "CreateProcessAsUserW(worker-token,0x8000404,event1)",
                           "AssignProcessToJobObject(job1,process1)",
                           "ResumeThread(thread1)",
                           "CloseHandle(thread1)",
                           "CloseHandle(worker-token)",
                       }));
  ASSERT_EQ(api.launches.size(), 1u);
  const FakeProcessLaunchApi::Launch& launch = api.launches[0];
  EXPECT_EQ(launch.token_session, 3u);
  // Of every privilege there is, the worker's token keeps only these.
  EXPECT_EQ(launch.token_privileges,
            (std::set<std::u16string>{u"SeChangeNotifyPrivilege", u"SeCreateGlobalPrivilege",
                                      u"SeTcbPrivilege"}));
  // The one handle it inherits is its stop event, under the value its command line names.
  EXPECT_EQ(api.label(launch.inherited.raw()), "event1");
  EXPECT_EQ(launch.command_line,
            u"\"C:\\Program Files\\Tarnu\\tarnu-input-helper.exe\" --worker --stop-event " +
                platform::utf8_to_utf16(std::to_string(launch.inherited.raw())));
  EXPECT_EQ(launch.current_directory, u"C:\\Program Files\\Tarnu");
  EXPECT_EQ(launch.desktop, u"WinSta0\\Default");

  EXPECT_EQ(worker.process(), launch.process);
  EXPECT_EQ(worker.session_id(), 3u);
  // The process, its job and its stop event, owned by the record.
  EXPECT_EQ(ledger.open_count(), 3u);
  EXPECT_EQ(ledger.open_count("process"), 1u);
  EXPECT_EQ(ledger.open_count("job"), 1u);
  EXPECT_EQ(ledger.open_count("event"), 1u);
  // It ran only once it was in a job that dies with the service.
  EXPECT_EQ(api.processes_run_outside_a_job(), 0u);
  EXPECT_EQ(api.orphans_if_caller_dies(), 0u);
}

// Stopped: asked through its event, given up to the bound, then terminated (exit code 0) and
// closed, whether it answers, hangs or has gone already; no wait when the event cannot be
// set. A record that goes terminates at once, without asking.
TEST(WorkerStopTest, AskedThenWaitedForAtMostTheBoundThenTerminated) {
  using Arrange = void (*)(FakeProcessLaunchApi&, platform::ProcessHandle);
  const Calls unasked(kFirstWorkerStopped.begin() + 2, kFirstWorkerStopped.end());
  Calls unwaited = unasked;
  unwaited.insert(unwaited.begin(), "SetEvent(event1)");
  const struct {
    const char* name;
    Arrange arrange;  // none: the record goes instead of stopping
    std::uint64_t waited_ms;
    int killed;  // terminated while still running
    const Calls& calls;
  } cases[] = {
      {"answers", [](auto&, auto) {}, 0, 0, kFirstWorkerStopped},
      {"hung or suspended", [](auto& api, auto process) { api.hang(process); }, 1000, 1,
       kFirstWorkerStopped},
      {"gone already", [](auto& api, auto process) { api.end_process(process); }, 0, 0,
       kFirstWorkerStopped},
      {"its event cannot be set", [](auto& api, auto) { api.failures["SetEvent"] = 6; }, 0, 1,
       unwaited},
      {"its record goes", nullptr, 0, 1, unasked},
  };
  for (const auto& c : cases) {
    fakes::HandleLedger ledger;
    FakeProcessLaunchApi api{ledger};
    {
      WorkerProcess worker{api, api};
      ASSERT_TRUE(launch_worker(worker, api, api)) << c.name;
      api.calls.clear();
      if (c.arrange) {
        c.arrange(api, worker.process());
        worker.stop();
      }
    }
    EXPECT_EQ(api.calls, c.calls) << c.name;
    EXPECT_EQ(api.waited_ms, c.waited_ms) << c.name;
    EXPECT_EQ(api.terminated_running, c.killed) << c.name;
    EXPECT_EQ(ledger.open_count() + api.running_processes(), 0u) << c.name;
    EXPECT_TRUE(ledger.misuses().empty()) << c.name;
  }
}

struct FailureCase {
  const char* name;
  const char* call;  // the fake's call that fails; none: no session on the console
  platform::WindowsErrorCode code;
  LaunchFailure failure;  // the step reported, and the error as administrators read it
  // A second worker process was created (suspended) before the failure.
  bool created = false;
};

// Named in test listings by their case name rather than their bytes.
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class LaunchWorkerFailureTest : public LaunchWorkerTest,
                                public testing::WithParamInterface<FailureCase> {};

TEST_P(LaunchWorkerFailureTest, ReportsTheStepLeavesTheRecordEmptyAndClosesEverything) {
  const FailureCase& c = GetParam();
  record_running_worker();
  if (c.call) {
    api.failures[c.call] = c.code;
  } else {
    api.console_session = platform::kNoConsoleSession;
  }
  api.messages[5] = u"Access is denied.";

  const auto launched = launch_worker(worker, api, api);
  ASSERT_FALSE(launched);
  EXPECT_EQ(launched.error().step, c.failure.step);
  EXPECT_EQ(launched.error().error, c.failure.error);

  // The replaced worker is gone whatever failed later.
  const auto stop_calls = static_cast<std::ptrdiff_t>(kFirstWorkerStopped.size());
  ASSERT_GE(api.calls.size(), kFirstWorkerStopped.size());
  EXPECT_EQ(Calls(api.calls.begin(), api.calls.begin() + stop_calls), kFirstWorkerStopped);

  EXPECT_FALSE(worker.has_process());
  EXPECT_EQ(worker.session_id(), 0u);
  EXPECT_EQ(ledger.open_count(), 0u);
  EXPECT_TRUE(ledger.misuses().empty());
  // A worker created before the failure never ran and no longer runs: it was terminated
  // before any of its handles was closed.
  EXPECT_EQ(api.launches.size(), c.created ? 2u : 1u);
  EXPECT_EQ(api.running_processes(), 0u);
  EXPECT_EQ(api.processes_run_outside_a_job(), 0u);
  if (c.created) {
    const auto terminated =
        std::find(api.calls.begin(), api.calls.end(), "TerminateProcess(process2,1)");
    ASSERT_NE(terminated, api.calls.end());
    EXPECT_EQ(std::find(api.calls.begin(), terminated, "CloseHandle(thread2)"), terminated);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, LaunchWorkerFailureTest,
    testing::Values(
        FailureCase{"NoConsoleSession",
                    nullptr,
                    0,
                    {kNoConsoleStep, "no session is attached to the console"}},
        // The system's message, when it has one, and the number in unsigned decimal.
        FailureCase{"OpenProcessToken",
                    "OpenProcessToken",
                    5,
                    {"OpenProcessToken", "Access is denied. (Windows error 5)"}},
        FailureCase{"DuplicateTokenEx",
                    "DuplicateTokenEx",
                    1314,
                    {"DuplicateTokenEx", "Windows error 1314"}},
        FailureCase{"SetTokenInformation",
                    "SetTokenInformation",
                    1314,
                    {"SetTokenInformation(TokenSessionId)", "Windows error 1314"}},
        FailureCase{"AdjustTokenPrivileges",
                    "AdjustTokenPrivileges",
                    6,
                    {"AdjustTokenPrivileges", "Windows error 6"}},
        FailureCase{"GetModuleFileNameW",
                    "GetModuleFileNameW",
                    122,
                    {"GetModuleFileNameW", "Windows error 122"}},
        FailureCase{"CreateJobObjectW",
                    "CreateJobObjectW",
                    1450,
                    {"CreateJobObjectW", "Windows error 1450"}},
        FailureCase{
            "SetInformationJobObject",
            "SetInformationJobObject",
            87,
            {"SetInformationJobObject(JobObjectExtendedLimitInformation)", "Windows error 87"}},
        FailureCase{"CreateEventW", "CreateEventW", 1450, {"CreateEventW", "Windows error 1450"}},
        FailureCase{"CreateProcessAsUserW",
                    "CreateProcessAsUserW",
                    5,
                    {"CreateProcessAsUserW", "Access is denied. (Windows error 5)"}},
        FailureCase{"AssignProcessToJobObject",
                    "AssignProcessToJobObject",
                    5,
                    {"AssignProcessToJobObject", "Access is denied. (Windows error 5)"},
                    true},
        FailureCase{"ResumeThread", "ResumeThread", 6, {"ResumeThread", "Windows error 6"}, true},
        FailureCase{"ErrorCodeIsUnsignedDecimal",
                    "OpenProcessToken",
                    0xFFFFFFFF,
                    {"OpenProcessToken", "Windows error 4294967295"}}),
    [](const testing::TestParamInfo<FailureCase>& param_info) { return param_info.param.name; });

TEST_F(LaunchWorkerTest, UnpairedSurrogateInThePathBecomesReplacementCharacter) {
  api.executable_path = u"C:\\T\xD800x\\helper.exe";
  ASSERT_TRUE(launch_worker(worker, api, api));
  EXPECT_EQ(api.launches[0].command_line,
            u"\"C:\\T\uFFFDx\\helper.exe\" --worker --stop-event " +
                platform::utf8_to_utf16(std::to_string(api.launches[0].inherited.raw())));
  EXPECT_EQ(api.launches[0].current_directory, u"C:\\T\uFFFDx");
}

TEST(WorkerPathsTest, CommandLineAndWorkingDirectory) {
  struct Case {
    const char* path;
    const char* directory;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Tarnu\\tarnu-input-helper.exe", "C:\\Program Files\\Tarnu"},
      {"C:\\tarnu-input-helper.exe", "C:\\"},
      {"\\\\?\\C:\\tarnu-input-helper.exe", "\\\\?\\C:\\"},
      {"\\\\server\\share\\bin\\helper.exe", "\\\\server\\share\\bin"},
      {"D:/tools/helper.exe", "D:/tools"},
      {"\\helper.exe", "\\"},
      {"tarnu-input-helper.exe", "."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(worker_working_directory(c.path), c.directory) << c.path;
    std::string quoted = c.path;
    quoted.insert(quoted.begin(), '"');
    quoted.append("\" --worker --stop-event 1234");
    EXPECT_EQ(worker_command_line(c.path, 1234), quoted) << c.path;
  }
}

}  // namespace
}  // namespace tarnu::service
