#include "platform/win32/win32_service_control_api.h"

#include <windows.h>

#include "platform/win32/win32_call_support.h"
#include "platform/win32/win32_handle_api.h"

#include <wtsapi32.h>

#include <atomic>
#include <string>

namespace tarnu::platform::win32 {

// The service values the portable host reports and compares, held to the SDK's.
static_assert(kServiceWin32OwnProcess == SERVICE_WIN32_OWN_PROCESS);
static_assert(kServiceStopped == SERVICE_STOPPED && kServiceRunning == SERVICE_RUNNING);
static_assert(kServiceStopPending == SERVICE_STOP_PENDING);
static_assert(kServiceAcceptStop == SERVICE_ACCEPT_STOP);
static_assert(kServiceAcceptSessionChange == SERVICE_ACCEPT_SESSIONCHANGE);
static_assert(kServiceControlStop == SERVICE_CONTROL_STOP);
static_assert(kServiceControlPause == SERVICE_CONTROL_PAUSE);
static_assert(kServiceControlContinue == SERVICE_CONTROL_CONTINUE);
static_assert(kServiceControlInterrogate == SERVICE_CONTROL_INTERROGATE);
static_assert(kServiceControlShutdown == SERVICE_CONTROL_SHUTDOWN);
static_assert(kServiceControlParamChange == SERVICE_CONTROL_PARAMCHANGE);
static_assert(kServiceControlSessionChange == SERVICE_CONTROL_SESSIONCHANGE);
static_assert(kServiceControlPreshutdown == SERVICE_CONTROL_PRESHUTDOWN);
static_assert(kWtsConsoleConnect == WTS_CONSOLE_CONNECT);
static_assert(kWtsSessionTerminate == WTS_SESSION_TERMINATE);
namespace {

std::atomic<ServiceMainFunction> g_service_main{nullptr};
std::atomic<ServiceControlHandler> g_control_handler{nullptr};

void WINAPI service_main_thunk(DWORD argc, LPWSTR* argv) {
  if (ServiceMainFunction main = g_service_main.load()) {
    main(argc, reinterpret_cast<char16_t**>(argv));
  }
}

DWORD WINAPI control_handler_thunk(DWORD control, DWORD event_type, LPVOID event_data,
                                   LPVOID context) {
  if (ServiceControlHandler handler = g_control_handler.load()) {
    return handler(control, event_type, event_data, context);
  }
  return ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

Expected<void, WindowsErrorCode> Win32ServiceControlApi::start_dispatcher(
    std::u16string_view service_name, ServiceMainFunction service_main) {
  // The table wants a writable name; it must outlive the blocking call, as it does here.
  std::u16string name(service_name);
  g_service_main.store(service_main);
  const SERVICE_TABLE_ENTRYW table[] = {{wide(name), service_main_thunk}, {nullptr, nullptr}};
  const BOOL started = ::StartServiceCtrlDispatcherW(table);
  const WindowsErrorCode error = last_error_code();
  if (!started) {
    return Unexpected(error);
  }
  return {};
}

ServiceStatusHandle Win32ServiceControlApi::register_control_handler(
    std::u16string_view service_name, ServiceControlHandler handler, void* context) {
  const std::u16string name(service_name);
  g_control_handler.store(handler);
  const SERVICE_STATUS_HANDLE status =
      ::RegisterServiceCtrlHandlerExW(wide(name), control_handler_thunk, context);
  return wrap<ServiceStatusHandle>(status);
}

Expected<void, WindowsErrorCode> Win32ServiceControlApi::set_service_status(
    ServiceStatusHandle status_handle, const ServiceStatus& status) {
  SERVICE_STATUS native{};
  native.dwServiceType = status.service_type;
  native.dwCurrentState = status.current_state;
  native.dwControlsAccepted = status.controls_accepted;
  native.dwWin32ExitCode = status.win32_exit_code;
  native.dwServiceSpecificExitCode = status.service_specific_exit_code;
  native.dwCheckPoint = status.check_point;
  native.dwWaitHint = status.wait_hint;
  if (!::SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(status_handle.raw()), &native)) {
    return last_error();
  }
  return {};
}

ServiceControlApi& service_control_api() {
  static Win32ServiceControlApi api;
  return api;
}

}  // namespace tarnu::platform::win32
