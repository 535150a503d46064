#include "platform/monotonic_clock.h"

namespace tarnu::platform {
namespace {

class SteadyMonotonicClock final : public MonotonicClock {
 public:
  std::chrono::nanoseconds now() override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
  }
};

}  // namespace

MonotonicClock& steady_monotonic_clock() {
  static SteadyMonotonicClock clock;
  return clock;
}

}  // namespace tarnu::platform
