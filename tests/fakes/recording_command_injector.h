#pragma once

#include <string>

#include "fakes/event_journal.h"
#include "platform/status_outcome.h"
#include "protocol/input_command.h"
#include "windows_input/command_injector.h"

namespace tarnu::fakes {

// Records what the frame loop asks of injection, in the shared journal, and answers binds
// and connection-end releases with settable outcomes.
class RecordingCommandInjector final : public windows_input::CommandInjector {
 public:
  explicit RecordingCommandInjector(EventJournal& journal) : journal_(journal) {}

  StatusOutcome bind_outcome = StatusOutcome::Success("Default");
  StatusOutcome release_outcome = StatusOutcome::Success("Default");

  StatusOutcome bind_input_desktop() override;
  void inject_command(const protocol::InputCommand& command) override;
  StatusOutcome release_at_connection_end() override;

 private:
  EventJournal& journal_;
};

// "move 100 200", "button right down 10 20", "key 65 up", "release-all", ...
std::string describe(const protocol::InputCommand& command);

}  // namespace tarnu::fakes
