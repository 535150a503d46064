#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace tarnu::platform {

// "<operation> failed with Windows error <code>", the code in unsigned decimal.
std::string windows_error_text(std::string_view operation, WindowsErrorCode code);

// "<message> (Windows error <code>)" for the system's own message of the code, or
// "Windows error <code>" when the system has none: the two forms of a Windows error's text.
std::string windows_error_with_message(std::string_view message, WindowsErrorCode code);

// A failed platform call whose own text does not show the code: the service dispatcher
// start reports only "IO error in winapi call", while the code stays available to callers.
struct WinapiError {
  WindowsErrorCode code = 0;
  std::string text() const { return "IO error in winapi call"; }
};

}  // namespace tarnu::platform
