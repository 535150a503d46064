#include "bench_common_win.h"

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

namespace tarnu::bench {

DWORD own_session() {
  DWORD session = 0;
  if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) {
    return 0;
  }
  return session;
}

std::vector<std::wstring> command_line_arguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr) {
    return arguments;
  }
  for (int i = 0; i < count; ++i) {
    arguments.emplace_back(argv[i]);
  }
  ::LocalFree(argv);
  return arguments;
}

bool parse_number(const std::wstring& text, unsigned long long& value) {
  wchar_t* end = nullptr;
  value = std::wcstoull(text.c_str(), &end, 10);
  return !text.empty() && text[0] != L'-' && end != nullptr && *end == L'\0';
}

double now_seconds() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void print_rate(const char* what, std::uint64_t frames, double seconds) {
  std::printf("%s frames=%llu seconds=%.3f rate=%.1f\n", what,
              static_cast<unsigned long long>(frames), seconds,
              seconds > 0 ? static_cast<double>(frames) / seconds : 0.0);
  std::fflush(stdout);
}

int fail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
  return 2;
}

}  // namespace tarnu::bench
