#include "windows_input/pointer_injector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "fakes/capturing_log_sink.h"
#include "fakes/fake_input_api.h"
#include "fakes/fake_monotonic_clock.h"
#include "platform/input_api.h"

namespace tarnu::windows_input {
namespace {

using fakes::InputCall;
using protocol::MouseButton;
using ::testing::ElementsAre;

class PointerInjectorTest : public ::testing::Test {
 protected:
  fakes::FakeInputApi input_;
  fakes::FakeMonotonicClock clock_;
  RefusalGate gate_;
  RefusalWarning refusals_{gate_, clock_};
  PointerInjector pointer_{input_, refusals_};
};

TEST(NormaliseCoordinateTest, MapsTheVirtualScreenOntoTheAbsoluteRange) {
  struct Case {
    std::int32_t position, origin, extent, expected;
  };
  const Case cases[] = {
      // One 1920-wide monitor: span 1919.
      {0, 0, 1920, 0},
      {1, 0, 1920, 34},
      {960, 0, 1920, 32784},
      {1919, 0, 1920, 65535},
      {3000, 0, 1920, 65535},
      {-10, 0, 1920, 0},
      // Two monitors side by side, the secondary to the left of the primary.
      {0, -1920, 3840, 32776},
      {-1920, -1920, 3840, 0},
      {1919, -1920, 3840, 65535},
      // No metrics (0) or a single pixel: span 1.
      {0, 0, 0, 0},
      {1, 0, 0, 65535},
      {0, 0, 1, 0},
      {7, 0, 1, 65535},
      {-1, 0, 1, 0},
      // Far outside, where 32-bit arithmetic would overflow.
      {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(), 2,
       65535},
      {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), 1920, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(normalise_coordinate(c.position, c.origin, c.extent), c.expected)
        << "position " << c.position << ", origin " << c.origin << ", extent " << c.extent;
  }
}

TEST_F(PointerInjectorTest, MoveReadsTheMetricsEveryTimeAndSendsOneAbsoluteEvent) {
  pointer_.move_pointer(960, 0);
  input_.left = -1920;
  input_.width = 3840;
  input_.top = 0;
  input_.height = 1080;
  pointer_.move_pointer(0, 1079);
  EXPECT_THAT(input_.calls, ElementsAre(InputCall::Mouse(0xC001, 32784, 0),
                                        InputCall::Mouse(0xC001, 32776, 65535)));
  EXPECT_THAT(input_.metric_queries, ElementsAre(76, 77, 78, 79, 76, 77, 78, 79));
}

TEST_F(PointerInjectorTest, RefusedMoveFallsBackToTheCursorAtThePixel) {
  fakes::CapturingLogSink log;
  input_.refuse_all(5);
  pointer_.move_pointer(-10, 3000);
  EXPECT_THAT(input_.calls,
              ElementsAre(InputCall::Mouse(0xC001, 0, 65535), InputCall::Cursor(-10, 3000)));
  EXPECT_TRUE(log.records.empty());
}

TEST_F(PointerInjectorTest, ButtonAtOriginDoesNotMoveThePointer) {
  pointer_.inject_mouse_button(MouseButton::kLeft, true, 0, 0);
  EXPECT_THAT(input_.calls, ElementsAre(InputCall::Mouse(0x0002)));
  EXPECT_TRUE(input_.metric_queries.empty());
}

TEST_F(PointerInjectorTest, ButtonWithAPositionMovesFirst) {
  pointer_.inject_mouse_button(MouseButton::kLeft, true, 0, 5);
  // 5 * 65535 / 1079 = 303.68
  EXPECT_THAT(input_.calls,
              ElementsAre(InputCall::Mouse(0xC001, 0, 303), InputCall::Mouse(0x0002)));
}

TEST_F(PointerInjectorTest, EveryButtonHasItsFlagsAndData) {
  struct Case {
    MouseButton button;
    bool down;
    std::uint32_t flags;
    std::uint32_t data;
  };
  const Case cases[] = {
      {MouseButton::kLeft, true, 0x0002, 0},    {MouseButton::kLeft, false, 0x0004, 0},
      {MouseButton::kRight, true, 0x0008, 0},   {MouseButton::kRight, false, 0x0010, 0},
      {MouseButton::kMiddle, true, 0x0020, 0},  {MouseButton::kMiddle, false, 0x0040, 0},
      {MouseButton::kBack, true, 0x0080, 1},    {MouseButton::kBack, false, 0x0100, 1},
      {MouseButton::kForward, true, 0x0080, 2}, {MouseButton::kForward, false, 0x0100, 2},
  };
  for (const Case& c : cases) {
    input_.calls.clear();
    pointer_.inject_mouse_button(c.button, c.down, 0, 0);
    EXPECT_THAT(input_.calls, ElementsAre(InputCall::Mouse(c.flags, 0, 0, c.data)))
        << protocol::mouse_button_name(c.button) << (c.down ? " down" : " up");
  }
}

TEST_F(PointerInjectorTest, RefusedButtonWarnsAfterAFailedMove) {
  fakes::CapturingLogSink log;
  input_.refuse_all(1);
  pointer_.inject_mouse_button(MouseButton::kRight, false, 100, 0);
  EXPECT_THAT(input_.calls, ElementsAre(InputCall::Mouse(0xC001, 3415, 0),
                                        InputCall::Cursor(100, 0), InputCall::Mouse(0x0010)));
  ASSERT_EQ(log.records.size(), 1u);
  EXPECT_EQ(log.records[0].message,
            "injected mouse button was refused: SendInput failed with error 1");
}

TEST_F(PointerInjectorTest, ScrollSendsVerticalBeforeHorizontal) {
  struct Case {
    std::int32_t delta_x, delta_y;
    std::vector<InputCall> expected;
  };
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  const std::int32_t min = std::numeric_limits<std::int32_t>::min();
  const Case cases[] = {
      {0, 0, {}},
      {0, -2, {InputCall::Mouse(0x0800, 0, 0, static_cast<std::uint32_t>(-240))}},
      {3, 1, {InputCall::Mouse(0x0800, 0, 0, 120), InputCall::Mouse(0x1000, 0, 0, 360)}},
      {-1, 0, {InputCall::Mouse(0x1000, 0, 0, static_cast<std::uint32_t>(-120))}},
      // Beyond 17,895,697 detents the amount is clamped, never wrapped.
      {0, 17895697, {InputCall::Mouse(0x0800, 0, 0, 2147483640u)}},
      {0, 17895698, {InputCall::Mouse(0x0800, 0, 0, static_cast<std::uint32_t>(max))}},
      {min, 0, {InputCall::Mouse(0x1000, 0, 0, static_cast<std::uint32_t>(min))}},
  };
  for (const Case& c : cases) {
    input_.calls.clear();
    pointer_.inject_scroll(c.delta_x, c.delta_y);
    EXPECT_EQ(input_.calls, c.expected) << "delta " << c.delta_x << ", " << c.delta_y;
  }
}

TEST_F(PointerInjectorTest, RefusedWheelIsNeitherRetriedNorReported) {
  fakes::CapturingLogSink log;
  input_.refuse_all(5);
  pointer_.inject_scroll(1, 1);
  EXPECT_EQ(input_.calls.size(), 2u);
  EXPECT_TRUE(log.records.empty());
}

}  // namespace
}  // namespace tarnu::windows_input
