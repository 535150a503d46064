#pragma once

#include "platform/expected.h"
#include "platform/windows_error.h"

namespace tarnu::service {

inline constexpr char16_t kServiceName[] = u"TarnuInputService";

// Hands the service table to the service control manager and blocks while the service
// runs. Fails with "IO error in winapi call" when the process was not started by the
// service control manager.
Expected<void, platform::WinapiError> run_service_dispatcher();

}  // namespace tarnu::service
