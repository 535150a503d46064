#pragma once

#include <memory>

#include "platform/expected.h"
#include "platform/stop_signal_api.h"
#include "platform/types.h"

namespace tarnu::platform::win32 {

// Watches `stop_event` (an event handle the service passed down, which the watcher takes
// over) for the thread that calls this, the worker's main thread, on a thread of its own:
// WaitForMultipleObjects on the event and a private quit event, then, once the event is
// set, QueueUserAPC to end the main thread's alertable back-off pause (SleepEx) and
// CancelSynchronousIo on the main thread every 10 ms until acknowledge_stop(): a cancel
// only reaches a call in progress, and one can fall between two blocking calls. Fails with
// the error of the first call that does: WaitForSingleObject(stop_event, 0) (a value that
// is no handle of this process), DuplicateHandle of the main thread, CreateEventW,
// CreateThread. The event is closed on every path.
Expected<std::unique_ptr<StopSignalApi>, WindowsErrorCode> watch_stop_event(RawHandle stop_event);

}  // namespace tarnu::platform::win32
