#pragma once

#include "platform/service_control_api.h"

namespace tarnu::platform::win32 {

// The service control manager's three calls. The dispatcher and the handler call back
// through functions with the system's calling convention, which forward to the portable
// functions registered last: a service process runs one service with one handler.
class Win32ServiceControlApi final : public ServiceControlApi {
 public:
  Expected<void, WindowsErrorCode> start_dispatcher(std::u16string_view service_name,
                                                    ServiceMainFunction service_main) override;
  ServiceStatusHandle register_control_handler(std::u16string_view service_name,
                                               ServiceControlHandler handler,
                                               void* context) override;
  Expected<void, WindowsErrorCode> set_service_status(ServiceStatusHandle status_handle,
                                                      const ServiceStatus& status) override;
};

// The process-wide instance; it has no state of its own.
ServiceControlApi& service_control_api();

}  // namespace tarnu::platform::win32
