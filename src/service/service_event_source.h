#pragma once

#include <chrono>

#include "service/service_event.h"

namespace tarnu::service {

// Where the supervisor waits for its next event. The event queue's receiving end is the real
// one; tests script the outcomes and keep their own clock.
class ServiceEventSource {
 public:
  virtual ~ServiceEventSource() = default;

  // The next event, or TimedOut once `timeout` has passed without one, or Disconnected.
  virtual ReceiveOutcome receive_for(std::chrono::milliseconds timeout) = 0;
};

}  // namespace tarnu::service
