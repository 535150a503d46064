#pragma once

#include "platform/event_log_api.h"
#include "platform/file_system_api.h"
#include "platform/handle_api.h"
#include "platform/pipe_api.h"
#include "platform/session_api.h"
#include "platform/stop_signal_api.h"

namespace tarnu::worker {

// The platform areas the worker uses, lent to it for its whole life. A worker given no stop
// signal (started from a shell, a benchmark) is never asked to stop; one given no event log
// tells nobody of a refused status folder.
struct WorkerPlatform {
  platform::HandleApi& handles;
  platform::SessionApi& sessions;
  platform::PipeApi& pipes;
  platform::FileSystemApi& files;
  platform::StopSignalApi& stop = platform::no_stop_signal();
  platform::EventLogApi& events = platform::no_event_log();
};

}  // namespace tarnu::worker
