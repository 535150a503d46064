#pragma once

#include "platform/file_system_api.h"
#include "platform/handle_api.h"
#include "platform/pipe_api.h"
#include "platform/session_api.h"

namespace tarnu::worker {

// The platform areas the worker uses, lent to it for its whole life.
struct WorkerPlatform {
  platform::HandleApi& handles;
  platform::SessionApi& sessions;
  platform::PipeApi& pipes;
  platform::FileSystemApi& files;
};

}  // namespace tarnu::worker
