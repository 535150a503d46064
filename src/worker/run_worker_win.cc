#include "worker/run_worker.h"

#include <memory>

#include "platform/win32/win32_event_log_api.h"
#include "platform/win32/win32_file_system_api.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_pipe_api.h"
#include "platform/win32/win32_session_api.h"
#include "platform/win32/win32_stop_signal_api.h"
#include "platform/windows_error.h"
#include "protocol/decode_input_command.h"
#include "windows_input/command_injector.h"
#include "worker/session_worker.h"

namespace tarnu::worker {

Status run_worker(std::span<const std::u16string> arguments) {
  namespace win32 = platform::win32;
  const Result<platform::RawHandle> stop_event = stop_event_argument(arguments);
  if (!stop_event) {
    return Unexpected(stop_event.error());
  }
  // Started before the pipe exists, so that a stop that comes early is not missed.
  std::unique_ptr<platform::StopSignalApi> watcher;
  if (*stop_event != 0) {
    auto watching = win32::watch_stop_event(*stop_event);
    if (!watching) {
      return Unexpected(platform::windows_error_text("watch stop event", watching.error()));
    }
    watcher = std::move(*watching);
  }
  const WorkerPlatform platform{win32::handle_api(),
                                win32::session_api(),
                                win32::pipe_api(),
                                win32::file_system_api(),
                                watcher ? *watcher : platform::no_stop_signal(),
                                win32::event_log_api()};
  return run_session_worker(platform, &windows_input::make_win32_command_injector,
                            &protocol::decode_input_command);
}

}  // namespace tarnu::worker
