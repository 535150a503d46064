#include "tests/windows_input/system_handle_count_win.h"

#include <winternl.h>

#include <vector>

namespace tarnu::tests {
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

}  // namespace

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

}  // namespace tarnu::tests
