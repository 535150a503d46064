#include <windows.h>

#include "service/service_dispatcher.h"

namespace tarnu::service {
namespace {

// The service's main function, on the dispatcher's own thread.
void WINAPI service_entry(DWORD /*argc*/, LPWSTR* /*argv*/) {}

}  // namespace

Expected<void, platform::WinapiError> run_service_dispatcher() {
  // The dispatcher keeps the table's pointers for its whole run; the name must be writable.
  static wchar_t name[] = L"TarnuInputService";
  static_assert(sizeof(name) == sizeof(kServiceName));
  const SERVICE_TABLE_ENTRYW table[] = {{name, service_entry}, {nullptr, nullptr}};
  if (!::StartServiceCtrlDispatcherW(table)) {
    return Unexpected(platform::WinapiError{::GetLastError()});
  }
  return {};
}

}  // namespace tarnu::service
