#include "support/process_probe_win.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <vector>

namespace tarnu::support {
namespace {

// SystemExtendedHandleInformation: process ids at full width.
constexpr auto kSystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);

struct HandleEntry {
  PVOID object;
  ULONG_PTR unique_process_id;
  ULONG_PTR handle_value;
  ULONG granted_access;
  USHORT creator_back_trace_index;
  USHORT object_type_index;
  ULONG handle_attributes;
  ULONG reserved;
};

struct HandleTable {
  ULONG_PTR number_of_handles;
  ULONG_PTR reserved;
  HandleEntry handles[1];
};

constexpr NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

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

long system_handle_count(DWORD process_id) {
  std::vector<unsigned char> buffer(1 << 20);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status =
        ::NtQuerySystemInformation(kSystemExtendedHandleInformation, buffer.data(),
                                   static_cast<ULONG>(buffer.size()), &needed);
    if (status == kStatusInfoLengthMismatch) {
      buffer.resize(needed > buffer.size() ? needed + 65536 : buffer.size() * 2);
      continue;
    }
    if (status < 0) {
      return -1;
    }
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    long count = 0;
    for (ULONG_PTR i = 0; i < table->number_of_handles; ++i) {
      if (table->handles[i].unique_process_id == process_id) {
        ++count;
      }
    }
    return count;
  }
  return -1;
}

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

std::size_t ProcessProbe::private_bytes() const {
  return process_ == nullptr ? 0 : private_usage(process_);
}

std::size_t own_private_bytes() { return private_usage(::GetCurrentProcess()); }

}  // namespace tarnu::support
