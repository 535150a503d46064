#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace tarnu::soak {

// Watches another process from outside: whether it still runs, its entries in the system
// handle table (GetProcessHandleCount reports 0 under Wine) and its private memory.
class ProcessProbe {
 public:
  // The one running process whose executable has this name; invalid when there is none or
  // several.
  explicit ProcessProbe(const std::wstring& exe_name);
  ~ProcessProbe();
  ProcessProbe(const ProcessProbe&) = delete;
  ProcessProbe& operator=(const ProcessProbe&) = delete;

  bool valid() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  bool exited() const;
  long handle_count() const;
  // PrivateUsage of GetProcessMemoryInfo; 0 when it cannot be read.
  std::size_t private_bytes() const;

 private:
  DWORD id_ = 0;
  HANDLE process_ = nullptr;
};

// This process's own private memory.
std::size_t own_private_bytes();

}  // namespace tarnu::soak
