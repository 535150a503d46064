#pragma once

#include <string>

#include "fakes/event_journal.h"
#include "protocol/input_command.h"
#include "windows_input/command_injector.h"
#include "windows_input/status_outcome.h"

namespace tarnu::fakes {

// "move 100 200", "button right down 10 20", "key 65 up", "release-all", ...
std::string describe(const protocol::InputCommand& command);

// Records what the frame loop asks of injection, in the shared journal, and answers binds
// and connection-end releases with settable outcomes.
class RecordingCommandInjector final : public windows_input::CommandInjector {
 public:
  explicit RecordingCommandInjector(EventJournal& journal) : journal_(journal) {}

  windows_input::StatusOutcome bind_outcome = windows_input::StatusOutcome::Success("Default");
  windows_input::StatusOutcome release_outcome = windows_input::StatusOutcome::Success("Default");

  windows_input::StatusOutcome bind_input_desktop() override {
    journal_.record("bind");
    return bind_outcome;
  }
  void inject_command(const protocol::InputCommand& command) override {
    journal_.record("inject " + describe(command));
  }
  windows_input::StatusOutcome release_at_connection_end() override {
    journal_.record("release at connection end");
    return release_outcome;
  }

 private:
  EventJournal& journal_;
};

}  // namespace tarnu::fakes
