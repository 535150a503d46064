#include "worker/run_worker.h"

#include "platform/win32/win32_file_system_api.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_pipe_api.h"
#include "platform/win32/win32_session_api.h"
#include "protocol/decode_input_command.h"
#include "windows_input/command_injector.h"
#include "worker/session_worker.h"

namespace tarnu::worker {

std::string run_worker() {
  namespace win32 = platform::win32;
  const WorkerPlatform platform{win32::handle_api(), win32::session_api(), win32::pipe_api(),
                                win32::file_system_api()};
  return run_session_worker(platform, &windows_input::make_win32_command_injector,
                            &protocol::decode_input_command);
}

}  // namespace tarnu::worker
