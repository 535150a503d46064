#include "platform/windows_error.h"

#include "platform/text.h"

namespace tarnu::platform {

std::string windows_error_text(std::string_view operation, WindowsErrorCode code) {
  std::string text(operation);
  text += " failed with Windows error ";
  append_decimal(text, code);
  return text;
}

std::string windows_error_with_message(std::string_view message, WindowsErrorCode code) {
  std::string text(message);
  text += text.empty() ? "Windows error " : " (Windows error ";
  append_decimal(text, code);
  if (!message.empty()) {
    text += ')';
  }
  return text;
}

}  // namespace tarnu::platform
