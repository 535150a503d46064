#pragma once

#include "platform/file_system_api.h"
#include "platform/handle_api.h"
#include "platform/pipe_api.h"
#include "platform/session_api.h"
#include "platform/stop_signal_api.h"

namespace tarnu::worker {

// The platform areas the worker uses, lent to it for its whole life. A worker given no stop
// signal (started from a shell, a benchmark) is never asked to stop.
struct WorkerPlatform {
  platform::HandleApi& handles;
  platform::SessionApi& sessions;
  platform::PipeApi& pipes;
  platform::FileSystemApi& files;
  platform::StopSignalApi& stop = platform::no_stop_signal();
};

}  // namespace tarnu::worker
