#pragma once

#include <string>

namespace tarnu::worker {

// Worker mode: serves the session's input pipe for ever. Returns only with the text of a
// fatal error.
std::string run_worker();

}  // namespace tarnu::worker
