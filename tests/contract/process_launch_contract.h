#pragma once

// What ProcessLaunchApi does, written once and run against the fake (native tree) and the
// Win32 class (Windows tree, under Wine). Child processes are started through the interface
// itself, with a copy of the process's own token.

#include <gtest/gtest.h>

#include "contract/contract_text.h"

#include <memory>
#include <string>

#include "platform/handle_api.h"
#include "platform/process_launch_api.h"

namespace tarnu::contract {

class ProcessLaunchWorld {
 public:
  virtual ~ProcessLaunchWorld() = default;
  virtual platform::ProcessLaunchApi& api() = 0;
  virtual platform::HandleApi& handles() = 0;
  // The full path of the running program, as the system reports it by other means.
  virtual std::u16string own_program_path() = 0;
  // A command line that ends by itself at once, and a folder to run it in.
  virtual std::u16string quick_command_line() = 0;
  virtual std::u16string working_folder() = 0;
  // Gives a child that was let run the time to end by itself (the fake's children end only
  // when told to).
  virtual void let_end(platform::ProcessHandle process) = 0;
};

class ProcessLaunchContract : public ContractTest<ProcessLaunchWorld> {};

}  // namespace tarnu::contract
