#pragma once

#include <string>
#include <string_view>

#include "platform/monotonic_clock.h"
#include "platform/types.h"
#include "windows_input/refusal_gate.h"

namespace tarnu::windows_input {

// The log target of input injection.
inline constexpr std::string_view kWindowsInputLogTarget = "tarnu_lib::windows_input";

// The text of the warning about refused input; `what` is "mouse button" or "key".
std::string input_refused_text(std::string_view what, platform::WindowsErrorCode code);

// Emits a warning when SendInput rejects a button or key event, at most one per
// RefusalGate::kInterval for the whole process.
class RefusalWarning {
 public:
  RefusalWarning(RefusalGate& gate, platform::MonotonicClock& clock) : gate_(gate), clock_(clock) {}

  void warn_input_refused(std::string_view what, platform::WindowsErrorCode code);

 private:
  RefusalGate& gate_;
  platform::MonotonicClock& clock_;
};

}  // namespace tarnu::windows_input
