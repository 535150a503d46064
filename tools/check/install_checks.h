#pragma once

// The verdicts of tarnu-input-check: each check is a pure function of the facts gathered on
// the machine (install_facts.h), so that every verdict is testable without Windows.

#include <string>
#include <string_view>
#include <vector>

#include "check/install_facts.h"

namespace tarnu::check {

enum class Status { ok, warn, fail, skipped };

std::string_view status_name(Status status);

struct CheckResult {
  std::string id;  // stable: scripts match on it
  Status status = Status::ok;
  std::string detail;  // what was found
  std::string fix;     // what to do; empty when there is nothing to do
};

// Every check, in a fixed order, each exactly once.
std::vector<CheckResult> run_checks(const InstallFacts& facts);

// The installed executable, under the machine's Program Files folder.
std::string installed_executable(const MachineFacts& machine);

// 0 when nothing failed, 1 when something failed, 2 when only warnings remain (skipped
// checks count as neither).
int exit_status(const std::vector<CheckResult>& results);

// For people: the machine facts, then one line per check (ID, status, detail) with the fix
// indented below it when there is one.
std::string render_table(const MachineFacts& machine, const std::vector<CheckResult>& results);

// For tools: one JSON document {"tool", "version", "machine": {...}, "checks": [{"id",
// "status", "detail", "fix"}...], "exit_status"}.
std::string render_json(const MachineFacts& machine, const std::vector<CheckResult>& results);

}  // namespace tarnu::check
