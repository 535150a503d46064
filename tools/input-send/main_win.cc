// tarnu-input-send: writes input commands to a worker's pipe, for diagnostics on a real
// machine (as an administrator, or as the session's user) and for the end-to-end tests.
//
//   tarnu-input-send.exe [--session N] [--wait MS] [--server-user SID] [COMMAND ...]
//
// Each argument is one command line; without commands, lines are read from standard input
// until its end. Every line is checked before the pipe is opened, so a bad line sends
// nothing; so does a pipe whose server is not the session's input helper (see
// client/tarnu_input_client.h).

#include <windows.h>

#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "client/server_check.h"
#include "client/tarnu_input_client.h"
#include "platform/text.h"
#include "send_script.h"

namespace {

using tarnu::tools::SendStep;

constexpr char kUsage[] =
    "usage: tarnu-input-send.exe [--session N] [--wait MS] [--server-user SID] [COMMAND ...]\n"
    "  --session N        the pipe of session N (default: this program's session)\n"
    "  --wait MS          wait up to MS milliseconds for a missing or busy pipe\n"
    "  --server-user SID  the user the pipe's server must run as (default S-1-5-18,\n"
    "                     LocalSystem); nothing is sent to any other server\n"
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
  std::uint32_t session = TARNU_INPUT_OWN_SESSION;
  std::uint32_t wait_milliseconds = 0;
  std::string server_user = TARNU_INPUT_LOCAL_SYSTEM_SID;
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
      (argument == L"--session" ? session : wait_milliseconds) = static_cast<std::uint32_t>(value);
      ++i;
    } else if (argument == L"--server-user" && i + 1 < argc) {
      server_user = narrow(argv[++i]);
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

  tarnu_input_client* client = nullptr;
  tarnu_input_error error{};
  if (tarnu_input_connect(session, wait_milliseconds, server_user.c_str(), &client, &error) !=
      TARNU_INPUT_OK) {
    return fail(error.message);
  }
  const std::string name = tarnu::client::worker_pipe_name(tarnu_input_client_session(client));

  std::size_t bytes = 0;
  int status = 0;
  for (const SendStep& step : steps) {
    if (const auto* sleep = std::get_if<tarnu::tools::SleepStep>(&step)) {
      ::Sleep(sleep->milliseconds);
      continue;
    }
    const auto& write = std::get<tarnu::tools::WriteStep>(step);
    if (tarnu_input_write_raw(client, write.bytes.data(), write.bytes.size(), &error) !=
        TARNU_INPUT_OK) {
      status = fail(error.message);
      break;
    }
    bytes += write.bytes.size();
  }
  // Returns once the worker has read everything (or has gone away), so that a script's
  // last frames are not cut off by the close.
  tarnu_input_flush(client, nullptr);
  tarnu_input_close(client);
  if (status == 0) {
    std::cout << "sent " << bytes << " bytes in " << frames << " write(s) to " << name << "\n";
  }
  return status;
}
