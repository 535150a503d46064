#include "client/server_check.h"

#include <gtest/gtest.h>

#include "client/tarnu_input_client.h"

namespace tarnu::client {
namespace {

// Which pipe servers a client writes to, and what it says about the others.
TEST(ServerCheck, AcceptsOnlyTheExpectedUserInTheExpectedSession) {
  struct Case {
    PipeServer server;
    std::uint32_t session;
    const char* user;
    const char* refusal;  // nullptr: accepted
  };
  constexpr char kWineUser[] = "S-1-5-21-0-0-0-1000";
  const Case cases[] = {
      {{812, 1, "S-1-5-18", "S-1-5-18"}, 1, TARNU_INPUT_LOCAL_SYSTEM_SID, nullptr},
      {{812, 3, "S-1-5-18", "S-1-5-18"}, 3, "s-1-5-18", nullptr},
      {{40, 1, kWineUser, kWineUser}, 1, kWineUser, nullptr},
      {{40, 1, kWineUser, "S-1-5-18"},
       1,
       TARNU_INPUT_LOCAL_SYSTEM_SID,
       "pipe server is not the input helper: process 40 runs as S-1-5-21-0-0-0-1000, not "
       "S-1-5-18"},
      // LocalSystem, but another session's worker: an administrator who asked for session 2
      // must not reach the console's.
      {{812, 1, "S-1-5-18", "S-1-5-18"},
       2,
       TARNU_INPUT_LOCAL_SYSTEM_SID,
       "pipe server is not the input helper: process 812 is in session 1, not 2"},
      {{812, 1, "S-1-5-180", "S-1-5-18"},
       1,
       "S-1-5-18",
       "pipe server is not the input helper: process 812 runs as S-1-5-180, not S-1-5-18"},
      {{812, 1, "", "S-1-5-18"},
       1,
       "S-1-5-18",
       "pipe server is not the input helper: process 812 runs as , not S-1-5-18"},
      // A pipe its server could not have made as LocalSystem: refused before the token is
      // asked, and even when a LocalSystem process has the reported process ID.
      {{812, 1, "S-1-5-18", kWineUser},
       1,
       "S-1-5-18",
       "pipe server is not the input helper: process 812 serves a pipe owned by "
       "S-1-5-21-0-0-0-1000, not S-1-5-18"},
      {{812, 1, "S-1-5-18", "S-1-5-32-544"},
       1,
       "S-1-5-18",
       "pipe server is not the input helper: process 812 serves a pipe owned by S-1-5-32-544, "
       "not S-1-5-18"},
      {{812, 1, "S-1-5-18", ""},
       1,
       "S-1-5-18",
       "pipe server is not the input helper: process 812 serves a pipe that has no owner, not "
       "one owned by S-1-5-18"},
  };
  for (const Case& c : cases) {
    auto refusal = session_refusal(c.server, c.session);
    if (!refusal) {
      refusal = owner_refusal(c.server, c.user);
    }
    if (!refusal) {
      refusal = user_refusal(c.server, c.user);
    }
    EXPECT_EQ(refusal.value_or("accepted"), c.refusal ? c.refusal : "accepted")
        << c.server.user_sid << " in " << c.server.session;
  }
}

// Only a token closed to the caller is no reason to refuse; the owner then decides alone.
TEST(ServerCheck, OnlyAccessDeniedLeavesTheTokenUnread) {
  EXPECT_TRUE(token_may_be_unreadable(5));
  for (const std::uint32_t other : {0u, 6u, 87u, 1008u}) {
    EXPECT_FALSE(token_may_be_unreadable(other)) << other;
  }
}

TEST(ServerCheck, SidTextForm) {
  for (const char* good : {"S-1-5-18", "s-1-5-21-0-0-0-1000", "S-1-16-12288"}) {
    EXPECT_TRUE(is_sid_text(good)) << good;
  }
  for (const char* bad : {"", "S", "S-1", "S-1-5", "S-2-5-18", "S-1-5-18-", "S-1--5", "SY",
                          "S-1-5-18 ", "X-1-5-18", "S-1-5-1a"}) {
    EXPECT_FALSE(is_sid_text(bad)) << bad;
  }
}

// A missing pipe and a busy one are worth waiting for; a worker that went away is worth a
// new connection; anything else is reported as it is.
TEST(ServerCheck, FailuresTellTheCallerWhatToDo) {
  const std::string pipe = worker_pipe_name(2);
  EXPECT_EQ(pipe, "\\\\.\\pipe\\tarnu-input-s2");
  const Failure missing = open_failure(pipe, 2);
  EXPECT_EQ(missing.code, TARNU_INPUT_ERROR_NO_PIPE);
  EXPECT_EQ(missing.message,
            "cannot open \\\\.\\pipe\\tarnu-input-s2 (no worker serves this session): "
            "CreateFileW failed with Windows error 2");
  EXPECT_EQ(open_failure(pipe, 231).code, TARNU_INPUT_ERROR_BUSY);
  EXPECT_EQ(open_failure(pipe, 5).code, TARNU_INPUT_ERROR_SYSTEM);
  for (const std::uint32_t gone : {109u, 232u, 233u}) {
    EXPECT_EQ(write_failure("WriteFile", pipe, gone).code, TARNU_INPUT_ERROR_DISCONNECTED);
  }
  EXPECT_EQ(write_failure("WriteFile", pipe, 5).message,
            "write to \\\\.\\pipe\\tarnu-input-s2: WriteFile failed with Windows error 5");
}

}  // namespace
}  // namespace tarnu::client
