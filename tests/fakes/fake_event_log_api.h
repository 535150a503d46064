#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/event_log_api.h"
#include "platform/machine_policy_api.h"

namespace tarnu::fakes {

// An Application log that keeps what it is given.
class FakeEventLogApi final : public platform::EventLogApi {
 public:
  struct Event {
    platform::EventLevel level;
    std::uint32_t id;
    std::vector<std::string> inserts;
  };

  bool report(platform::EventLevel level, std::uint32_t id,
              std::span<const std::string> inserts) override {
    events.push_back({level, id, {inserts.begin(), inserts.end()}});
    return true;
  }

  std::vector<std::uint32_t> ids() const {
    std::vector<std::uint32_t> found;
    for (const Event& event : events) {
      found.push_back(event.id);
    }
    return found;
  }

  std::vector<Event> events;
};

// The SoftwareSASGeneration value: 1 (services may raise Ctrl+Alt+Del) unless a test says
// otherwise.
class FakeMachinePolicyApi final : public platform::MachinePolicyApi {
 public:
  Expected<std::optional<std::uint32_t>, platform::WindowsErrorCode> value =
      std::optional<std::uint32_t>(1);

  Expected<std::optional<std::uint32_t>, platform::WindowsErrorCode> software_sas_generation()
      override {
    return value;
  }
};

}  // namespace tarnu::fakes
