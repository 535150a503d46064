#include "windows_input/refusal_warning.h"

#include "platform/logging.h"
#include "platform/text.h"

namespace tarnu::windows_input {

std::string input_refused_text(std::string_view what, platform::WindowsErrorCode code) {
  std::string text = "injected ";
  text += what;
  if (code == platform::kErrorAccessDenied) {
    // UIPI: a process cannot inject into windows of a higher integrity level.
    text +=
        " refused by Windows (ERROR_ACCESS_DENIED): an elevated or uiAccess window (e.g. Task "
        "Manager, a UAC-elevated app) has focus. A standard-user Tarnu cannot hook or inject "
        "into higher-privilege windows \xE2\x80\x94 restart Tarnu as administrator (Settings) on "
        "this machine to control them.";
  } else {
    text += " was refused: SendInput failed with error ";
    platform::append_decimal(text, code);
  }
  return text;
}

void RefusalWarning::warn_input_refused(std::string_view what, platform::WindowsErrorCode code) {
  // The gate's lock covers only its clock reading; the record is built and emitted outside.
  if (!gate_.let_through(clock_.now())) {
    return;
  }
  if (!platform::log_enabled(platform::LogLevel::kWarn)) {
    return;
  }
  platform::log(platform::LogLevel::kWarn, kWindowsInputLogTarget, input_refused_text(what, code));
}

}  // namespace tarnu::windows_input
