#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarnu::platform {

// The level of an event in the Application log (EVENTLOG_ERROR_TYPE, EVENTLOG_WARNING_TYPE,
// EVENTLOG_INFORMATION_TYPE).
enum class EventLevel : std::uint16_t {
  kError = 0x0001,
  kWarning = 0x0002,
  kInformation = 0x0004,
};

// The events the helper writes for administrators: the source TarnuInputService in the
// Application log, whose registration (by the package or install-service.cmd) names the
// executable as its message file.
class EventLogApi {
 public:
  virtual ~EventLogApi() = default;

  // ReportEventW(RegisterEventSourceW(nullptr, L"TarnuInputService"), level, category 0,
  // id, no user SID, inserts as UTF-16, no binary data). The source handle is registered at
  // the first report and kept for the life of the process. False when the event could not
  // be written (the source cannot be registered, the log refuses it): the caller has nobody
  // else to tell, and carries on.
  virtual bool report(EventLevel level, std::uint32_t id, std::span<const std::string> inserts) = 0;
};

// Where events go when nobody is to hear them: a worker run from a shell, a test.
class NoEventLog final : public EventLogApi {
 public:
  bool report(EventLevel, std::uint32_t, std::span<const std::string>) override { return false; }
};

// The process-wide instance; it has no state.
inline EventLogApi& no_event_log() {
  static NoEventLog none;
  return none;
}

}  // namespace tarnu::platform
