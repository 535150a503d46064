#include "windows_input/input_desktop_binding.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/text.h"

namespace tarnu::windows_input {
namespace {

constexpr std::size_t kNameBufferUnits = 256;

std::string desktop_name(platform::DesktopApi& desktops, platform::DesktopHandle desktop) {
  std::array<char16_t, kNameBufferUnits> buffer{};
  std::uint32_t needed = 0;
  if (!desktops.get_user_object_name(desktop, buffer, needed) || needed == 0) {
    return kUnknownDesktopName;
  }
  // A name that fills the whole buffer has no terminator and is taken as it is.
  const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
  return platform::utf16_to_utf8(
      std::u16string_view(buffer.data(), static_cast<std::size_t>(end - buffer.begin())));
}

}  // namespace

StatusOutcome InputDesktopBinding::bind_input_desktop() {
  platform::ScopedDesktop opened(desktops_,
                                 desktops_.open_input_desktop(0, false, kInputDesktopAccess));
  if (!opened) {
    return StatusOutcome::Failure("OpenInputDesktop failed");
  }
  std::string name = desktop_name(desktops_, opened.get());
  if (!desktops_.set_thread_desktop(opened.get())) {
    // `opened` closes the new handle; the thread stays on the desktop still held.
    return StatusOutcome::Failure("SetThreadDesktop failed for " + name);
  }
  // The thread has left the old desktop, so its handle can be closed now; CloseDesktop
  // refuses a handle that a thread of the process is using.
  desktop_ = std::move(opened);
  return StatusOutcome::Success(std::move(name));
}

}  // namespace tarnu::windows_input
