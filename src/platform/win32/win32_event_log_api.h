#pragma once

#include "platform/event_log_api.h"
#include "platform/machine_policy_api.h"

namespace tarnu::platform::win32 {

// The process-wide event source; registered at its first report, deregistered when the
// process ends.
EventLogApi& event_log_api();

// The process-wide reader of machine policy; it has no state.
MachinePolicyApi& machine_policy_api();

}  // namespace tarnu::platform::win32
