#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/event_log_api.h"

namespace tarnu::platform {

// The events of the source TarnuInputService in the Application log. Their IDs, levels and
// inserts are those of the message table compiled into the executable
// (src/main/tarnu-input-events.mc); administrators' alert rules and the self-check match
// the IDs, so an ID, once shipped, keeps its meaning.
inline constexpr std::uint32_t kEventServiceStarted = 1000;      // %1 version
inline constexpr std::uint32_t kEventServiceStopped = 1001;      // none
inline constexpr std::uint32_t kEventWorkerLaunchFailed = 1100;  // %1 step, %2 error, %3 count
inline constexpr std::uint32_t kEventPipeNameHeld = 1101;        // %1 pipe, %2 holder, %3 count
inline constexpr std::uint32_t kEventSasNotAllowedForServices = 1200;  // %1 value found
inline constexpr std::uint32_t kEventStatusFolderRefused = 1300;       // %1 folder, %2 why

struct EventDefinition {
  std::uint32_t id;
  EventLevel level;
  std::size_t inserts;
  const char* symbol;  // the message table's SymbolicName
};

inline constexpr EventDefinition kEventDefinitions[] = {
    {kEventServiceStarted, EventLevel::kInformation, 1, "MSG_SERVICE_STARTED"},
    {kEventServiceStopped, EventLevel::kInformation, 0, "MSG_SERVICE_STOPPED"},
    {kEventWorkerLaunchFailed, EventLevel::kError, 3, "MSG_WORKER_LAUNCH_FAILED"},
    {kEventPipeNameHeld, EventLevel::kError, 3, "MSG_PIPE_NAME_HELD"},
    {kEventSasNotAllowedForServices, EventLevel::kWarning, 1, "MSG_SAS_NOT_ALLOWED_FOR_SERVICES"},
    {kEventStatusFolderRefused, EventLevel::kWarning, 2, "MSG_STATUS_FOLDER_REFUSED"},
};

// Writes event `id` at the level its definition gives; false when the log did not take it.
inline bool write_event(EventLogApi& log, std::uint32_t id, std::span<const std::string> inserts) {
  for (const EventDefinition& definition : kEventDefinitions) {
    if (definition.id == id) {
      return log.report(definition.level, id, inserts);
    }
  }
  return false;
}

}  // namespace tarnu::platform
