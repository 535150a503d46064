#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarnu::bench {

// The calling process's session.
DWORD own_session();

// The arguments as Windows splits GetCommandLineW(), program name first.
std::vector<std::wstring> command_line_arguments();

// A whole decimal number and nothing else.
bool parse_number(const std::wstring& text, unsigned long long& value);

// Seconds on the performance counter.
double now_seconds();

// One result line on standard output: "<what> frames=<n> seconds=<s> rate=<frames per s>".
void print_rate(const char* what, std::uint64_t frames, double seconds);

// A message and a line feed on standard error; returns 2, the exit status of a bad start.
int fail(const std::string& message);

}  // namespace tarnu::bench
