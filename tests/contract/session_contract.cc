#include "contract/contract.h"

#include <cstddef>
#include <vector>

namespace tarnu::contract {
namespace {

using platform::ScopedSidText;
using platform::ScopedToken;
using platform::WindowsErrorCode;

// ERROR_INSUFFICIENT_BUFFER, ERROR_PRIVILEGE_NOT_HELD.
constexpr WindowsErrorCode kInsufficientBuffer = 122;
constexpr WindowsErrorCode kPrivilegeNotHeld = 1314;

// The token's user, looked up the way the worker does it, is a SID.
void expect_user_is_a_sid(World& world, const ScopedToken& token) {
  platform::SessionApi& sessions = world.sessions();
  std::vector<std::byte> buffer(sessions.token_user_size(token.get()));
  ASSERT_FALSE(buffer.empty());
  const auto read = sessions.read_token_user(token.get(), buffer);
  ASSERT_TRUE(read) << read.error();
  const auto text = sessions.convert_token_user_sid_to_string(buffer);
  ASSERT_TRUE(text) << text.error();
  ScopedSidText owner(world.handles(), *text);
  const std::u16string sid = sessions.wide_text(owner.get());
  EXPECT_TRUE(is_sid_text(sid)) << narrow(sid);
}

// The process token's user is a SID. GetTokenInformation wants the whole size it reported: a
// byte less is 122, and a buffer too small for a TOKEN_USER is not converted.
TEST_F(SessionContract, TheProcessTokensUserIsASidReadOnlyWhole) {
  platform::SessionApi& sessions = world_->sessions();
  EXPECT_TRUE(sessions.current_process_session());
  const auto opened = sessions.open_process_token();
  ASSERT_TRUE(opened);
  ScopedToken token(world_->handles(), *opened);
  const std::uint32_t size = sessions.token_user_size(token.get());
  ASSERT_GT(size, 1u);
  std::vector<std::byte> short_buffer(size - 1);
  const auto read = sessions.read_token_user(token.get(), short_buffer);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error(), kInsufficientBuffer);
  const std::byte tiny[4] = {};
  const auto converted = sessions.convert_token_user_sid_to_string(tiny);
  ASSERT_FALSE(converted);
  EXPECT_EQ(converted.error(), platform::kErrorInvalidParameter);
  expect_user_is_a_sid(*world_, token);
}

// WTSQueryUserToken for the process's own session: a logged-on user's token under Wine and
// for SYSTEM; 1314 for a process without SeTcbPrivilege on Windows.
TEST_F(SessionContract, TheSessionsUserTokenOrPrivilegeNotHeld) {
  const auto session = world_->sessions().current_process_session();
  ASSERT_TRUE(session);
  const auto queried = world_->sessions().query_user_token(*session);
  if (queried) {
    expect_user_is_a_sid(*world_, ScopedToken(world_->handles(), *queried));
  } else {
    EXPECT_EQ(queried.error(), kPrivilegeNotHeld);
  }
}

}  // namespace
}  // namespace tarnu::contract
