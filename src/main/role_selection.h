#pragma once

#include <span>
#include <string>

#include "platform/expected.h"
#include "platform/windows_error.h"

namespace tarnu {

enum class Role { Service, Worker };

inline constexpr char kUsageError[] = "expected --service or --worker";

// Chooses the role from the arguments as Windows splits the process command line: element 0
// is the program path, element 1 must be exactly "--service" or "--worker" (compared unit by
// unit, case-sensitively), and later elements are never looked at.
Result<Role> select_role(std::span<const std::u16string> arguments);

// The two roles as the entry point runs them.
class RoleRunner {
 public:
  virtual ~RoleRunner() = default;
  // Success when the service asked the worker to stop; otherwise the text of a fatal error.
  // Gets all the arguments: the worker reads its own options after "--worker".
  virtual Status run_worker(std::span<const std::u16string> arguments) = 0;
  // Returns once the service has stopped, or with the dispatcher's start failure.
  virtual Expected<void, platform::WinapiError> run_service_dispatcher() = 0;
};

struct EntryOutcome {
  int exit_status = 0;
  // What goes to standard error, line feed included; empty on success.
  std::string error_output;
};

// Selects and runs the role, and turns a failure into one line for standard error and
// exit status 1. A worker stopped by its service and a service that has stopped end with
// status 0 and nothing on standard error.
EntryOutcome run_entry(std::span<const std::u16string> arguments, RoleRunner& runner);

}  // namespace tarnu
