#pragma once

namespace tarnu::platform {

// The service's request that the worker release what it holds and end, as the worker's main
// thread sees it. The service hands each worker an event that only the service can set; a
// watcher waits for it on a thread of its own, raises the request and interrupts whatever
// blocking call the main thread is in, again and again, until the main thread acknowledges.
class StopSignalApi {
 public:
  virtual ~StopSignalApi() = default;

  // True once the service has set the worker's stop event. An atomic load: cheap enough to
  // ask between any two calls.
  virtual bool stop_requested() = 0;

  // The main thread has seen the request: from now on none of its calls is interrupted, so
  // that the release and the status write that follow run to their end.
  virtual void acknowledge_stop() = 0;
};

// A worker that no service started (from a shell, or without a stop event): no stop ever
// comes.
class NoStopSignal final : public StopSignalApi {
 public:
  bool stop_requested() override { return false; }
  void acknowledge_stop() override {}
};

// The process-wide instance; it has no state.
inline StopSignalApi& no_stop_signal() {
  static NoStopSignal none;
  return none;
}

}  // namespace tarnu::platform
