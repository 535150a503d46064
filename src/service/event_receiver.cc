#include "service/event_receiver.h"

#include <cassert>

namespace tarnu::service {

EventReceiver::EventReceiver(std::shared_ptr<EventQueue> queue) : queue_(std::move(queue)) {
  assert(queue_);
}

EventReceiver& EventReceiver::operator=(EventReceiver&& other) noexcept {
  if (this != &other) {
    reset();
    queue_ = std::move(other.queue_);
  }
  return *this;
}

EventReceiver::~EventReceiver() { reset(); }

ReceiveOutcome EventReceiver::receive_for(std::chrono::milliseconds timeout) {
  if (!queue_) {
    return ReceiveOutcome::Disconnected;
  }
  std::unique_lock lock(queue_->mutex_);
  queue_->changed_.wait_for(lock, timeout,
                            [&] { return !queue_->events_.empty() || queue_->senders_ == 0; });
  if (!queue_->events_.empty()) {
    const ServiceEvent event = queue_->events_.front();
    queue_->events_.pop_front();
    return event == ServiceEvent::Stop ? ReceiveOutcome::Stop : ReceiveOutcome::SessionChanged;
  }
  return queue_->senders_ == 0 ? ReceiveOutcome::Disconnected : ReceiveOutcome::TimedOut;
}

void EventReceiver::reset() {
  if (!queue_) {
    return;
  }
  {
    std::lock_guard lock(queue_->mutex_);
    queue_->receiver_alive_ = false;
    // What was queued can no longer be received.
    queue_->events_.clear();
  }
  queue_.reset();
}

}  // namespace tarnu::service
