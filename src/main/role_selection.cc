#include "main/role_selection.h"

namespace tarnu {
namespace {

EntryOutcome failure(std::string text) {
  text.push_back('\n');
  return EntryOutcome{1, std::move(text)};
}

}  // namespace

Result<Role> select_role(std::span<const std::u16string> arguments) {
  if (arguments.size() < 2) {
    return Unexpected(std::string(kUsageError));
  }
  const std::u16string& first = arguments[1];
  if (first == u"--worker") {
    return Role::Worker;
  }
  if (first == u"--service") {
    return Role::Service;
  }
  return Unexpected(std::string(kUsageError));
}

EntryOutcome run_entry(std::span<const std::u16string> arguments, RoleRunner& runner) {
  Result<Role> role = select_role(arguments);
  if (!role) {
    return failure(role.error());
  }
  if (*role == Role::Worker) {
    Status served = runner.run_worker(arguments);
    if (!served) {
      return failure(std::move(served).error());
    }
    return EntryOutcome{};
  }
  Expected<void, platform::WinapiError> dispatched = runner.run_service_dispatcher();
  if (!dispatched) {
    return failure("start service dispatcher: " + dispatched.error().text());
  }
  return EntryOutcome{};
}

}  // namespace tarnu
