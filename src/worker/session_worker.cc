#include "worker/session_worker.h"

#include <limits>
#include <utility>

#include "platform/text.h"
#include "platform/windows_error.h"
#include "worker/pipe_access.h"

namespace tarnu::worker {

Status run_session_worker(const WorkerPlatform& platform, const InjectorFactory& make_injector,
                          CommandDecoder decoder) {
  const auto session = platform.sessions.current_process_session();
  if (!session) {
    return Unexpected(platform::windows_error_text("ProcessIdToSessionId", session.error()));
  }
  const std::unique_ptr<windows_input::CommandInjector> injector = make_injector();
  PipeServer server(
      platform, *injector, std::move(decoder), *session,
      platform::utf8_to_utf16(process_user_sid_text(platform.sessions, platform.handles)));
  return server.run();
}

Result<platform::RawHandle> stop_event_argument(std::span<const std::u16string> arguments) {
  constexpr char16_t kOption[] = u"--stop-event";
  if (arguments.size() < 3 || arguments[2] != kOption) {
    return platform::RawHandle{0};
  }
  const std::string error = "expected a handle number after --stop-event";
  if (arguments.size() < 4 || arguments[3].empty() || arguments[3].size() > 20) {
    return Unexpected(error);
  }
  platform::RawHandle value = 0;
  constexpr platform::RawHandle kLargest = std::numeric_limits<platform::RawHandle>::max();
  for (const char16_t unit : arguments[3]) {
    if (unit < u'0' || unit > u'9') {
      return Unexpected(error);
    }
    const auto digit = static_cast<platform::RawHandle>(unit - u'0');
    if (value > (kLargest - digit) / 10) {
      return Unexpected(error);
    }
    value = value * 10 + digit;
  }
  if (value == 0) {
    return Unexpected(error);
  }
  return value;
}

}  // namespace tarnu::worker
