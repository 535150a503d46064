#pragma once

#include <functional>
#include <memory>
#include <string>

#include "windows_input/command_injector.h"
#include "worker/pipe_server.h"
#include "worker/worker_platform.h"

namespace tarnu::worker {

// Creates the injector and its state (binding, held keys, held buttons), empty.
using InjectorFactory = std::function<std::unique_ptr<windows_input::CommandInjector>()>;

// The worker role: finds the process's session, creates the injector once, and serves the
// session's pipe for ever. Returns only with the text of a fatal error, after releasing
// whatever a client left held; the injector is destroyed then (closing its desktop handle).
std::string run_session_worker(const WorkerPlatform& platform, const InjectorFactory& make_injector,
                               CommandDecoder decoder);

}  // namespace tarnu::worker
