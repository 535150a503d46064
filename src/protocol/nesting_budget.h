#pragma once

namespace tarnu::protocol {

// Bounds how deeply arrays, maps and ext values nest in one payload, which also bounds the
// recursion that reads them. Entering a level spends one unit and leaving it gives the unit
// back, so sibling containers do not add up; a payload holds at most 1023 levels.
class NestingBudget {
 public:
  // False when the level cannot be entered; nothing is spent then.
  [[nodiscard]] bool enter() {
    if (remaining_ == 1) {
      return false;
    }
    --remaining_;
    return true;
  }
  void leave() { ++remaining_; }

 private:
  int remaining_ = 1024;
};

}  // namespace tarnu::protocol
