#pragma once

#include <cstdint>
#include <optional>

#include "service/event_sender.h"

namespace tarnu::service {

// What the registered control handler owns: one sending end of the event queue. The end is
// given up after a stop control, but the context itself stays
// until the dispatcher has returned, because the dispatcher may still deliver controls with
// its address.
class HandlerContext {
 public:
  explicit HandlerContext(EventSender sender) : sender_(std::move(sender)) {}
  HandlerContext(const HandlerContext&) = delete;
  HandlerContext& operator=(const HandlerContext&) = delete;

  // Answers one control: NO_ERROR or ERROR_CALL_NOT_IMPLEMENTED. Runs on the dispatcher
  // thread and never waits.
  std::uint32_t handle(std::uint32_t control, std::uint32_t event_type);

  // Gives the sending end up; later controls are answered without it.
  void release() { sender_.reset(); }
  bool is_released() const { return !sender_.has_value(); }

 private:
  std::optional<EventSender> sender_;
};

}  // namespace tarnu::service
