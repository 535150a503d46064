#include <windows.h>

#include "platform/win32/win32_event_log_api.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_process_launch_api.h"
#include "platform/win32/win32_service_control_api.h"
#include "service/launch_worker.h"
#include "service/service_dispatcher.h"
#include "service/service_host.h"
#include "tarnu_version.h"

namespace tarnu::service {

Expected<void, platform::WinapiError> run_service_dispatcher() {
  const ServicePlatform platform{platform::win32::service_control_api(),
                                 platform::win32::process_launch_api(),
                                 platform::win32::handle_api(),
                                 platform::win32::event_log_api(),
                                 platform::win32::machine_policy_api(),
                                 platform::steady_monotonic_clock(),
                                 TARNU_VERSION_STRING};
  return run_service_dispatcher(platform);
}

// The access mask and flags the portable launch and host code pass, held to the SDK's.
static_assert(kWorkerTokenAccess ==
              (TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES |
               TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID));
static_assert(kWorkerCreationFlags ==
              (CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED));
static_assert(kRunningControlsAccepted == (SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SESSIONCHANGE));

}  // namespace tarnu::service
