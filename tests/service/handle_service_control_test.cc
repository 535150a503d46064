#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>

#include "platform/service_control_api.h"
#include "platform/types.h"
#include "service/event_queue.h"
#include "service/event_receiver.h"
#include "service/event_sender.h"
#include "service/handler_context.h"
#include "service/service_host.h"

namespace tarnu::service {
namespace {

using namespace tarnu::platform;

constexpr std::uint32_t kOk = kErrorSuccess;
constexpr std::uint32_t kNotImplemented = kErrorCallNotImplemented;

struct ControlCase {
  const char* name;
  std::uint32_t control;
  std::uint32_t event_type;
  std::uint32_t answer;
  std::optional<ReceiveOutcome> event = std::nullopt;
  bool releases_context = false;
};

// Named in test listings by their case name rather than their bytes.
void PrintTo(const ControlCase& c, std::ostream* out) { *out << c.name; }

class HandleServiceControlTest : public testing::TestWithParam<ControlCase> {};

// What is queued after one control, with the test's own sending end still alive so that a
// released context shows as "nothing more", not as a disconnected queue. After a stop has
// released the context, the dispatcher may still deliver
// controls with its address: they are answered without sending anything.
TEST_P(HandleServiceControlTest, AnswersQueuesAndReleasesAsTheTableSays) {
  const ControlCase& c = GetParam();
  auto [sender, receiver] = make_event_queue();
  EventSender own = sender.clone();
  HandlerContext context(std::move(sender));

  EXPECT_EQ(handle_service_control(c.control, c.event_type, nullptr, &context), c.answer);

  if (c.event) {
    EXPECT_EQ(receiver.receive_for(std::chrono::milliseconds(0)), *c.event);
  }
  if (c.releases_context) {
    EXPECT_EQ(handle_service_control(kServiceControlInterrogate, 0, nullptr, &context), kOk);
    EXPECT_EQ(handle_service_control(kServiceControlStop, 0, nullptr, &context), kNotImplemented);
    EXPECT_EQ(handle_service_control(kServiceControlSessionChange, 5, nullptr, &context),
              kNotImplemented);
  }
  EXPECT_EQ(receiver.receive_for(std::chrono::milliseconds(0)), ReceiveOutcome::TimedOut);
  EXPECT_EQ(context.is_released(), c.releases_context);

  // The context's own end is gone exactly when it was released.
  own.reset();
  EXPECT_EQ(receiver.receive_for(std::chrono::milliseconds(0)),
            c.releases_context ? ReceiveOutcome::Disconnected : ReceiveOutcome::TimedOut);
}

INSTANTIATE_TEST_SUITE_P(
    ControlTable, HandleServiceControlTest,
    testing::Values(
        ControlCase{"Stop", kServiceControlStop, 0, kOk, ReceiveOutcome::Stop, true},
        ControlCase{"Interrogate", kServiceControlInterrogate, 0, kOk},
        ControlCase{"Pause", kServiceControlPause, 0, kNotImplemented},
        ControlCase{"Continue", kServiceControlContinue, 0, kNotImplemented},
        ControlCase{"ParamChange", kServiceControlParamChange, 0, kNotImplemented},
        ControlCase{"SessionChangeReason0", kServiceControlSessionChange, 0, kNotImplemented},
        ControlCase{"SessionChangeConsoleConnect", kServiceControlSessionChange, 1, kOk,
                    ReceiveOutcome::SessionChanged},
        ControlCase{"SessionChangeLogon", kServiceControlSessionChange, 5, kOk,
                    ReceiveOutcome::SessionChanged},
        ControlCase{"SessionChangeTerminate", kServiceControlSessionChange, 11, kOk,
                    ReceiveOutcome::SessionChanged},
        ControlCase{"SessionChangeReason12", kServiceControlSessionChange, 12, kNotImplemented},
        ControlCase{"Shutdown", kServiceControlShutdown, 0, kNotImplemented},
        ControlCase{"Preshutdown", kServiceControlPreshutdown, 0, kNotImplemented},
        ControlCase{"UserDefined128", 128, 0, kNotImplemented},
        ControlCase{"UserDefined255", 255, 0, kNotImplemented},
        ControlCase{"Unknown", 0x00000100, 0, kNotImplemented}),
    [](const testing::TestParamInfo<ControlCase>& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace tarnu::service
