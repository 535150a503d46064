#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace tarnu::support {

// The id of the one running process whose executable has this name; 0 when there is none
// or several.
DWORD process_by_name(const std::wstring& exe_name);

// The number of entries the system handle table holds for a process, or -1 when the table
// cannot be read. GetProcessHandleCount is no use under Wine (it reports 0).
long system_handle_count(DWORD process_id);

// Watches another process from outside: whether it still runs, its entries in the system
// handle table and its private memory.
class ProcessProbe {
 public:
  // The process process_by_name finds; invalid when it finds none.
  explicit ProcessProbe(const std::wstring& exe_name);
  ~ProcessProbe();
  ProcessProbe(const ProcessProbe&) = delete;
  ProcessProbe& operator=(const ProcessProbe&) = delete;

  bool valid() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  bool exited() const;
  long handle_count() const { return system_handle_count(id_); }
  // PrivateUsage of GetProcessMemoryInfo; 0 when it cannot be read.
  std::size_t private_bytes() const;

 private:
  DWORD id_ = 0;
  HANDLE process_ = nullptr;
};

// This process's own private memory.
std::size_t own_private_bytes();

}  // namespace tarnu::support
