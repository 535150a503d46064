// tarnu-e2e-launch: runs a program with a changed environment and returns its exit status.
//
//   tarnu-e2e-launch.exe [--print-exit-code] [NAME=VALUE | -NAME]... -- PROGRAM [ARGS...]
//
// --print-exit-code writes the program's whole exit code ("exit code 0x80000100") to standard
// output once it has ended; the exit status seen from Unix keeps only its low byte.
// NAME=VALUE sets a variable (NAME= sets it empty), -NAME removes it. Wine builds a program's
// ProgramData itself when the parent is a Unix process, and cmd.exe cannot hold an empty
// variable, so the end-to-end tests start the worker through this parent instead.

#include <windows.h>

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
             L"usage: tarnu-e2e-launch.exe [--print-exit-code] [NAME=VALUE | -NAME]... -- "
             L"PROGRAM [ARGS...]\n");
    return 2;
  }

  std::wstring command_line;
  for (int j = i + 1; j < argc; ++j) {
    command_line += (j > i + 1 ? L" " : L"") + quoted(argv[j]);
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
