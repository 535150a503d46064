// tarnu-e2e-launch: runs a program with a changed environment and returns its exit status.
//
//   tarnu-e2e-launch.exe [--print-exit-code] [--stop-event FILE] [NAME=VALUE | -NAME]... --
//                        PROGRAM [ARGS...]
//
// --print-exit-code writes the program's whole exit code ("exit code 0x80000100") to standard
// output once it has ended; the exit status seen from Unix keeps only its low byte.
// --stop-event FILE plays the service: the program gets an inheritable event, its handle
// value appended to its arguments as "--stop-event N"; once FILE exists the event is set, the
// program given a second to end, then terminated ("stop: ended|terminated after N ms").
// NAME=VALUE sets a variable (NAME= sets it empty), -NAME removes it. Wine builds a program's
// ProgramData itself when the parent is a Unix process, and cmd.exe cannot hold an empty
// variable, so the end-to-end tests start the worker through this parent instead.

#include <windows.h>

#include <cstdint>
#include <string>

namespace {

std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring result = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    result += c;
  }
  result.append(backslashes * 2, L'\\');
  return result + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int i = 1;
  const bool print_exit_code = i < argc && std::wstring(argv[i]) == L"--print-exit-code";
  if (print_exit_code) {
    ++i;
  }
  std::wstring stop_file;
  if (i + 1 < argc && std::wstring(argv[i]) == L"--stop-event") {
    stop_file = argv[i + 1];
    i += 2;
  }
  // The changes are made to this process's own environment, which the program inherits. An
  // empty value is a variable set to nothing; only a null one removes it.
  for (; i < argc && std::wstring(argv[i]) != L"--"; ++i) {
    const std::wstring change = argv[i];
    const std::size_t equals = change.find(L'=');
    if (change.starts_with(L"-")) {
      ::SetEnvironmentVariableW(change.substr(1).c_str(), nullptr);
    } else if (equals != std::wstring::npos && equals > 0) {
      ::SetEnvironmentVariableW(change.substr(0, equals).c_str(),
                                change.substr(equals + 1).c_str());
    } else {
      fwprintf(stderr, L"tarnu-e2e-launch: bad change %ls\n", argv[i]);
      return 2;
    }
  }
  if (i + 1 >= argc) {
    fwprintf(stderr,
             L"usage: tarnu-e2e-launch.exe [--print-exit-code] [--stop-event FILE] "
             L"[NAME=VALUE | -NAME]... -- PROGRAM [ARGS...]\n");
    return 2;
  }

  std::wstring command_line;
  for (int j = i + 1; j < argc; ++j) {
    command_line += (j > i + 1 ? L" " : L"") + quoted(argv[j]);
  }
  HANDLE stop_event = nullptr;
  if (!stop_file.empty()) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    stop_event = ::CreateEventW(&inheritable, TRUE, FALSE, nullptr);
    command_line +=
        L" --stop-event " + std::to_wstring(reinterpret_cast<std::uintptr_t>(stop_event));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    fwprintf(stderr, L"tarnu-e2e-launch: CreateProcessW failed with Windows error %lu\n",
             ::GetLastError());
    return 2;
  }
  ::CloseHandle(process.hThread);
  while (stop_event != nullptr && ::WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT) {
    if (::GetFileAttributesW(stop_file.c_str()) != INVALID_FILE_ATTRIBUTES) {
      const ULONGLONG start = ::GetTickCount64();
      ::SetEvent(stop_event);
      const bool ended = ::WaitForSingleObject(process.hProcess, 1000) == WAIT_OBJECT_0;
      if (!ended) {
        ::TerminateProcess(process.hProcess, 0);
      }
      wprintf(L"stop: %ls after %llu ms\n", ended ? L"ended" : L"terminated",
              ::GetTickCount64() - start);
      fflush(stdout);
      break;
    }
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hProcess);
  if (print_exit_code) {
    wprintf(L"exit code 0x%08lX\n", status);
    fflush(stdout);
  }
  return static_cast<int>(status);
}
