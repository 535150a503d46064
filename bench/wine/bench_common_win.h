#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

namespace tarnu::bench {

// The calling process's session.
inline DWORD own_session() {
  DWORD session = 0;
  ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
  return session;
}

// A whole decimal number and nothing else.
inline bool parse_number(const wchar_t* text, unsigned long long& value) {
  wchar_t* end = nullptr;
  value = std::wcstoull(text, &end, 10);
  return text[0] != L'-' && end != text && *end == L'\0';
}

// Seconds on the monotonic clock (the performance counter, on Windows).
inline double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One result line on standard output: "<what> frames=<n> seconds=<s> rate=<frames per s>".
inline void print_rate(const char* what, std::uint64_t frames, double seconds) {
  std::printf("%s frames=%llu seconds=%.3f rate=%.1f\n", what,
              static_cast<unsigned long long>(frames), seconds,
              seconds > 0 ? static_cast<double>(frames) / seconds : 0.0);
  std::fflush(stdout);
}

// A message and a line feed on standard error; returns 2, the exit status of a bad start.
inline int fail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
  return 2;
}

}  // namespace tarnu::bench
