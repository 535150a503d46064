#pragma once

#include <cstdint>
#include <string_view>

#include "platform/expected.h"
#include "platform/handles.h"

namespace tarnu::platform {

// SERVICE_STATUS, field for field.
struct ServiceStatus {
  std::uint32_t service_type = 0;
  std::uint32_t current_state = 0;
  std::uint32_t controls_accepted = 0;
  std::uint32_t win32_exit_code = 0;
  std::uint32_t service_specific_exit_code = 0;
  std::uint32_t check_point = 0;
  std::uint32_t wait_hint = 0;

  bool operator==(const ServiceStatus&) const = default;
};

// Windows values the service host uses.
inline constexpr std::uint32_t kServiceWin32OwnProcess = 0x00000010;
inline constexpr std::uint32_t kServiceStopped = 0x00000001;
inline constexpr std::uint32_t kServiceStopPending = 0x00000003;
inline constexpr std::uint32_t kServiceRunning = 0x00000004;
inline constexpr std::uint32_t kServiceAcceptStop = 0x00000001;
inline constexpr std::uint32_t kServiceAcceptSessionChange = 0x00000080;

inline constexpr std::uint32_t kServiceControlStop = 0x00000001;
inline constexpr std::uint32_t kServiceControlPause = 0x00000002;
inline constexpr std::uint32_t kServiceControlContinue = 0x00000003;
inline constexpr std::uint32_t kServiceControlInterrogate = 0x00000004;
inline constexpr std::uint32_t kServiceControlShutdown = 0x00000005;
inline constexpr std::uint32_t kServiceControlParamChange = 0x00000006;
inline constexpr std::uint32_t kServiceControlSessionChange = 0x0000000E;
inline constexpr std::uint32_t kServiceControlPreshutdown = 0x0000000F;

// WTS_CONSOLE_CONNECT .. WTS_SESSION_TERMINATE, the session-change reasons Windows defines.
inline constexpr std::uint32_t kWtsConsoleConnect = 1;
inline constexpr std::uint32_t kWtsSessionTerminate = 11;

// LPSERVICE_MAIN_FUNCTIONW and LPHANDLER_FUNCTION_EX as the portable code writes them; the
// Win32 side calls them from functions with the system's calling convention.
using ServiceMainFunction = void (*)(std::uint32_t argc, char16_t** argv);
using ServiceControlHandler = std::uint32_t (*)(std::uint32_t control, std::uint32_t event_type,
                                                void* event_data, void* context);

// The service control manager, as seen from inside a service process.
class ServiceControlApi {
 public:
  virtual ~ServiceControlApi() = default;

  // StartServiceCtrlDispatcherW with a table holding one service: blocks while the service
  // runs and calls `service_main` on a thread of its own. Fails with GetLastError().
  virtual Expected<void, WindowsErrorCode> start_dispatcher(std::u16string_view service_name,
                                                            ServiceMainFunction service_main) = 0;

  // RegisterServiceCtrlHandlerExW: the status handle, or 0 when registration failed. A
  // service process has one handler, so registering again replaces it.
  virtual ServiceStatusHandle register_control_handler(std::u16string_view service_name,
                                                       ServiceControlHandler handler,
                                                       void* context) = 0;

  // SetServiceStatus. Fails with GetLastError().
  virtual Expected<void, WindowsErrorCode> set_service_status(ServiceStatusHandle status_handle,
                                                              const ServiceStatus& status) = 0;
};

}  // namespace tarnu::platform
