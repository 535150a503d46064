#include "platform/win32/win32_event_log_api.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "platform/text.h"
#include "platform/win32/win32_call_support.h"

namespace tarnu::platform::win32 {
namespace {

constexpr wchar_t kEventSource[] = L"TarnuInputService";

class Win32EventLogApi final : public EventLogApi {
 public:
  Win32EventLogApi() = default;
  Win32EventLogApi(const Win32EventLogApi&) = delete;
  Win32EventLogApi& operator=(const Win32EventLogApi&) = delete;
  ~Win32EventLogApi() override {
    if (source_ != nullptr) {
      ::DeregisterEventSource(source_);
    }
  }

  bool report(EventLevel level, std::uint32_t id, std::span<const std::string> inserts) override {
    std::vector<std::u16string> texts;
    texts.reserve(inserts.size());
    for (const std::string& insert : inserts) {
      texts.push_back(utf8_to_utf16(insert));
    }
    std::vector<LPCWSTR> strings;
    strings.reserve(texts.size());
    for (const std::u16string& text : texts) {
      strings.push_back(wide(text));
    }
    // The service reports from its own thread and the worker from its main thread, but the
    // source is registered once whoever comes first.
    std::lock_guard lock(mutex_);
    if (source_ == nullptr) {
      // Without a registration under the Application log the event is still written, with
      // a text saying that its description cannot be found.
      source_ = ::RegisterEventSourceW(nullptr, kEventSource);
      if (source_ == nullptr) {
        return false;
      }
    }
    return ::ReportEventW(source_, static_cast<WORD>(level), 0, id, nullptr,
                          static_cast<WORD>(strings.size()), 0,
                          strings.empty() ? nullptr : strings.data(), nullptr) != FALSE;
  }

 private:
  std::mutex mutex_;
  HANDLE source_ = nullptr;
};

class Win32MachinePolicyApi final : public MachinePolicyApi {
 public:
  Expected<std::optional<std::uint32_t>, WindowsErrorCode> software_sas_generation() override {
    DWORD value = 0;
    DWORD size = sizeof value;
    const LSTATUS status = ::RegGetValueW(
        HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
        L"SoftwareSASGeneration", RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
      return std::optional<std::uint32_t>();
    }
    if (status != ERROR_SUCCESS) {
      return Unexpected(static_cast<WindowsErrorCode>(status));
    }
    return std::optional<std::uint32_t>(value);
  }
};

}  // namespace

EventLogApi& event_log_api() {
  static Win32EventLogApi log;
  return log;
}

MachinePolicyApi& machine_policy_api() {
  static Win32MachinePolicyApi policy;
  return policy;
}

}  // namespace tarnu::platform::win32
