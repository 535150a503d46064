#pragma once

// Gathers what tarnu-input-check judges, through Win32 calls that only read: the service
// manager with SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS, processes with
// PROCESS_QUERY_LIMITED_INFORMATION and their tokens with TOKEN_QUERY, registry keys with
// KEY_READ, files and folders with READ_CONTROL. Nothing here throws; what cannot be read is
// left empty with its reason (install_facts.h).

#include "check/install_facts.h"

namespace tarnu::check {

struct GatherOptions {
  // Open the console session's pipe (only while it waits for a client, and at
  // identification level), ask who serves it, and close it without writing.
  bool connect = false;
};

InstallFacts gather_facts(const GatherOptions& options);

}  // namespace tarnu::check
