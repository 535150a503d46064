#include "service/launch_worker.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_process_launch_api.h"
#include "fakes/handle_ledger.h"
#include "service/worker_process.h"

namespace tarnu::service {
namespace {

using fakes::FakeProcessLaunchApi;
using Calls = std::vector<std::string>;

// How the first worker is stopped: terminated with exit code 0, then its handles closed.
const Calls kFirstWorkerStopped = {"TerminateProcess(process1,0)", "CloseHandle(process1)",
                                   "CloseHandle(job1)"};

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
                           "GetModuleFileNameW",
                           "CreateJobObjectW",
                           "SetInformationJobObject(job1,0x2408,1)",
                           "CreateProcessAsUserW(worker-token,0x8000404)",
                           "AssignProcessToJobObject(job1,process1)",
                           "ResumeThread(thread1)",
                           "CloseHandle(thread1)",
                           "CloseHandle(worker-token)",
                           "CloseHandle(service-token)",
                       }));
  ASSERT_EQ(api.launches.size(), 1u);
  const FakeProcessLaunchApi::Launch& launch = api.launches[0];
  EXPECT_EQ(launch.token_session, 3u);
  // Of every privilege there is, the worker's token keeps only these.
  EXPECT_EQ(launch.token_privileges,
            (std::set<std::u16string>{u"SeChangeNotifyPrivilege", u"SeCreateGlobalPrivilege",
                                      u"SeTcbPrivilege"}));
  EXPECT_EQ(launch.command_line, u"\"C:\\Program Files\\Tarnu\\tarnu-input-helper.exe\" --worker");
  EXPECT_EQ(launch.current_directory, u"C:\\Program Files\\Tarnu");
  EXPECT_EQ(launch.desktop, u"WinSta0\\Default");

  EXPECT_EQ(worker.process(), launch.process);
  EXPECT_EQ(worker.session_id(), 3u);
  // The process and its job, owned by the record.
  EXPECT_EQ(ledger.open_count(), 2u);
  EXPECT_EQ(ledger.open_count("process"), 1u);
  EXPECT_EQ(ledger.open_count("job"), 1u);
  // It ran only once it was in a job that dies with the service.
  EXPECT_EQ(api.processes_run_outside_a_job(), 0u);
  EXPECT_EQ(api.orphans_if_caller_dies(), 0u);
}

// Stopped, or held by a record that goes: terminated with exit code 0, then its job closed.
TEST_F(LaunchWorkerTest, AStoppedOrReleasedWorkerIsTerminatedThenItsJobClosed) {
  record_running_worker();
  worker.terminate();
  EXPECT_EQ(api.calls, kFirstWorkerStopped);
  EXPECT_FALSE(worker.has_process());
  {
    WorkerProcess scoped(api, api);
    ASSERT_TRUE(launch_worker(scoped, api, api));
    api.calls.clear();
  }
  EXPECT_EQ(api.calls,
            (Calls{"TerminateProcess(process2,0)", "CloseHandle(process2)", "CloseHandle(job2)"}));
  EXPECT_EQ(api.running_processes(), 0u);
  EXPECT_EQ(ledger.open_count(), 0u);
}

struct FailureCase {
  const char* name;
  const char* step;  // the call that fails; none: no session on the console
  platform::WindowsErrorCode code;
  std::string text;
  // What follows the failing call: exactly the closes this path must make.
  Calls closes;
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
  if (c.step) {
    api.failures[c.step] = c.code;
  } else {
    api.console_session = platform::kNoConsoleSession;
  }
  api.messages[2] = u"The system cannot find the file specified.";

  const Status launched = launch_worker(worker, api, api);
  ASSERT_FALSE(launched);
  EXPECT_EQ(launched.error(), c.text);

  // The replaced worker is gone whatever failed later.
  ASSERT_GE(api.calls.size(), 3u);
  EXPECT_EQ(Calls(api.calls.begin(), api.calls.begin() + 3), kFirstWorkerStopped);
  ASSERT_GE(api.calls.size(), c.closes.size());
  const Calls tail(api.calls.end() - static_cast<std::ptrdiff_t>(c.closes.size()), api.calls.end());
  EXPECT_EQ(tail, c.closes);

  EXPECT_FALSE(worker.has_process());
  EXPECT_EQ(worker.session_id(), 0u);
  EXPECT_EQ(ledger.open_count(), 0u);
  // A worker created before the failure never ran and no longer runs.
  EXPECT_EQ(api.launches.size(), c.created ? 2u : 1u);
  EXPECT_EQ(api.running_processes(), 0u);
  EXPECT_EQ(api.processes_run_outside_a_job(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, LaunchWorkerFailureTest,
    testing::Values(
        // Reported before anything about tokens: no call follows the check.
        FailureCase{"NoConsoleSession",
                    nullptr,
                    0,
                    "no active console session",
                    {"WTSGetActiveConsoleSessionId"}},
        FailureCase{"OpenProcessToken",
                    "OpenProcessToken",
                    5,
                    "OpenProcessToken failed with Windows error 5",
                    {"OpenProcessToken(0x1ab)"}},
        FailureCase{"DuplicateTokenEx",
                    "DuplicateTokenEx",
                    1314,
                    "DuplicateTokenEx failed with Windows error 1314",
                    {"DuplicateTokenEx(service-token,0x1ab,2,1)", "CloseHandle(service-token)"}},
        FailureCase{"SetTokenInformation",
                    "SetTokenInformation",
                    1314,
                    "SetTokenInformation(TokenSessionId) failed with Windows error 1314",
                    {"SetTokenInformation(worker-token,TokenSessionId,1)",
                     "CloseHandle(worker-token)", "CloseHandle(service-token)"}},
        FailureCase{"AdjustTokenPrivileges",
                    "AdjustTokenPrivileges",
                    6,
                    "AdjustTokenPrivileges failed with Windows error 6",
                    {"AdjustTokenPrivileges(worker-token)", "CloseHandle(worker-token)",
                     "CloseHandle(service-token)"}},
        FailureCase{
            "GetModuleFileNameWWithSystemText",
            "GetModuleFileNameW",
            2,
            "resolve helper exe path: The system cannot find the file specified. "
            "(Windows error 2)",
            {"GetModuleFileNameW", "CloseHandle(worker-token)", "CloseHandle(service-token)"}},
        FailureCase{
            "GetModuleFileNameWWithoutSystemText",
            "GetModuleFileNameW",
            122,
            "resolve helper exe path: Windows error 122",
            {"GetModuleFileNameW", "CloseHandle(worker-token)", "CloseHandle(service-token)"}},
        FailureCase{"CreateJobObjectW",
                    "CreateJobObjectW",
                    1450,
                    "CreateJobObjectW failed with Windows error 1450",
                    {"GetModuleFileNameW", "CreateJobObjectW", "CloseHandle(worker-token)",
                     "CloseHandle(service-token)"}},
        FailureCase{"SetInformationJobObject",
                    "SetInformationJobObject",
                    87,
                    "SetInformationJobObject(JobObjectExtendedLimitInformation) failed with "
                    "Windows error 87",
                    {"SetInformationJobObject(job2,0x2408,1)", "CloseHandle(job2)",
                     "CloseHandle(worker-token)", "CloseHandle(service-token)"}},
        FailureCase{"CreateProcessAsUserW",
                    "CreateProcessAsUserW",
                    5,
                    "CreateProcessAsUserW failed with Windows error 5",
                    {"CreateProcessAsUserW(worker-token,0x8000404)", "CloseHandle(job2)",
                     "CloseHandle(worker-token)", "CloseHandle(service-token)"}},
        // The created worker is terminated before any of its handles is closed.
        FailureCase{"AssignProcessToJobObject",
                    "AssignProcessToJobObject",
                    5,
                    "AssignProcessToJobObject failed with Windows error 5",
                    {"AssignProcessToJobObject(job2,process2)", "TerminateProcess(process2,1)",
                     "CloseHandle(thread2)", "CloseHandle(process2)", "CloseHandle(job2)",
                     "CloseHandle(worker-token)", "CloseHandle(service-token)"},
                    true},
        FailureCase{"ResumeThread",
                    "ResumeThread",
                    6,
                    "ResumeThread failed with Windows error 6",
                    {"ResumeThread(thread2)", "TerminateProcess(process2,1)",
                     "CloseHandle(thread2)", "CloseHandle(process2)", "CloseHandle(job2)",
                     "CloseHandle(worker-token)", "CloseHandle(service-token)"},
                    true},
        FailureCase{"ErrorCodeIsUnsignedDecimal",
                    "OpenProcessToken",
                    0xFFFFFFFF,
                    "OpenProcessToken failed with Windows error 4294967295",
                    {"OpenProcessToken(0x1ab)"}}),
    [](const testing::TestParamInfo<FailureCase>& param_info) { return param_info.param.name; });

TEST_F(LaunchWorkerTest, UnpairedSurrogateInThePathBecomesReplacementCharacter) {
  api.executable_path = u"C:\\T\xD800x\\helper.exe";
  ASSERT_TRUE(launch_worker(worker, api, api));
  EXPECT_EQ(api.launches[0].command_line, u"\"C:\\T\uFFFDx\\helper.exe\" --worker");
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
    quoted.append("\" --worker");
    EXPECT_EQ(worker_command_line(c.path), quoted) << c.path;
  }
}

}  // namespace
}  // namespace tarnu::service
