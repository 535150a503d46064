#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_process_launch_api.h"
#include "platform/win32/win32_service_control_api.h"
#include "service/service_dispatcher.h"
#include "service/service_host.h"

namespace tarnu::service {

Expected<void, platform::WinapiError> run_service_dispatcher() {
  const ServicePlatform platform{platform::win32::service_control_api(),
                                 platform::win32::process_launch_api(),
                                 platform::win32::handle_api()};
  return run_service_dispatcher(platform);
}

}  // namespace tarnu::service
