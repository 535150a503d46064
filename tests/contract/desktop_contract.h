#pragma once

// What DesktopApi and InputApi do, written once and run against the fakes (native tree) and
// the Win32 classes (Windows tree, under Wine, on the test bed's display). Only harmless
// input is sent.

#include <gtest/gtest.h>

#include "contract/contract_text.h"

#include <memory>

#include "platform/desktop_api.h"
#include "platform/input_api.h"

namespace tarnu::contract {

class DesktopWorld {
 public:
  virtual ~DesktopWorld() = default;
  virtual platform::DesktopApi& desktops() = 0;
  virtual platform::InputApi& input() = 0;
};

class DesktopContract : public ContractTest<DesktopWorld> {};

}  // namespace tarnu::contract
