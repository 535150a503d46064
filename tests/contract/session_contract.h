#pragma once

// What SessionApi does, written once and run against the fake (native tree) and the Win32
// class (Windows tree, under Wine).

#include <gtest/gtest.h>

#include "contract/contract_text.h"

#include <memory>

#include "platform/handle_api.h"
#include "platform/session_api.h"

namespace tarnu::contract {

class SessionWorld {
 public:
  virtual ~SessionWorld() = default;
  virtual platform::SessionApi& api() = 0;
  virtual platform::HandleApi& handles() = 0;
};

class SessionContract : public ContractTest<SessionWorld> {};

}  // namespace tarnu::contract
