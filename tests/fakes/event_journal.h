#pragma once

#include <string>
#include <vector>

namespace tarnu::fakes {

// One ordered record of what several fakes were asked to do, for tests that check the order
// of calls across platform areas (status writes against injections, say).
class EventJournal {
 public:
  void record(std::string event) { events_.push_back(std::move(event)); }
  const std::vector<std::string>& events() const { return events_; }
  void clear() { events_.clear(); }

 private:
  std::vector<std::string> events_;
};

}  // namespace tarnu::fakes
