#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

#include "service/service_event.h"

namespace tarnu::service {

class EventSender;
class EventReceiver;

// The queue between the control handler and the supervisor: unbounded, first in first out,
// any number of sending ends and one receiving end. Sending never blocks; what is sent after
// the receiving end is gone is dropped. Only the two ends touch it.
class EventQueue {
 public:
  EventQueue() = default;
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

 private:
  friend class EventSender;
  friend class EventReceiver;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ServiceEvent> events_;
  std::size_t senders_ = 0;
  bool receiver_alive_ = true;
};

// A new queue with one sending end and the receiving end; more sending ends are clones.
std::pair<EventSender, EventReceiver> make_event_queue();

}  // namespace tarnu::service
