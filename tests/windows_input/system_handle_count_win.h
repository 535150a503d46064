#pragma once

#include <windows.h>

namespace tarnu::tests {

// The number of entries the system handle table holds for a process, or -1 when the table
// cannot be read. GetProcessHandleCount is no use under Wine (it reports 0).
long system_handle_count(DWORD process_id);

}  // namespace tarnu::tests
