#include <gtest/gtest.h>

#include <chrono>

#include "fakes/fake_service_control_api.h"
#include "fakes/handle_ledger.h"
#include "service/service_status.h"

namespace tarnu::service {
namespace {

using namespace std::chrono_literals;
using platform::ServiceStatus;

TEST(ReportServiceStatusTest, FillsEveryFieldAndTruncatesTheWaitHint) {
  fakes::HandleLedger ledger;
  fakes::FakeServiceControlApi api(ledger);
  const platform::ServiceStatusHandle handle(0x1234);
  ASSERT_TRUE(report_service_status(api, handle, platform::kServiceRunning, 0x81, 0, 0ns));
  ASSERT_TRUE(report_service_status(api, handle, 0x2, 0, 3, 1s + 999'999ns));
  ASSERT_TRUE(report_service_status(api, handle, 0x3, 0, 0, 999'999ns));
  ASSERT_TRUE(report_service_status(api, handle, 0x3, 0, 0, 4'294'967'295ms));

  // service type, state, accepted, exit code, service exit code, checkpoint, wait hint
  const std::vector<ServiceStatus> expected = {
      {0x10, 0x4, 0x81, 0, 0, 0, 0},
      {0x10, 0x2, 0, 0, 0, 3, 1000},
      {0x10, 0x3, 0, 0, 0, 0, 0},
      {0x10, 0x3, 0, 0, 0, 0, 4'294'967'295u},
  };
  EXPECT_EQ(api.reports(), expected);
  EXPECT_EQ(api.report_handles(), std::vector<platform::ServiceStatusHandle>(4, handle));
}

TEST(ReportServiceStatusTest, FailureCarriesTheWindowsErrorWithTheFixedText) {
  fakes::HandleLedger ledger;
  fakes::FakeServiceControlApi api(ledger);
  api.status_failures[0] = 6;
  auto reported = report_service_status(api, platform::ServiceStatusHandle(0x1234),
                                        platform::kServiceStopped, 0, 0, 0ns);
  ASSERT_FALSE(reported);
  EXPECT_EQ(reported.error().code, 6u);
  EXPECT_EQ(reported.error().text(), "IO error in winapi call");
}

TEST(ReportServiceStatusDeathTest, AWaitHintBeyond32BitsOfMillisecondsIsAProgrammingError) {
  fakes::HandleLedger ledger;
  fakes::FakeServiceControlApi api(ledger);
  EXPECT_DEATH((void)report_service_status(api, platform::ServiceStatusHandle(1),
                                           platform::kServiceRunning, 0, 0, 4'294'967'296ms),
               "Too long wait_hint");
  EXPECT_DEATH((void)report_service_status(api, platform::ServiceStatusHandle(1),
                                           platform::kServiceRunning, 0, 0, -1ms),
               "Too long wait_hint");
}

}  // namespace
}  // namespace tarnu::service
