#include "platform/scoped_object.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "fakes/fake_handle_api.h"
#include "fakes/handle_ledger.h"
#include "platform/desktop_api.h"
#include "platform/expected.h"
#include "platform/handle_api.h"
#include "platform/library_api.h"

namespace tarnu::platform {
namespace {

using fakes::HandleLedger;

// Each kind is released only its own way, and one kind does not pass for another: these
// would hold if the handle types were one.
template <typename Api, typename Value>
concept ClosedByCloseHandle = requires(Api& api, Value value) {
  api.close_handle(value);
};
template <typename Api, typename Value>
concept FreedByLocalFree = requires(Api& api, Value value) {
  api.local_free(value);
};
template <typename Api, typename Value>
concept ClosedByCloseDesktop = requires(Api& api, Value value) {
  api.close_desktop(value);
};

static_assert(ClosedByCloseHandle<HandleApi, TokenHandle>);
static_assert(!ClosedByCloseHandle<HandleApi, DesktopHandle>);
static_assert(!ClosedByCloseHandle<HandleApi, ModuleHandle>);
static_assert(!ClosedByCloseHandle<HandleApi, SidText>);
static_assert(!ClosedByCloseHandle<HandleApi, ServiceStatusHandle>);
static_assert(!ClosedByCloseHandle<HandleApi, RawHandle>);
static_assert(FreedByLocalFree<HandleApi, SecurityDescriptor>);
static_assert(!FreedByLocalFree<HandleApi, TokenHandle>);
static_assert(!ClosedByCloseDesktop<DesktopApi, PipeHandle>);
static_assert(!std::is_constructible_v<ScopedToken, HandleApi&, PipeHandle>);
static_assert(!std::is_constructible_v<ScopedSidText, HandleApi&, SecurityDescriptor>);
static_assert(!std::is_constructible_v<ScopedDesktop, HandleApi&, DesktopHandle>);
static_assert(!std::is_convertible_v<RawHandle, FileHandle>);
static_assert(!std::is_convertible_v<ProcessHandle, ThreadHandle>);

// Each handle is released once, the way its kind is, except one whose ownership was given up.
TEST(ScopedObjectTest, ReleasesOnceOnEveryPath) {
  HandleLedger ledger;
  fakes::FakeHandleApi api(ledger);
  ProcessHandle process;
  {
    ScopedToken a(api, ledger.open_as<TokenHandle>("token"));
    ScopedToken b = std::move(a);  // moved-from owner releases nothing
    EXPECT_FALSE(a.is_valid());
    ScopedToken c(api, ledger.open_as<TokenHandle>("token"));
    c = std::move(b);  // the handle c held is released by the assignment
    EXPECT_EQ(ledger.open_count(), 1u);
    ScopedSidText memory(api, ledger.open_as<SidText>("sid text"));
    ScopedProcess owner(api, ledger.open_as<ProcessHandle>("process"));
    process = owner.release();
    EXPECT_EQ(ledger.open_count(), 3u);
  }
  EXPECT_TRUE(ledger.is_open(process));
  EXPECT_EQ(ledger.open_count(), 1u);
  EXPECT_TRUE(ledger.misuses().empty());
  api.close_handle(process);
  api.close_handle(process);  // a second close is what the ledger must catch
  EXPECT_EQ(ledger.misuses().size(), 1u);
}

#ifndef _WIN32
// The sanitizer build is the one that runs the asserts: reading the error of a success (or
// the value of a failure) stops the test rather than reading the wrong alternative.
TEST(ExpectedDeathTest, AssertsRunInTheNativeTestBuild) {
  const Expected<int, int> success = 1;
  EXPECT_DEATH((void)success.error(), "has_value");
}
#endif

}  // namespace
}  // namespace tarnu::platform
