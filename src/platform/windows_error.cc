#include "platform/windows_error.h"

namespace tarnu::platform {

std::string windows_error_text(std::string_view operation, WindowsErrorCode code) {
  std::string text(operation);
  text += " failed with Windows error ";
  text += std::to_string(code);
  return text;
}

}  // namespace tarnu::platform
