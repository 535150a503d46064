// tarnu-input-send: writes input commands to a worker's pipe, for diagnostics on a real
// machine (as an administrator, or as the session's user) and for the end-to-end tests.
//
//   tarnu-input-send.exe [--session N] [--wait MS] [COMMAND ...]
//
// Each argument is one command line; without commands, lines are read from standard input
// until its end. Every line is checked before the pipe is opened, so a bad line sends
// nothing.

#include <windows.h>

#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "common/pipe_client_win.h"
#include "platform/text.h"
#include "platform/windows_error.h"
#include "send_script.h"

namespace {

using tarnu::tools::SendStep;

constexpr char kUsage[] =
    "usage: tarnu-input-send.exe [--session N] [--wait MS] [COMMAND ...]\n"
    "commands (one per argument, or one per line on standard input):\n"
    "  move X Y [BUTTON] | button NAME down|up [X Y] | scroll DX DY | key VK down|up | tap VK\n"
    "  type TEXT | release-all | sas | sleep MS | raw HEX | bytes HEX | frame-len N\n";

int fail(const std::string& message) {
  std::cerr << "tarnu-input-send: " << message << "\n";
  return 1;
}

std::string narrow(const std::wstring& text) {
  return tarnu::platform::utf16_to_utf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD session = 0;
  bool session_given = false;
  DWORD wait_milliseconds = 0;
  std::vector<std::string> lines;
  std::vector<std::string> origins;
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if ((argument == L"--session" || argument == L"--wait") && i + 1 < argc) {
      wchar_t* end = nullptr;
      const unsigned long value = std::wcstoul(argv[i + 1], &end, 10);
      if (end == argv[i + 1] || *end != L'\0') {
        return fail("bad number after " + narrow(argument) + "\n" + kUsage);
      }
      (argument == L"--session" ? session : wait_milliseconds) = static_cast<DWORD>(value);
      session_given = session_given || argument == L"--session";
      ++i;
    } else if (argument == L"--help" || argument == L"-h") {
      std::cout << kUsage;
      return 0;
    } else if (argument.starts_with(L"--")) {
      return fail("unknown option " + narrow(argument) + "\n" + kUsage);
    } else {
      lines.push_back(narrow(argument));
      origins.push_back("argument " + std::to_string(i));
    }
  }
  if (lines.empty()) {
    std::string line;
    for (int number = 1; std::getline(std::cin, line); ++number) {
      lines.push_back(line);
      origins.push_back("line " + std::to_string(number));
    }
  }

  std::vector<SendStep> steps;
  std::size_t frames = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto parsed = tarnu::tools::parse_send_line(lines[i]);
    if (!parsed) {
      return fail(origins[i] + ": " + parsed.error() + ": " + lines[i]);
    }
    for (SendStep& step : *parsed) {
      frames += std::holds_alternative<tarnu::tools::WriteStep>(step) ? 1 : 0;
      steps.push_back(std::move(step));
    }
  }

  if (!session_given && !::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) {
    return fail(tarnu::platform::windows_error_text("ProcessIdToSessionId", ::GetLastError()));
  }
  const std::wstring name = tarnu::tools::worker_pipe_name(session);
  tarnu::tools::PipeWriter pipe(name, wait_milliseconds);
  if (!pipe.valid()) {
    const DWORD error = pipe.error();
    const std::string why = error == ERROR_FILE_NOT_FOUND ? " (no worker serves this session)"
                            : error == ERROR_PIPE_BUSY    ? " (another client is connected)"
                                                          : "";
    return fail("cannot open " + narrow(name) + why + ": " +
                tarnu::platform::windows_error_text("CreateFileW", error));
  }

  std::size_t bytes = 0;
  int status = 0;
  for (const SendStep& step : steps) {
    if (const auto* sleep = std::get_if<tarnu::tools::SleepStep>(&step)) {
      ::Sleep(sleep->milliseconds);
      continue;
    }
    const auto& write = std::get<tarnu::tools::WriteStep>(step);
    if (!pipe.write(write.bytes.data(), write.bytes.size())) {
      status = fail("write to " + narrow(name) + ": " +
                    tarnu::platform::windows_error_text("WriteFile", pipe.error()));
      break;
    }
    bytes += write.bytes.size();
  }
  // Returns once the worker has read everything (or has gone away), so that a script's
  // last frames are not cut off by the close.
  pipe.flush();
  if (status == 0) {
    std::cout << "sent " << bytes << " bytes in " << frames << " write(s) to " << narrow(name)
              << "\n";
  }
  return status;
}
