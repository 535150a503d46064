#include "service/event_sender.h"

#include <cassert>

namespace tarnu::service {

EventSender::EventSender(std::shared_ptr<EventQueue> queue) : queue_(std::move(queue)) {
  assert(queue_);
  std::lock_guard lock(queue_->mutex_);
  ++queue_->senders_;
}

EventSender& EventSender::operator=(EventSender&& other) noexcept {
  if (this != &other) {
    reset();
    queue_ = std::move(other.queue_);
  }
  return *this;
}

EventSender::~EventSender() { reset(); }

EventSender EventSender::clone() const { return EventSender(queue_); }

void EventSender::send(ServiceEvent event) const {
  if (!queue_) {
    return;
  }
  {
    std::lock_guard lock(queue_->mutex_);
    if (!queue_->receiver_alive_) {
      return;
    }
    queue_->events_.push_back(event);
  }
  queue_->changed_.notify_one();
}

void EventSender::reset() {
  if (!queue_) {
    return;
  }
  {
    std::lock_guard lock(queue_->mutex_);
    --queue_->senders_;
  }
  // The receiver may be waiting for the last sender to go.
  queue_->changed_.notify_one();
  queue_.reset();
}

}  // namespace tarnu::service
