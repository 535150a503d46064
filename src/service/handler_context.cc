#include "service/handler_context.h"

#include "platform/service_control_api.h"
#include "platform/types.h"

namespace tarnu::service {
namespace {

using namespace tarnu::platform;

constexpr std::uint32_t kNoError = kErrorSuccess;
constexpr std::uint32_t kNotImplemented = kErrorCallNotImplemented;

bool is_session_change_reason(std::uint32_t event_type) {
  return event_type >= kWtsConsoleConnect && event_type <= kWtsSessionTerminate;
}

}  // namespace

std::uint32_t HandlerContext::handle(std::uint32_t control, std::uint32_t event_type) {
  if (control == kServiceControlInterrogate) {
    // The last status report stands; nothing to send.
    return kNoError;
  }
  if (!sender_) {
    // Released by an earlier stop: nothing can reach the supervisor any more.
    return kNotImplemented;
  }
  switch (control) {
    case kServiceControlStop:
      sender_->send(ServiceEvent::Stop);
      release();
      return kNoError;
    case kServiceControlSessionChange:
      if (!is_session_change_reason(event_type)) {
        return kNotImplemented;
      }
      sender_->send(ServiceEvent::SessionChanged);
      return kNoError;
    default:
      // Shutdown and pre-shutdown among them: the service does not accept them, so the
      // service control manager does not send them.
      return kNotImplemented;
  }
}

}  // namespace tarnu::service
