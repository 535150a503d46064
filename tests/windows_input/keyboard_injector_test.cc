#include "windows_input/keyboard_injector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/capturing_log_sink.h"
#include "fakes/fake_input_api.h"
#include "fakes/fake_monotonic_clock.h"

namespace tarnu::windows_input {
namespace {

using fakes::InputCall;
using ::testing::ElementsAre;

class KeyboardInjectorTest : public ::testing::Test {
 protected:
  fakes::FakeInputApi input_;
  fakes::FakeMonotonicClock clock_;
  RefusalGate gate_;
  RefusalWarning refusals_{gate_, clock_};
  KeyboardInjector keyboard_{input_, refusals_};
};

TEST(ExtendedKeyTest, ExactlyTheEighteenExtendedKeys) {
  const std::uint16_t extended[] = {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2C,
                                    0x2D, 0x2E, 0x5B, 0x5C, 0x5D, 0x6F, 0x90, 0xA3, 0xA5};
  int count = 0;
  for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
    if (is_extended_key(static_cast<std::uint16_t>(code))) {
      ++count;
    }
  }
  EXPECT_EQ(count, 18);
  for (const std::uint16_t code : extended) {
    EXPECT_TRUE(is_extended_key(code)) << std::hex << code;
  }
}

TEST_F(KeyboardInjectorTest, FlagsFollowDirectionAndTheExtendedSet) {
  struct Case {
    std::uint16_t code;
    std::uint32_t down_flags;
  };
  const Case cases[] = {
      {0x41, 0x0},  // A
      {0xA3, 0x1},  // right Ctrl
      {0xA2, 0x0},  // left Ctrl
      {0x11, 0x0},  // Ctrl, either side
      {0xA5, 0x1},  // right Alt
      {0xA1, 0x0},  // right Shift is not extended
      {0x0D, 0x0},  // Enter is not extended (the keypad's Enter is a scan code matter)
      {0x2E, 0x1},  // Delete
      {0x20, 0x0},  // Space, just below Page Up
      {0x2F, 0x0},  // Help, just above Delete
      {0x6E, 0x0},  // numeric-pad decimal point, just below Divide
  };
  for (const Case& c : cases) {
    input_.calls.clear();
    input_.scan_codes[c.code] = 0x1C;
    keyboard_.inject_key(c.code, true);
    keyboard_.inject_key(c.code, false);
    EXPECT_THAT(input_.calls, ElementsAre(InputCall::Key(c.code, 0x1C, c.down_flags),
                                          InputCall::Key(c.code, 0x1C, c.down_flags | 0x2)))
        << std::hex << c.code;
  }
}

TEST_F(KeyboardInjectorTest, ScanCodeIsLookedUpEveryTimeAndTruncated) {
  input_.scan_codes[0x41] = 0x1E;
  input_.scan_codes[0xE0] = 0xE11D;
  input_.scan_codes[0x90] = 0x12345;
  keyboard_.inject_key(0x41, true);
  keyboard_.inject_key(0xE0, true);  // no such key
  input_.scan_codes[0xE0] = 0;
  keyboard_.inject_key(0xE0, false);  // MapVirtualKeyW gives 0: sent all the same
  keyboard_.inject_key(0x90, true);
  keyboard_.inject_key(0xFFFF, true);  // no range test
  EXPECT_THAT(input_.calls,
              ElementsAre(InputCall::Key(0x41, 0x1E, 0), InputCall::Key(0xE0, 0xE11D, 0),
                          InputCall::Key(0xE0, 0, 2), InputCall::Key(0x90, 0x2345, 1),
                          InputCall::Key(0xFFFF, 0, 0)));
  EXPECT_THAT(input_.map_types, ElementsAre(0u, 0u, 0u, 0u, 0u));
}

TEST_F(KeyboardInjectorTest, RefusedKeyWarnsWithTheAccessDeniedText) {
  fakes::CapturingLogSink log;
  input_.refuse_all(5);
  keyboard_.inject_key(0x41, true);
  EXPECT_EQ(input_.calls.size(), 1u);  // not retried
  ASSERT_EQ(log.records.size(), 1u);
  EXPECT_EQ(
      log.records[0].message.rfind("injected key refused by Windows (ERROR_ACCESS_DENIED)", 0), 0u);
}

}  // namespace
}  // namespace tarnu::windows_input
