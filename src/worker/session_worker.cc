#include "worker/session_worker.h"

#include <utility>

#include "platform/text.h"
#include "platform/windows_error.h"
#include "worker/pipe_access.h"

namespace tarnu::worker {

std::string run_session_worker(const WorkerPlatform& platform, const InjectorFactory& make_injector,
                               CommandDecoder decoder) {
  const auto session = platform.sessions.current_process_session();
  if (!session) {
    return platform::windows_error_text("ProcessIdToSessionId", session.error());
  }
  const std::unique_ptr<windows_input::CommandInjector> injector = make_injector();
  PipeServer server(
      platform, *injector, std::move(decoder), *session,
      platform::utf8_to_utf16(process_user_sid_text(platform.sessions, platform.handles)));
  return server.run();
}

}  // namespace tarnu::worker
