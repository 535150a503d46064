#pragma once

#include <chrono>
#include <memory>

#include "service/event_queue.h"
#include "service/service_event_source.h"

namespace tarnu::service {

// The one receiving end of an event queue. Move-only.
class EventReceiver final : public ServiceEventSource {
 public:
  explicit EventReceiver(std::shared_ptr<EventQueue> queue);
  EventReceiver(EventReceiver&& other) noexcept = default;
  EventReceiver& operator=(EventReceiver&& other) noexcept;
  EventReceiver(const EventReceiver&) = delete;
  EventReceiver& operator=(const EventReceiver&) = delete;
  ~EventReceiver() override;

  // The oldest event; else Disconnected when no sending end is left; else waits up to
  // `timeout` (steady clock) for either and reports TimedOut.
  ReceiveOutcome receive_for(std::chrono::milliseconds timeout) override;

  // Gives the end up now; later sends are dropped.
  void reset();

 private:
  std::shared_ptr<EventQueue> queue_;
};

}  // namespace tarnu::service
