#include "windows_input/refusal_gate.h"

namespace tarnu::windows_input {

bool RefusalGate::let_through(std::chrono::nanoseconds now) {
  const std::lock_guard lock(mutex_);
  if (last_passed_ && now - *last_passed_ < kInterval) {
    return false;
  }
  last_passed_ = now;
  return true;
}

RefusalGate& RefusalGate::process_wide() {
  static RefusalGate gate;
  return gate;
}

}  // namespace tarnu::windows_input
