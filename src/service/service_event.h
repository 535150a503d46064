#pragma once

namespace tarnu::service {

// What the control handler tells the supervisor. A session change carries neither its
// reason nor its session: the supervisor asks the system which session has the console.
enum class ServiceEvent { Stop, SessionChanged };

// The outcome of a timed receive on the event queue.
enum class ReceiveOutcome {
  Stop,            // ServiceEvent::Stop
  SessionChanged,  // ServiceEvent::SessionChanged
  TimedOut,        // nothing arrived in time
  Disconnected,    // every sending end is gone and nothing is left to receive
};

}  // namespace tarnu::service
