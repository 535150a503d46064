#include "worker/pipe_access.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/fake_worker_platform.h"

namespace tarnu::worker {
namespace {

using Kind = SessionUser::Kind;

// The pipe's name carries the session in decimal. Its DACL admits SYSTEM and one trustee
// (SYSTEM alone while the user is unknown); its label keeps out everything below medium
// integrity, whoever the trustee.
TEST(InputPipe, NameAndDescriptor) {
  EXPECT_EQ(fakes::narrow(input_pipe_name(2)), "\\\\.\\pipe\\tarnu-input-s2");
  EXPECT_EQ(fakes::narrow(input_pipe_name(12)), "\\\\.\\pipe\\tarnu-input-s12");
  EXPECT_EQ(fakes::narrow(input_pipe_name(0)), "\\\\.\\pipe\\tarnu-input-s0");
  EXPECT_EQ(input_pipe_sddl({Kind::kUser, "S-1-5-21-1-2-3-1001"}),
            "D:P(A;;GA;;;SY)(A;;GA;;;S-1-5-21-1-2-3-1001)S:(ML;;NWNRNX;;;ME)");
  EXPECT_EQ(input_pipe_sddl({Kind::kNobody, {}}), "D:P(A;;GA;;;SY)(A;;GA;;;IU)S:(ML;;NWNRNX;;;ME)");
  EXPECT_EQ(input_pipe_sddl({Kind::kUnknown, {}}), "D:P(A;;GA;;;SY)S:(ML;;NWNRNX;;;ME)");
  // The worker's own user as the owner, which clients check.
  EXPECT_EQ(input_pipe_sddl({Kind::kNobody, {}}, "S-1-5-18"),
            "O:S-1-5-18D:P(A;;GA;;;SY)(A;;GA;;;IU)S:(ML;;NWNRNX;;;ME)");
}

// Only a session without a user token has nobody logged on; every other failure leaves the
// user unknown, which admits nobody.
TEST(SessionUserLookup, LoggedOnUserNobodyOrUnknown) {
  struct Case {
    const char* name;
    std::function<void(fakes::FakeSessionApi&)> arrange;
    Kind kind;
    std::string sid_text;
  };
  const Case cases[] = {
      {"user logged on", [](fakes::FakeSessionApi&) {}, Kind::kUser, "S-1-5-21-0-0-0-1000"},
      {"unpaired surrogate in the SID text",
       [](fakes::FakeSessionApi& s) { s.user_sid = std::u16string(u"S-1-\xD800-5"); }, Kind::kUser,
       "S-1-\xEF\xBF\xBD-5"},
      {"no user token (1008)", [](fakes::FakeSessionApi& s) { s.user_sid.reset(); }, Kind::kNobody,
       ""},
      {"caller is not LocalSystem (5)",
       [](fakes::FakeSessionApi& s) {
         s.user_sid.reset();
         s.user_token_error = 5;
       },
       Kind::kUnknown, ""},
      {"no TokenUser size", [](fakes::FakeSessionApi& s) { s.token_user_size_zero = true; },
       Kind::kUnknown, ""},
      {"TokenUser read fails", [](fakes::FakeSessionApi& s) { s.read_token_user_error = 122; },
       Kind::kUnknown, ""},
      {"SID text conversion fails", [](fakes::FakeSessionApi& s) { s.convert_sid_error = 8; },
       Kind::kUnknown, ""},
  };
  for (const Case& c : cases) {
    support::FakeWorkerPlatform world;
    c.arrange(world.sessions);
    const SessionUser user = session_user(world.sessions, world.handles, 1);
    EXPECT_EQ(user.kind, c.kind) << c.name;
    EXPECT_EQ(user.sid_text, c.sid_text) << c.name;
    // The token is closed and the SID text freed on every path.
    EXPECT_EQ(world.ledger.open_count(), 0u) << c.name;
    EXPECT_TRUE(world.ledger.misuses().empty()) << c.name;
  }
}

}  // namespace
}  // namespace tarnu::worker
