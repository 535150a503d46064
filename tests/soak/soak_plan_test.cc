#include "soak_plan.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "fakes/recording_command_injector.h"
#include "invalid_payloads.h"
#include "protocol/decode_input_command.h"
#include "support/fake_worker_platform.h"
#include "worker/session_worker.h"

namespace tarnu::soak {
namespace {

constexpr SoakPlan::Area kArea{120, 120, 720, 560};

TEST(InvalidPayloadsTest, EachFailsInItsOwnWay) {
  std::set<std::string> texts;
  for (const std::vector<std::uint8_t>& payload : invalid_payloads()) {
    const auto decoded = protocol::decode_input_command(payload);
    ASSERT_FALSE(decoded.has_value()) << fakes::describe(*decoded);
    texts.insert(decoded.error());
  }
  // One per fault the decoder knows.
  EXPECT_EQ(texts.size(), 27u);
}

// What the real frame loop injects when the cycle's writes arrive as separate reads, as the
// recording injector describes it; `ends` counts the connection-end releases.
std::vector<std::string> served(const Cycle& cycle, int& ends) {
  support::FakeWorkerPlatform fake;
  fakes::FakePipeApi::Connection connection;
  std::size_t offset = 0;
  for (const std::size_t size : cycle.writes) {
    connection.chunks.emplace_back(
        cycle.stream.begin() + static_cast<std::ptrdiff_t>(offset),
        cycle.stream.begin() + static_cast<std::ptrdiff_t>(offset + size));
    offset += size;
  }
  fake.pipes.connections.push_back(std::move(connection));
  (void)worker::run_session_worker(
      fake.platform,
      [&] { return std::make_unique<fakes::RecordingCommandInjector>(fake.journal); },
      &protocol::decode_input_command);
  EXPECT_EQ(fake.ledger.open_count(), 0u);
  std::vector<std::string> injected;
  for (const std::string& event : fake.journal.events()) {
    if (event.starts_with("inject ")) {
      injected.push_back(event.substr(7));
    }
    ends += event == "release at connection end" ? 1 : 0;
  }
  return injected;
}

TEST(SoakPlanTest, TheWorkerInjectsExactlyWhatThePlanExpects) {
  const SoakPlan plan(7, 60, 3000, kArea);
  std::map<Ending, int> endings;
  for (std::size_t i = 0; i < plan.cycles(); ++i) {
    const Cycle cycle = plan.cycle(i);
    std::size_t written = 0;
    for (const std::size_t size : cycle.writes) {
      ASSERT_GT(size, 0u);
      written += size;
    }
    ASSERT_EQ(written, cycle.stream.size());
    std::vector<std::string> expected;
    for (const protocol::InputCommand& command : cycle.injected) {
      expected.push_back(fakes::describe(command));
    }
    int ends = 0;
    EXPECT_EQ(served(cycle, ends), expected) << "cycle " << i;
    // The connection's own end, then the one the worker makes as the script runs out.
    EXPECT_EQ(ends, 2);
    ++endings[cycle.ending];
  }
  EXPECT_EQ(endings.size(), 5u) << "every way of ending a connection";
}

TEST(SoakPlanTest, FramesAddUpAndATenthAreInvalid) {
  struct Case {
    std::size_t cycles, frames;
  };
  for (const Case c : {Case{300, 20000}, Case{100, 10000}, Case{30, 1000}}) {
    const SoakPlan plan(1, c.cycles, c.frames, kArea);
    std::size_t frames = 0, invalid = 0, injected = 0;
    for (std::size_t i = 0; i < plan.cycles(); ++i) {
      const Cycle cycle = plan.cycle(i);
      frames += cycle.frames;
      invalid += cycle.invalid_frames;
      injected += cycle.injected.size();
      for (const auto& command : cycle.injected) {
        if (const auto* move = std::get_if<protocol::InputCommand::MouseMove>(&command.value)) {
          EXPECT_TRUE(move->x >= kArea.left && move->x <= kArea.right && move->y >= kArea.top &&
                      move->y <= kArea.bottom);
        }
      }
    }
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(frames, invalid + injected);
    EXPECT_NEAR(static_cast<double>(invalid) / static_cast<double>(frames), 0.1, 0.015)
        << c.cycles << " cycles";
  }
}

TEST(SoakPlanTest, SameIndexSameCycle) {
  const SoakPlan plan(42, 10, 500, kArea);
  const Cycle a = plan.cycle(3), b = plan.cycle(3), c = plan.cycle(4);
  EXPECT_EQ(a.stream, b.stream);
  EXPECT_EQ(a.writes, b.writes);
  EXPECT_NE(a.stream, c.stream);
}

}  // namespace
}  // namespace tarnu::soak
