#include "process_probe_win.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "tests/windows_input/system_handle_count_win.h"

namespace tarnu::soak {
namespace {

DWORD process_by_name(const std::wstring& name) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return 0;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD found = 0;
  int matches = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    if (::lstrcmpiW(entry.szExeFile, name.c_str()) == 0) {
      found = entry.th32ProcessID;
      ++matches;
    }
  }
  ::CloseHandle(snapshot);
  return matches == 1 ? found : 0;
}

std::size_t private_usage(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
    return 0;
  }
  // Wine fills only the basic counters (cb comes back smaller) and leaves PrivateUsage 0;
  // its commit charge is PagefileUsage, which Windows reports with the same value.
  return counters.cb >= sizeof counters ? counters.PrivateUsage : counters.PagefileUsage;
}

}  // namespace

ProcessProbe::ProcessProbe(const std::wstring& exe_name) : id_(process_by_name(exe_name)) {
  if (id_ != 0) {
    process_ = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, id_);
  }
}

ProcessProbe::~ProcessProbe() {
  if (process_ != nullptr) {
    ::CloseHandle(process_);
  }
}

bool ProcessProbe::exited() const {
  return process_ == nullptr || ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

long ProcessProbe::handle_count() const { return tests::system_handle_count(id_); }

std::size_t ProcessProbe::private_bytes() const {
  return process_ == nullptr ? 0 : private_usage(process_);
}

std::size_t own_private_bytes() { return private_usage(::GetCurrentProcess()); }

}  // namespace tarnu::soak
