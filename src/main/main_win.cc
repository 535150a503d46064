// Process entry of the Windows executable. It is built for the GUI subsystem so that no
// console window opens when the service starts a worker; standard error is still used when
// the process has one (started from a shell).

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "main/role_selection.h"
#include "platform/handle_api.h"
#include "platform/win32/win32_call_support.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/windows_error.h"
#include "service/service_dispatcher.h"
#include "worker/run_worker.h"

namespace {

using tarnu::platform::ScopedArgumentVector;

// The arguments as Windows splits GetCommandLineW(); the C runtime's argv is not used, so
// the split is the same whatever runtime the program is linked with.
std::vector<std::u16string> command_line_arguments() {
  std::vector<std::u16string> arguments;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr) {
    return arguments;
  }
  ScopedArgumentVector owner(
      tarnu::platform::win32::handle_api(),
      tarnu::platform::ArgumentVector(reinterpret_cast<tarnu::platform::RawHandle>(argv)));
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  }
  return arguments;
}

// Without a standard error handle (started by a service) the line goes nowhere.
void write_standard_error(const std::string& text) {
  HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE || text.empty()) {
    return;
  }
  DWORD written = 0;
  ::WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

class Win32RoleRunner final : public tarnu::RoleRunner {
 public:
  tarnu::Status run_worker(std::span<const std::u16string> arguments) override {
    return tarnu::worker::run_worker(arguments);
  }
  tarnu::Expected<void, tarnu::platform::WinapiError> run_service_dispatcher() override {
    return tarnu::service::run_service_dispatcher();
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything can load a library: from here on every load by name, the program's own
  // and those the system makes on its behalf, looks in System32 only, never in the
  // executable's folder, where whoever can write it could plant a DLL to run as SYSTEM. (The
  // imports resolved before this point are KnownDLLs, which come from System32 anyway.) It
  // fails only for flags the system does not know; a process that cannot restrict its
  // search does not run at all rather than run with the unsafe one.
  if (!::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    write_standard_error(
        tarnu::platform::windows_error_text("SetDefaultDllDirectories",
                                            tarnu::platform::win32::last_error_code()) +
        "\n");
    return 1;
  }
  const std::vector<std::u16string> arguments = command_line_arguments();
  Win32RoleRunner runner;
  const tarnu::EntryOutcome outcome = tarnu::run_entry(arguments, runner);
  write_standard_error(outcome.error_output);
  return outcome.exit_status;
}
