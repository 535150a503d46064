#include "service/service_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakes/fake_event_log_api.h"
#include "fakes/fake_monotonic_clock.h"
#include "fakes/fake_process_launch_api.h"
#include "fakes/fake_service_control_api.h"
#include "fakes/handle_ledger.h"
#include "platform/service_control_api.h"

namespace tarnu::service {
namespace {

using namespace tarnu::platform;
using fakes::FakeServiceControlApi;

// service type, state, controls accepted, exit code, service exit code, checkpoint, wait hint
const ServiceStatus kRunningReport{0x10, 0x4, 0x81, 0, 0, 0, 0};
// While the worker is asked to end: no controls, checkpoint 1, its bound and a second.
const ServiceStatus kStopPendingReport{0x10, 0x3, 0, 0, 0, 1, 2000};
const ServiceStatus kStoppedReport{0x10, 0x1, 0, 0, 0, 0, 0};

class ServiceHostTest : public testing::Test {
 protected:
  Expected<void, WinapiError> run() {
    return run_service_dispatcher(
        ServicePlatform{control, processes, processes, event_log, policy, clock, "1.2.3"});
  }

  void TearDown() override {
    // Only the status handle is still held (the control manager's fake gives it back last).
    EXPECT_EQ(ledger.open_count(), ledger.open_count("service status"));
    EXPECT_EQ(processes.running_processes(), 0u);
    EXPECT_TRUE(ledger.misuses().empty());
  }

  fakes::HandleLedger ledger;
  FakeServiceControlApi control{ledger};
  fakes::FakeProcessLaunchApi processes{ledger};
  fakes::FakeEventLogApi event_log;
  fakes::FakeMachinePolicyApi policy;
  fakes::FakeMonotonicClock clock;
};

TEST_F(ServiceHostTest, DispatcherThatCannotStartGivesTheWinapiError) {
  control.dispatcher_failure = kErrorFailedServiceControllerConnect;
  const auto dispatched = run();
  ASSERT_FALSE(dispatched);
  EXPECT_EQ(dispatched.error().code, 1063u);
  EXPECT_EQ(dispatched.error().text(), "IO error in winapi call");
  EXPECT_EQ(control.dispatched_names(), std::vector<std::u16string>{u"TarnuInputService"});
  EXPECT_TRUE(control.registered_names().empty());
  EXPECT_TRUE(processes.calls.empty());
}

TEST_F(ServiceHostTest, RunsFromRunningToStoppedAroundOneWorker) {
  std::uint32_t stop_answer = 0xDEAD;
  control.dispatcher_script = [&](FakeServiceControlApi& scm) {
    ASSERT_TRUE(scm.wait_for_reports(1));
    stop_answer = scm.control(kServiceControlStop);
    ASSERT_TRUE(scm.wait_for_service_main());
  };
  ASSERT_TRUE(run());

  EXPECT_EQ(stop_answer, kErrorSuccess);
  EXPECT_EQ(control.registered_names(), std::vector<std::u16string>{u"TarnuInputService"});
  EXPECT_EQ(control.reports(),
            (std::vector<ServiceStatus>{kRunningReport, kStopPendingReport, kStoppedReport}));
  EXPECT_EQ(control.report_handles(), std::vector<ServiceStatusHandle>(3, control.status_handle()));
  // The stop may have come before the supervisor's first wait: the worker was launched all
  // the same, then asked to end, and terminated with exit code 0 before SERVICE_STOPPED.
  ASSERT_EQ(processes.launches.size(), 1u);
  EXPECT_EQ(std::count(processes.calls.begin(), processes.calls.end(), "SetEvent(event1)"), 1);
  ASSERT_EQ(processes.terminations.size(), 1u);
  EXPECT_EQ(processes.terminations[0].second, 0u);
  // Started with its version, stopped: a machine that lets services raise Ctrl+Alt+Del
  // gets no warning.
  EXPECT_EQ(event_log.ids(), (std::vector<std::uint32_t>{1000, 1001}));
  EXPECT_EQ(event_log.events[0].inserts, std::vector<std::string>{"1.2.3"});
}

TEST_F(ServiceHostTest, WarnsAtStartWhenServicesMayNotRaiseCtrlAltDel) {
  policy.value = std::optional<std::uint32_t>(2);
  control.dispatcher_script = [&](FakeServiceControlApi& scm) {
    ASSERT_TRUE(scm.wait_for_reports(1));
    scm.control(kServiceControlStop);
    ASSERT_TRUE(scm.wait_for_service_main());
  };
  ASSERT_TRUE(run());
  EXPECT_EQ(event_log.ids(), (std::vector<std::uint32_t>{1000, 1200, 1001}));
}

TEST_F(ServiceHostTest, SessionChangesWakeTheSupervisorAndLateControlsAreAnsweredSafely) {
  std::vector<std::uint32_t> answers;
  control.dispatcher_script = [&](FakeServiceControlApi& scm) {
    ASSERT_TRUE(scm.wait_for_reports(1));
    answers.push_back(scm.control(kServiceControlSessionChange, 5));
    answers.push_back(scm.control(kServiceControlSessionChange, 12));  // not a session event
    answers.push_back(scm.control(kServiceControlPause));
    answers.push_back(scm.control(kServiceControlStop));
    ASSERT_TRUE(scm.wait_for_service_main());
    // The service has stopped but the dispatcher has not returned: its context is still
    // there (ASan would see a use after free), and nothing is sent any more.
    answers.push_back(scm.control(kServiceControlInterrogate));
    answers.push_back(scm.control(kServiceControlStop));
    answers.push_back(scm.control(kServiceControlSessionChange, 1));
  };
  ASSERT_TRUE(run());

  EXPECT_EQ(answers, (std::vector<std::uint32_t>{0, 120, 120, 0, 0, 120, 120}));
  // Exactly one decision pass, for the one real session change; the stop ended the loop.
  EXPECT_EQ(
      std::count(processes.calls.begin(), processes.calls.end(), "WaitForSingleObject(process1,0)"),
      1);
  EXPECT_EQ(control.reports(),
            (std::vector<ServiceStatus>{kRunningReport, kStopPendingReport, kStoppedReport}));
}

TEST_F(ServiceHostTest, FailedRegistrationEndsTheServiceSilentlyAndReleasesTheContext) {
  control.registration_fails = true;
  void* context = nullptr;
  control.dispatcher_script = [&](FakeServiceControlApi& scm) {
    ASSERT_TRUE(scm.wait_for_service_main());
    context = scm.offered_context();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(handle_service_control(kServiceControlStop, 0, nullptr, context),
              kErrorCallNotImplemented);
    EXPECT_EQ(handle_service_control(kServiceControlInterrogate, 0, nullptr, context),
              kErrorSuccess);
  };
  ASSERT_TRUE(run());
  EXPECT_TRUE(control.reports().empty());
  EXPECT_TRUE(processes.calls.empty());
  EXPECT_TRUE(event_log.events.empty());
}

TEST_F(ServiceHostTest, FailedRunningReportLaunchesNoWorkerAndReportsNothingMore) {
  control.status_failures[0] = 6;
  std::uint32_t late_stop = 0xDEAD;
  control.dispatcher_script = [&](FakeServiceControlApi& scm) {
    ASSERT_TRUE(scm.wait_for_service_main());
    late_stop = scm.control(kServiceControlStop);  // nobody receives it; it is dropped
  };
  ASSERT_TRUE(run());
  EXPECT_EQ(control.reports(), std::vector<ServiceStatus>{kRunningReport});
  EXPECT_TRUE(processes.calls.empty());
  EXPECT_EQ(late_stop, kErrorSuccess);
}

}  // namespace
}  // namespace tarnu::service
