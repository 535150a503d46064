#include "platform/scoped_object.h"

#include <gtest/gtest.h>

#include <utility>

#include "fakes/fake_handle_api.h"
#include "fakes/handle_ledger.h"
#include "platform/handle_api.h"

namespace tarnu::platform {
namespace {

using fakes::HandleLedger;
using fakes::Release;

TEST(ScopedObjectTest, ReleasesOnceOnEveryPath) {
  HandleLedger ledger;
  fakes::FakeHandleApi api(ledger);
  {
    ScopedHandle a(api, ledger.open("token", Release::kCloseHandle));
    ScopedHandle b = std::move(a);  // moved-from owner releases nothing
    EXPECT_FALSE(a.is_valid());
    ScopedHandle c(api, ledger.open("token", Release::kCloseHandle));
    c = std::move(b);  // the handle c held is released by the assignment
    EXPECT_EQ(ledger.open_count(), 1u);
    ScopedLocalMemory memory(api, ledger.open("sid text", Release::kLocalFree));
    EXPECT_EQ(ledger.open_count(), 2u);
  }
  EXPECT_EQ(ledger.open_count(), 0u);
  EXPECT_TRUE(ledger.misuses().empty());
}

TEST(ScopedObjectTest, ReleaseGivesUpOwnership) {
  HandleLedger ledger;
  fakes::FakeHandleApi api(ledger);
  RawHandle raw = 0;
  {
    ScopedHandle owner(api, ledger.open("process", Release::kCloseHandle));
    raw = owner.release();
  }
  EXPECT_TRUE(ledger.is_open(raw));
  api.close_handle(raw);
  api.close_handle(raw);  // a second close is what the ledger must catch
  EXPECT_EQ(ledger.misuses().size(), 1u);
}

}  // namespace
}  // namespace tarnu::platform
