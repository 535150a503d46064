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

// The SID text of a token's user, the way the worker looks it up.
Expected<std::u16string, WindowsErrorCode> token_user_sid(World& world, const ScopedToken& token) {
  platform::SessionApi& sessions = world.sessions();
  const std::uint32_t size = sessions.token_user_size(token.get());
  EXPECT_GT(size, 0u);
  std::vector<std::byte> buffer(size);
  const auto read = sessions.read_token_user(token.get(), buffer);
  if (!read) {
    return Unexpected(read.error());
  }
  const auto text = sessions.convert_token_user_sid_to_string(buffer);
  if (!text) {
    return Unexpected(text.error());
  }
  ScopedSidText owner(world.handles(), *text);
  return sessions.wide_text(owner.get());
}

TEST_F(SessionContract, TheProcessTokensUserIsASid) {
  EXPECT_TRUE(world_->sessions().current_process_session());
  const auto opened = world_->sessions().open_process_token();
  ASSERT_TRUE(opened);
  ScopedToken token(world_->handles(), *opened);
  const auto sid = token_user_sid(*world_, token);
  ASSERT_TRUE(sid);
  EXPECT_TRUE(is_sid_text(*sid)) << narrow(*sid);
}

// GetTokenInformation wants the whole size it reported: a byte less is 122, and a buffer
// too small for a TOKEN_USER is not converted.
TEST_F(SessionContract, ShortTokenUserBuffersAreRefused) {
  const auto opened = world_->sessions().open_process_token();
  ASSERT_TRUE(opened);
  ScopedToken token(world_->handles(), *opened);
  const std::uint32_t size = world_->sessions().token_user_size(token.get());
  ASSERT_GT(size, 1u);
  std::vector<std::byte> buffer(size - 1);
  const auto read = world_->sessions().read_token_user(token.get(), buffer);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error(), kInsufficientBuffer);

  const std::byte tiny[4] = {};
  const auto converted = world_->sessions().convert_token_user_sid_to_string(tiny);
  ASSERT_FALSE(converted);
  EXPECT_EQ(converted.error(), platform::kErrorInvalidParameter);
}

// WTSQueryUserToken for the process's own session: a logged-on user's token under Wine and
// for SYSTEM; 1314 for a process without SeTcbPrivilege on Windows.
TEST_F(SessionContract, TheSessionsUserTokenOrPrivilegeNotHeld) {
  const auto session = world_->sessions().current_process_session();
  ASSERT_TRUE(session);
  const auto queried = world_->sessions().query_user_token(*session);
  if (!queried) {
    EXPECT_EQ(queried.error(), kPrivilegeNotHeld);
    return;
  }
  ScopedToken token(world_->handles(), *queried);
  const auto sid = token_user_sid(*world_, token);
  ASSERT_TRUE(sid);
  EXPECT_TRUE(is_sid_text(*sid)) << narrow(*sid);
}

}  // namespace
}  // namespace tarnu::contract
