#pragma once

#include <chrono>

namespace tarnu::platform {

// A clock that never goes backwards, for intervals (not wall time).
class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  // Time since an arbitrary fixed point.
  virtual std::chrono::nanoseconds now() = 0;
};

// The process-wide clock over std::chrono::steady_clock (QueryPerformanceCounter on
// Windows).
MonotonicClock& steady_monotonic_clock();

}  // namespace tarnu::platform
