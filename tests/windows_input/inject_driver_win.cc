// Drives the real Win32 injector from the command line, for the Wine tests:
//
//   tarnu-inject-driver.exe COMMAND [ARGS] [COMMAND [ARGS]]...
//
//   bind                      attach to the input desktop; prints "bind: success|failure TEXT"
//   end                       connection-end release; prints "end: success|failure TEXT"
//   move X Y                  pointer move
//   button NAME down|up X Y   NAME: left right middle back forward
//   scroll DX DY              wheel detents
//   key CODE down|up          virtual-key code, decimal or 0x-hex
//   release-all               release everything held
//   cycles N                  N times: bind, Shift down, end; prints the handle count
//                             before and after as "cycles: N before=A after=B"
//   handles-of EXE            prints "handles-of: N" for the one running process whose
//                             executable is named EXE (-1 when there is none or several)
//   --server-user SID         the user the pipe-cycles that follow expect the worker to run
//                             as (before: S-1-5-18, LocalSystem)
//   pipe-cycles SESSION N     as a client of the client library, N times: connect to the
//                             worker of SESSION (waiting for its next instance), send one
//                             command pressing Shift, close; prints "pipe-cycles: N" or
//                             "pipe-cycles: failed at I: WHY"
//   stop-watch SERVICE [suspend]
//                             watches a service's stop and its worker (the process the
//                             service started), with `suspend` suspending every thread of the
//                             worker first (a hung worker): prints "stop-watch: watching",
//                             then "stop-watch: state S T" for each state the service reports
//                             (asked every 5 ms) and "stop-watch: exit T" when the worker has
//                             ended, T in Unix milliseconds, then "stop-watch: done" once
//                             the service reports STOPPED and the worker has ended (20 s at
//                             most)
//
// Commands run in order on the main thread, as the worker runs them.

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>

#include "client/tarnu_input_client.h"
#include "support/process_probe_win.h"
#include "windows_input/command_injector.h"

namespace {

using tarnu::protocol::InputCommand;
using tarnu::protocol::MouseButton;
using tarnu::windows_input::StatusOutcome;

void print_outcome(const char* what, const StatusOutcome& outcome) {
  std::printf("%s: %s %s\n", what, outcome.success ? "success" : "failure", outcome.text.c_str());
  std::fflush(stdout);
}

long number(const wchar_t* text) { return std::wcstol(text, nullptr, 0); }

bool parse_button(const std::wstring& name, MouseButton& button) {
  const struct {
    const wchar_t* name;
    MouseButton button;
  } buttons[] = {{L"left", MouseButton::kLeft},
                 {L"right", MouseButton::kRight},
                 {L"middle", MouseButton::kMiddle},
                 {L"back", MouseButton::kBack},
                 {L"forward", MouseButton::kForward}};
  for (const auto& entry : buttons) {
    if (name == entry.name) {
      button = entry.button;
      return true;
    }
  }
  return false;
}

// One command's payload: {"type": "key", "key_code": 0x10, "down": true}.
constexpr std::uint8_t kShiftDown[] = {0x83, 0xa4, 0x74, 0x79, 0x70, 0x65, 0xa3, 0x6b, 0x65,
                                       0x79, 0xa8, 0x6b, 0x65, 0x79, 0x5f, 0x63, 0x6f, 0x64,
                                       0x65, 0x10, 0xa4, 0x64, 0x6f, 0x77, 0x6e, 0xc3};

// The number of cycles done; `error` says why the next one failed.
long pipe_cycles(std::uint32_t session, const char* server_user, long cycles,
                 tarnu_input_error& error) {
  for (long cycle = 0; cycle < cycles; ++cycle) {
    tarnu_input_client* client = nullptr;
    // Waits up to 10 s for the server to offer an instance.
    if (tarnu_input_connect(session, 10000, server_user, &client, &error) != TARNU_INPUT_OK) {
      return cycle;
    }
    const int sent = tarnu_input_send_command(client, kShiftDown, sizeof kShiftDown, &error);
    // Returns once the server has read everything, so no frame is lost to the close.
    tarnu_input_flush(client, nullptr);
    tarnu_input_close(client);
    if (sent != TARNU_INPUT_OK) {
      return cycle;
    }
  }
  return cycles;
}

long long unix_milliseconds() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  // 100-ns units since 1601.
  const ULONGLONG ticks = ULONGLONG{now.dwHighDateTime} << 32 | now.dwLowDateTime;
  return static_cast<long long>((ticks - 116444736000000000ULL) / 10000);
}

// The process the service's process started, its threads suspended first with `suspend`.
HANDLE open_worker(DWORD service_process, bool suspend) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
  PROCESSENTRY32W process{};
  process.dwSize = sizeof process;
  DWORD worker = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &process); more;
       more = ::Process32NextW(snapshot, &process)) {
    worker = process.th32ParentProcessID == service_process ? process.th32ProcessID : worker;
  }
  THREADENTRY32 thread{};
  thread.dwSize = sizeof thread;
  for (BOOL more = suspend && ::Thread32First(snapshot, &thread); more && worker != 0;
       more = ::Thread32Next(snapshot, &thread)) {
    HANDLE handle = thread.th32OwnerProcessID == worker
                        ? ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, thread.th32ThreadID)
                        : nullptr;
    if (handle != nullptr) {
      ::SuspendThread(handle);
      ::CloseHandle(handle);
    }
  }
  ::CloseHandle(snapshot);
  return worker != 0 ? ::OpenProcess(SYNCHRONIZE, FALSE, worker) : nullptr;
}

void stop_watch(const wchar_t* name, bool suspend) {
  SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = ::OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
  SERVICE_STATUS_PROCESS status{};
  DWORD size = 0;
  const auto query = [&] {
    return ::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                  sizeof status, &size);
  };
  HANDLE worker = query() ? open_worker(status.dwProcessId, suspend) : nullptr;
  std::printf("stop-watch: %s\n", worker != nullptr ? "watching" : "no worker");
  DWORD state = 0;
  bool ended = false;
  for (const ULONGLONG end = ::GetTickCount64() + 20000;
       worker != nullptr && !(ended && state == SERVICE_STOPPED) && ::GetTickCount64() < end;) {
    std::fflush(stdout);
    if (query() && status.dwCurrentState != state) {
      state = status.dwCurrentState;
      std::printf("stop-watch: state %lu %lld\n", state, unix_milliseconds());
    }
    // Also the pause between two questions.
    if (ended) {
      ::Sleep(5);
    } else if (::WaitForSingleObject(worker, 5) == WAIT_OBJECT_0) {
      ended = true;
      std::printf("stop-watch: exit %lld\n", unix_milliseconds());
    }
  }
  std::printf("stop-watch: done\n");
  if (worker != nullptr) {
    ::CloseHandle(worker);
  }
  ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
}

int usage(const wchar_t* at) {
  std::fprintf(stderr, "tarnu-inject-driver: bad command at \"%ls\"\n", at);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::unique_ptr<tarnu::windows_input::CommandInjector> injector =
      tarnu::windows_input::make_win32_command_injector();
  std::string server_user = TARNU_INPUT_LOCAL_SYSTEM_SID;
  for (int i = 1; i < argc; ++i) {
    const std::wstring command = argv[i];
    const int left = argc - i - 1;
    if (command == L"bind") {
      print_outcome("bind", injector->bind_input_desktop());
    } else if (command == L"end") {
      print_outcome("end", injector->release_at_connection_end());
    } else if (command == L"move" && left >= 2) {
      injector->inject_command(
          {InputCommand::MouseMove{static_cast<std::int32_t>(number(argv[i + 1])),
                                   static_cast<std::int32_t>(number(argv[i + 2])), std::nullopt}});
      i += 2;
    } else if (command == L"button" && left >= 4) {
      MouseButton button{};
      const std::wstring direction = argv[i + 2];
      if (!parse_button(argv[i + 1], button) || (direction != L"down" && direction != L"up")) {
        return usage(argv[i]);
      }
      injector->inject_command({InputCommand::MouseButton{
          button, direction == L"down", static_cast<std::int32_t>(number(argv[i + 3])),
          static_cast<std::int32_t>(number(argv[i + 4]))}});
      i += 4;
    } else if (command == L"scroll" && left >= 2) {
      injector->inject_command(
          {InputCommand::Scroll{static_cast<std::int32_t>(number(argv[i + 1])),
                                static_cast<std::int32_t>(number(argv[i + 2]))}});
      i += 2;
    } else if (command == L"key" && left >= 2) {
      const std::wstring direction = argv[i + 2];
      if (direction != L"down" && direction != L"up") {
        return usage(argv[i]);
      }
      injector->inject_command({InputCommand::Key{static_cast<std::uint16_t>(number(argv[i + 1])),
                                                  direction == L"down"}});
      i += 2;
    } else if (command == L"release-all") {
      injector->inject_command({InputCommand::ReleaseAll{}});
    } else if (command == L"handles-of" && left >= 1) {
      const DWORD pid = tarnu::support::process_by_name(argv[i + 1]);
      std::printf("handles-of: %ld\n", pid == 0 ? -1L : tarnu::support::system_handle_count(pid));
      i += 1;
    } else if (command == L"--server-user" && left >= 1) {
      const std::wstring sid = argv[i + 1];
      server_user.assign(sid.begin(), sid.end());  // a SID is ASCII
      i += 1;
    } else if (command == L"pipe-cycles" && left >= 2) {
      const long cycles = number(argv[i + 2]);
      tarnu_input_error error{};
      const long done = pipe_cycles(static_cast<std::uint32_t>(number(argv[i + 1])),
                                    server_user.c_str(), cycles, error);
      if (done == cycles) {
        std::printf("pipe-cycles: %ld\n", cycles);
      } else {
        std::printf("pipe-cycles: failed at %ld: %s\n", done, error.message);
      }
      i += 2;
    } else if (command == L"stop-watch" && left >= 1) {
      const bool suspend = left >= 2 && std::wstring(argv[i + 2]) == L"suspend";
      stop_watch(argv[i + 1], suspend);
      i += suspend ? 2 : 1;
    } else if (command == L"cycles" && left >= 1) {
      const long cycles = number(argv[i + 1]);
      const DWORD pid = ::GetCurrentProcessId();
      const long before = tarnu::support::system_handle_count(pid);
      for (long cycle = 0; cycle < cycles; ++cycle) {
        injector->bind_input_desktop();
        injector->inject_command({InputCommand::Key{0x10, true}});
        injector->release_at_connection_end();
      }
      std::printf("cycles: %ld before=%ld after=%ld\n", cycles, before,
                  tarnu::support::system_handle_count(pid));
      i += 1;
    } else {
      return usage(argv[i]);
    }
    std::fflush(stdout);
  }
  return 0;
}
