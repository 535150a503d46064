#pragma once

#include <memory>

#include "service/event_queue.h"
#include "service/service_event.h"

namespace tarnu::service {

// One sending end of an event queue. Move-only; clone() makes another end. The queue counts
// its live ends so that the receiver can tell when the last one is gone.
class EventSender {
 public:
  explicit EventSender(std::shared_ptr<EventQueue> queue);
  EventSender(EventSender&& other) noexcept = default;
  EventSender& operator=(EventSender&& other) noexcept;
  EventSender(const EventSender&) = delete;
  EventSender& operator=(const EventSender&) = delete;
  ~EventSender();

  EventSender clone() const;

  // Never blocks; dropped without a word once the receiving end is gone.
  void send(ServiceEvent event) const;

  // Gives the end up now rather than at destruction.
  void reset();

 private:
  std::shared_ptr<EventQueue> queue_;
};

}  // namespace tarnu::service
