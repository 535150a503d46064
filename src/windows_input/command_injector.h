#pragma once

#include <memory>

#include "protocol/input_command.h"
#include "windows_input/status_outcome.h"

namespace tarnu::windows_input {

// What the worker's frame loop asks of input injection. The implementation owns the
// injector state (input-desktop binding, held keys, held buttons) for the worker's whole
// life, and every call must come from the one thread that binds and injects.
class CommandInjector {
 public:
  virtual ~CommandInjector() = default;

  // Attaches the calling thread to the desktop that currently receives input: success with
  // the desktop's name, or failure with the binding's text.
  virtual StatusOutcome bind_input_desktop() = 0;

  // Carries out one decoded command: ReleaseAll releases everything held, any other command
  // updates the held input and is injected. Failures stay inside injection.
  virtual void inject_command(const protocol::InputCommand& command) = 0;

  // At the end of a client connection: binds afresh and, if that succeeds, releases
  // everything held. The outcome is the binding's.
  virtual StatusOutcome release_at_connection_end() = 0;
};

#ifdef _WIN32
// The injector over the real Win32 input APIs.
std::unique_ptr<CommandInjector> make_win32_command_injector();
#endif

}  // namespace tarnu::windows_input
