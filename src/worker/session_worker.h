#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/expected.h"
#include "platform/types.h"
#include "windows_input/command_injector.h"
#include "worker/pipe_server.h"
#include "worker/worker_platform.h"

namespace tarnu::worker {

// Creates the injector and its state (binding, held keys, held buttons), empty.
using InjectorFactory = std::function<std::unique_ptr<windows_input::CommandInjector>()>;

// The worker role: finds the process's session, creates the injector once, and serves the
// session's pipe until the service asks it to stop (success). Otherwise returns only with
// the text of a fatal error. Either way what a client left held is released first; the
// injector is destroyed then (closing its desktop handle).
Status run_session_worker(const WorkerPlatform& platform, const InjectorFactory& make_injector,
                          CommandDecoder decoder);

// The handle value of the stop event the service passed as "--stop-event <decimal>" right
// after "--worker" (arguments as the command line splits: the program, "--worker", ...); 0
// when the option is not there (a worker started from a shell). Anything but 1 to 20 digits
// of a nonzero value that fits a handle after the option is an error.
Result<platform::RawHandle> stop_event_argument(std::span<const std::u16string> arguments);

}  // namespace tarnu::worker
