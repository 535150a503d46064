#pragma once

#include <span>
#include <string>

#include "platform/expected.h"

namespace tarnu::worker {

// Worker mode: serves the session's input pipe until the service that started it (with
// "--stop-event <handle>" after "--worker" in `arguments`) asks it to stop, which is success.
// Otherwise returns only with the text of a fatal error.
Status run_worker(std::span<const std::u16string> arguments);

}  // namespace tarnu::worker
