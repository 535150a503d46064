#pragma once

#include <chrono>

#include "platform/monotonic_clock.h"

namespace tarnu::fakes {

// A clock that moves only when told.
class FakeMonotonicClock final : public platform::MonotonicClock {
 public:
  std::chrono::nanoseconds time{0};

  std::chrono::nanoseconds now() override { return time; }
};

}  // namespace tarnu::fakes
