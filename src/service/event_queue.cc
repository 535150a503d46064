#include "service/event_queue.h"

#include "service/event_receiver.h"
#include "service/event_sender.h"

namespace tarnu::service {

std::pair<EventSender, EventReceiver> make_event_queue() {
  auto queue = std::make_shared<EventQueue>();
  EventSender sender(queue);
  return {std::move(sender), EventReceiver(std::move(queue))};
}

}  // namespace tarnu::service
