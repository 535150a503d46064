#include "worker/pipe_access.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/fake_worker_platform.h"

namespace tarnu::worker {
namespace {

// The pipe's name carries the session in decimal; its descriptor admits SYSTEM and one trustee.
TEST(InputPipe, NameAndDescriptor) {
  EXPECT_EQ(fakes::narrow(input_pipe_name(2)), "\\\\.\\pipe\\tarnu-input-s2");
  EXPECT_EQ(fakes::narrow(input_pipe_name(12)), "\\\\.\\pipe\\tarnu-input-s12");
  EXPECT_EQ(fakes::narrow(input_pipe_name(0)), "\\\\.\\pipe\\tarnu-input-s0");
  EXPECT_EQ(input_pipe_sddl("IU"), "D:P(A;;GA;;;SY)(A;;GA;;;IU)");
  EXPECT_EQ(input_pipe_sddl("S-1-5-21-1-2-3-1001"), "D:P(A;;GA;;;SY)(A;;GA;;;S-1-5-21-1-2-3-1001)");
}

TEST(SessionUserSid, LoggedOnUserOrInteractiveUsers) {
  struct Case {
    const char* name;
    std::function<void(fakes::FakeSessionApi&)> arrange;
    std::string expected;
  };
  const Case cases[] = {
      {"user logged on", [](fakes::FakeSessionApi&) {}, "S-1-5-21-0-0-0-1000"},
      {"unpaired surrogate in the SID text",
       [](fakes::FakeSessionApi& s) { s.user_sid = std::u16string(u"S-1-\xD800-5"); },
       "S-1-\xEF\xBF\xBD-5"},
      {"nobody logged on", [](fakes::FakeSessionApi& s) { s.user_sid.reset(); }, "IU"},
      {"no TokenUser size", [](fakes::FakeSessionApi& s) { s.token_user_size_zero = true; }, "IU"},
      {"TokenUser read fails", [](fakes::FakeSessionApi& s) { s.read_token_user_error = 122; },
       "IU"},
      {"SID text conversion fails", [](fakes::FakeSessionApi& s) { s.convert_sid_error = 8; },
       "IU"},
  };
  for (const Case& c : cases) {
    support::FakeWorkerPlatform world;
    c.arrange(world.sessions);
    EXPECT_EQ(session_user_sid_text(world.sessions, world.handles, 1), c.expected) << c.name;
    // The token is closed and the SID text freed on every path.
    EXPECT_EQ(world.ledger.open_count(), 0u) << c.name;
    EXPECT_TRUE(world.ledger.misuses().empty()) << c.name;
  }
}

}  // namespace
}  // namespace tarnu::worker
