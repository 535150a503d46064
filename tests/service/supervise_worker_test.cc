#include "service/supervise_worker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "fakes/fake_event_log_api.h"
#include "fakes/fake_monotonic_clock.h"
#include "fakes/fake_process_launch_api.h"
#include "fakes/handle_ledger.h"
#include "scripted_event_source.h"

namespace tarnu::service {
namespace {

using namespace std::chrono_literals;
using fakes::FakeProcessLaunchApi;
using Calls = std::vector<std::string>;
using Step = ScriptedEventSource::Step;

constexpr ReceiveOutcome kTimedOut = ReceiveOutcome::TimedOut;
constexpr ReceiveOutcome kSessionChanged = ReceiveOutcome::SessionChanged;
constexpr ReceiveOutcome kStop = ReceiveOutcome::Stop;

// What stopping worker `number` takes: it is asked through its event and waited for (it
// answers at once here), then terminated with exit code 0 and its handles are closed.
Calls stopped(const std::string& number) {
  return {"SetEvent(event" + number + ")",
          "WaitForSingleObject(process" + number + ",1000)",
          "TerminateProcess(process" + number + ",0)",
          "WaitForSingleObject(process" + number + ",500)",
          "CloseHandle(process" + number + ")",
          "CloseHandle(job" + number + ")",
          "CloseHandle(event" + number + ")"};
}

class SuperviseWorkerTest : public testing::Test {
 protected:
  void run(std::vector<Step> steps) {
    source = std::make_unique<ScriptedEventSource>(std::move(steps));
    supervise_worker(*source, api, api, log);
    EXPECT_FALSE(source->overrun()) << "the loop did not stop when told";
    EXPECT_TRUE(source->finished()) << "the loop stopped early";
  }

  void TearDown() override {
    // Whatever happened, nothing is left running or open afterwards.
    EXPECT_EQ(ledger.open_count(), 0u);
    EXPECT_TRUE(ledger.misuses().empty());
    EXPECT_EQ(api.running_processes(), 0u);
    EXPECT_EQ(api.processes_run_outside_a_job(), 0u);
    if (source) {
      EXPECT_THAT(source->timeouts(), testing::Each(2000ms));
    }
  }

  fakes::HandleLedger ledger;
  FakeProcessLaunchApi api{ledger};
  fakes::FakeEventLogApi event_log;
  fakes::FakeMonotonicClock clock;
  ServiceEventLog log{event_log, clock};
  std::unique_ptr<ScriptedEventSource> source;
};

// Also the stop that was queued before the first wait: the launch, in the console's session,
// still happens first.
TEST_F(SuperviseWorkerTest, LaunchesAtOnceAndTerminatesWithExitCodeZeroAtStop) {
  run({{kStop, [&] {
          ASSERT_EQ(api.launches.size(), 1u);
          EXPECT_EQ(api.launches[0].token_session, 1u);
          api.calls.clear();
        }}});
  EXPECT_EQ(api.calls, stopped("1"));
}

// A running worker, then one pass: rows of the state table for a worker that runs.
struct PassCase {
  const char* name;
  ReceiveOutcome wake;
  bool worker_ends;
  std::uint32_t console_then;
  bool replaced;
  bool record_empty_after = false;
};

// Named in test listings by their case name rather than their bytes.
void PrintTo(const PassCase& c, std::ostream* out) { *out << c.name; }

class SupervisorPassTest : public SuperviseWorkerTest,
                           public testing::WithParamInterface<PassCase> {};

TEST_P(SupervisorPassTest, DecidesFromTheWorkerAndTheConsoleSessionOnly) {
  const PassCase& c = GetParam();
  run({{c.wake,
        [&] {
          api.calls.clear();
          if (c.worker_ends) {
            api.end_process(api.launches[0].process);
          }
          api.console_session = c.console_then;
        }},
       {kStop, [&] {
          if (c.replaced) {
            ASSERT_EQ(api.launches.size(), 2u);
            EXPECT_EQ(api.launches[1].token_session, c.console_then);
          } else {
            EXPECT_EQ(api.launches.size(), 1u);
          }
          api.calls.clear();
        }}});

  // At stop, the one current worker (if any) is terminated.
  EXPECT_EQ(api.calls, c.record_empty_after ? Calls{} : stopped(c.replaced ? "2" : "1"));
  // A replaced worker was terminated (exit code 0) before its successor started.
  EXPECT_EQ(api.terminations.size(), c.replaced ? 2u : 1u);
  for (const auto& [process, code] : api.terminations) {
    EXPECT_EQ(code, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    StateTable, SupervisorPassTest,
    testing::Values(PassCase{"TimeOutWorkerEnded", kTimedOut, true, 1, true},
                    PassCase{"SessionChangeWorkerEnded", kSessionChanged, true, 1, true},
                    PassCase{"TimeOutNoConsoleSession", kTimedOut, false,
                             platform::kNoConsoleSession, false},
                    PassCase{"SessionChangeNoConsoleSession", kSessionChanged, false,
                             platform::kNoConsoleSession, false},
                    PassCase{"TimeOutSameSession", kTimedOut, false, 1, false},
                    PassCase{"SessionChangeSameSession", kSessionChanged, false, 1, false},
                    PassCase{"TimeOutOtherSession", kTimedOut, false, 2, true},
                    PassCase{"SessionChangeOtherSession", kSessionChanged, false, 2, true},
                    // Ended and the console moved on: one replacement, in the new session.
                    PassCase{"EndedAndOtherSession", kSessionChanged, true, 4, true},
                    // Ended while nobody is on the console: the launch fails, nothing runs until
                    // the console has a session again.
                    PassCase{"EndedAndNoConsoleSession", kTimedOut, true,
                             platform::kNoConsoleSession, false, true}),
    [](const testing::TestParamInfo<PassCase>& param_info) { return param_info.param.name; });

// The queue's last sender gone ends the loop as a stop does.
TEST_F(SuperviseWorkerTest, AStillRunningWorkerIsCheckedWithAZeroWaitThenTheConsole) {
  run({{kTimedOut, [&] { api.calls.clear(); }}, {ReceiveOutcome::Disconnected, nullptr}});
  Calls expected = {"WaitForSingleObject(process1,0)", "WTSGetActiveConsoleSessionId"};
  const Calls stop = stopped("1");
  expected.insert(expected.end(), stop.begin(), stop.end());
  EXPECT_EQ(api.calls, expected);
}

TEST_F(SuperviseWorkerTest, AFailingWaitCountsAsStillRunning) {
  run({{kTimedOut, [&] { api.wait_fails = true; }},
       {kTimedOut, [&] { api.console_session = platform::kNoConsoleSession; }},
       {kStop, nullptr}});
  EXPECT_EQ(api.launches.size(), 1u);
}

TEST_F(SuperviseWorkerTest, NoConsoleSessionAtStartRetriesEveryPassWithoutTerminating) {
  api.console_session = platform::kNoConsoleSession;
  run({{kTimedOut, nullptr},
       {kSessionChanged, nullptr},
       {kTimedOut, nullptr},
       {kTimedOut, [&] { api.console_session = 2; }},
       {kTimedOut, nullptr},
       {kStop, nullptr}});
  // Launch attempts, the initial one and one per pass until the console has a session: 5
  // (initial + 4 passes), one success, then a check on the last pass.
  EXPECT_EQ(std::count(api.calls.begin(), api.calls.end(), "WTSGetActiveConsoleSessionId"), 6);
  ASSERT_EQ(api.launches.size(), 1u);
  EXPECT_EQ(api.launches[0].token_session, 2u);
  // The only termination is the one at stop; every wait was the plain 2000 ms, no back-off.
  EXPECT_EQ(api.terminations.size(), 1u);
}

TEST_F(SuperviseWorkerTest, StopWithNoWorkerRecordedTerminatesNothing) {
  api.failures["CreateProcessAsUserW"] = 5;
  run({{kTimedOut, nullptr}, {kStop, nullptr}});
  EXPECT_TRUE(api.terminations.empty());
  EXPECT_TRUE(api.launches.empty());
}

TEST_F(SuperviseWorkerTest, StopBehindTwoSessionChangesComesAfterTwoDecisionPasses) {
  std::ptrdiff_t passes_before_stop = 0;
  run({{kSessionChanged, nullptr},
       {kSessionChanged, [&] { api.console_session = 2; }},
       {kStop, [&] {
          passes_before_stop =
              std::count_if(api.calls.begin(), api.calls.end(), [](const std::string& call) {
                return call.starts_with("WaitForSingleObject") && call.ends_with(",0)");
              });
        }}});
  EXPECT_EQ(passes_before_stop, 2);
  // The second pass saw the new console session and replaced the worker there.
  ASSERT_EQ(api.launches.size(), 2u);
  EXPECT_EQ(api.launches[1].token_session, 2u);
}

TEST_F(SuperviseWorkerTest, AWorkerKilledFromOutsideIsReplacedAtTheNextPass) {
  std::chrono::milliseconds killed_at{};
  std::chrono::milliseconds replaced_at{};
  run({{kTimedOut, nullptr},
       {kTimedOut,
        [&] {
          killed_at = source->now();
          api.end_process(api.launches[0].process);
        }},
       {kTimedOut,
        [&] {
          replaced_at = source->now();
          // Had the service died here, its job would have taken the new worker with it.
          EXPECT_EQ(api.orphans_if_caller_dies(), 0u);
        }},
       {kStop, nullptr}});
  ASSERT_EQ(api.launches.size(), 2u);
  EXPECT_LE(replaced_at - killed_at, kSupervisorPollInterval);
  // Killed from outside: no exit code was examined, and the dead one was still terminated.
  EXPECT_EQ(api.terminations.size(), 2u);
}

// What the administrators' log hears of a supervisor's passes.
TEST_F(SuperviseWorkerTest, LaunchFailuresAreReportedWithTheirStepButNoConsoleIsNot) {
  api.failures["CreateProcessAsUserW"] = 5;
  api.messages[5] = u"Access is denied.";
  run({{kTimedOut, nullptr},
       {kTimedOut, [&] { api.console_session = platform::kNoConsoleSession; }},
       {kStop, nullptr}});
  // Three failed launches, one event (the limit holds back the second); the third attempt
  // found nobody on the console, which is no failure.
  ASSERT_EQ(event_log.ids(), std::vector<std::uint32_t>{1100});
  EXPECT_EQ(event_log.events[0].inserts,
            (std::vector<std::string>{"CreateProcessAsUserW", "Access is denied. (Windows error 5)",
                                      "1"}));
}

TEST_F(SuperviseWorkerTest, AWorkerThatEndsWhileItsPipeNameIsHeldNamesTheHolder) {
  const struct {
    const char* name;
    std::optional<Expected<std::uint32_t, platform::WindowsErrorCode>> server;
    const char* who;  // none: no event
  } cases[] = {
      {"no pipe of the name", std::nullopt, nullptr},
      {"served by process 368", 368u, "process ID 368, C:\\Users\\m\\squat.exe"},
      {"every instance busy", Unexpected(platform::kErrorPipeBusy), "process ID and image unknown"},
  };
  for (const auto& c : cases) {
    fakes::HandleLedger case_ledger;
    FakeProcessLaunchApi case_api{case_ledger};
    fakes::FakeEventLogApi case_events;
    ServiceEventLog case_log{case_events, clock};
    case_api.process_images[368] = u"C:\\Users\\m\\squat.exe";
    ScriptedEventSource script({{kTimedOut,
                                 [&] {
                                   case_api.end_process(case_api.launches[0].process);
                                   if (c.server) {
                                     case_api.pipe_servers.insert_or_assign(
                                         u"\\\\.\\pipe\\tarnu-input-s1", *c.server);
                                   }
                                 }},
                                {kStop, nullptr}});
    supervise_worker(script, case_api, case_api, case_log);
    if (c.who == nullptr) {
      EXPECT_TRUE(case_events.events.empty()) << c.name;
    } else {
      ASSERT_EQ(case_events.ids(), std::vector<std::uint32_t>{1101}) << c.name;
      EXPECT_EQ(case_events.events[0].inserts[1], c.who) << c.name;
    }
    // Replaced all the same: the next worker may find the name free.
    EXPECT_EQ(case_api.launches.size(), 2u) << c.name;
    EXPECT_EQ(case_ledger.open_count(), 0u) << c.name;
  }
}

}  // namespace
}  // namespace tarnu::service
