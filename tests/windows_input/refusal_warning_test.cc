#include "windows_input/refusal_warning.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "fakes/capturing_log_sink.h"
#include "fakes/fake_monotonic_clock.h"
#include "platform/logging.h"

namespace tarnu::windows_input {
namespace {

using namespace std::chrono_literals;

TEST(RefusalWarningTest, TextsForAccessDeniedAndOtherCodes) {
  EXPECT_EQ(input_refused_text("key", 5),
            "injected key refused by Windows (ERROR_ACCESS_DENIED): an elevated or uiAccess "
            "window (e.g. Task Manager, a UAC-elevated app) has focus. A standard-user Tarnu "
            "cannot hook or inject into higher-privilege windows \u2014 restart Tarnu as "
            "administrator (Settings) on this machine to control them.");
  EXPECT_EQ(input_refused_text("mouse button", 87),
            "injected mouse button was refused: SendInput failed with error 87");
  EXPECT_EQ(input_refused_text("key", 4294967295u),
            "injected key was refused: SendInput failed with error 4294967295");
}

TEST(RefusalWarningTest, OneGateLetsARecordThroughAtMostEveryTenSeconds) {
  fakes::CapturingLogSink log;
  fakes::FakeMonotonicClock clock;
  clock.time = 5000s;  // the first refusal gets through whenever it comes
  RefusalGate gate;
  RefusalWarning warning(gate, clock);
  RefusalWarning other_injector(gate, clock);

  warning.warn_input_refused("mouse button", 5);  // 0 s
  clock.time += 3s;
  other_injector.warn_input_refused("key", 87);  // 3 s: dropped, and not remembered
  clock.time += 9999ms;
  warning.warn_input_refused("key", 87);  // 12.999 s: 10 s after the last record, through
  clock.time += 9s;
  warning.warn_input_refused("key", 1);  // 9 s after the last record: dropped
  clock.time += 1s;
  warning.warn_input_refused("key", 2);  // exactly 10 s after it: through

  ASSERT_EQ(log.records.size(), 3u);
  for (const auto& record : log.records) {
    EXPECT_EQ(record.level, platform::LogLevel::kWarn);
    EXPECT_EQ(record.target, "tarnu_lib::windows_input");
  }
  EXPECT_EQ(log.records[1].message, "injected key was refused: SendInput failed with error 87");
  EXPECT_EQ(log.records[2].message, "injected key was refused: SendInput failed with error 2");
}

TEST(RefusalWarningTest, ThreeRefusalsAtZeroThreeAndTwelveSecondsLetTwoThrough) {
  fakes::CapturingLogSink log;
  fakes::FakeMonotonicClock clock;
  RefusalGate gate;
  RefusalWarning warning(gate, clock);
  for (const auto at : {0s, 3s, 12s}) {
    clock.time = at;
    warning.warn_input_refused("mouse button", 5);
  }
  EXPECT_EQ(log.records.size(), 2u);
}

TEST(RefusalWarningTest, WithoutASinkOrLevelNothingIsEmittedButTheGateCloses) {
  fakes::FakeMonotonicClock clock;
  RefusalGate gate;
  RefusalWarning warning(gate, clock);
  ASSERT_EQ(platform::max_log_level(), platform::LogLevelFilter::kOff);
  warning.warn_input_refused("key", 5);
  // The record went nowhere, yet it counted.
  fakes::CapturingLogSink log;
  clock.time = 9s;
  warning.warn_input_refused("key", 5);
  EXPECT_TRUE(log.records.empty());
}

TEST(RefusalGateTest, ConcurrentRefusalsLetExactlyOneThrough) {
  RefusalGate gate;
  std::atomic<int> passed{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      for (int j = 0; j < 1000; ++j) {
        if (gate.let_through(std::chrono::nanoseconds(j))) {
          ++passed;
        }
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(passed.load(), 1);
}

}  // namespace
}  // namespace tarnu::windows_input
