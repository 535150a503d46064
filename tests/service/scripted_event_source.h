#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <vector>

#include "service/service_event_source.h"

namespace tarnu::service {

// A queue whose outcomes a test writes in advance, with a clock of its own: a time-out moves
// the clock by the whole wait, an event arrives at once. Each step may first change the
// world (end a process, move the console) as if that happened during the wait. When the
// script runs out it answers Stop, so a faulty loop still ends.
class ScriptedEventSource final : public ServiceEventSource {
 public:
  struct Step {
    ReceiveOutcome outcome;
    std::function<void()> during_wait;
  };

  explicit ScriptedEventSource(std::vector<Step> steps) : steps_(steps.begin(), steps.end()) {}

  ReceiveOutcome receive_for(std::chrono::milliseconds timeout) override {
    timeouts_.push_back(timeout);
    if (steps_.empty()) {
      overrun_ = true;
      return ReceiveOutcome::Stop;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    if (step.during_wait) {
      step.during_wait();
    }
    if (step.outcome == ReceiveOutcome::TimedOut) {
      now_ += timeout;
    }
    return step.outcome;
  }

  const std::vector<std::chrono::milliseconds>& timeouts() const { return timeouts_; }
  std::chrono::milliseconds now() const { return now_; }
  bool overrun() const { return overrun_; }
  bool finished() const { return steps_.empty(); }

 private:
  std::deque<Step> steps_;
  std::vector<std::chrono::milliseconds> timeouts_;
  std::chrono::milliseconds now_{0};
  bool overrun_ = false;
};

}  // namespace tarnu::service
