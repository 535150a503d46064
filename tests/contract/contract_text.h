#pragma once

// Small helpers the contract cases share.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "fakes/fake_file_system_api.h"

namespace tarnu::contract {

// UTF-16 text as plain text for test messages (non-ASCII as '?').
using fakes::narrow;

// The cases of one area, run once per world (the fakes, or the Win32 classes): each case gets
// a fresh world from the factory it is instantiated with.
template <typename World>
class ContractTest : public ::testing::TestWithParam<std::unique_ptr<World> (*)()> {
 protected:
  void SetUp() override { world_ = this->GetParam()(); }
  void TearDown() override { world_.reset(); }

  std::unique_ptr<World> world_;
};

// "S-1-" followed by at least two more numbers, digits and dashes only: what
// ConvertSidToStringSidW makes of a SID.
inline bool is_sid_text(std::u16string_view text) {
  if (text.substr(0, 4) != u"S-1-" || text.size() < 7 || text.back() == u'-') {
    return false;
  }
  int dashes = 0;
  for (const char16_t unit : text.substr(4)) {
    if (unit == u'-') {
      ++dashes;
    } else if (unit < u'0' || unit > u'9') {
      return false;
    }
  }
  return dashes >= 1;
}

}  // namespace tarnu::contract
