#include "common/pipe_client_win.h"

#include "client/server_check.h"

namespace tarnu::tools {

std::wstring worker_pipe_name(DWORD session) {
  const std::string name = client::worker_pipe_name(session);
  return std::wstring(name.begin(), name.end());  // ASCII
}

}  // namespace tarnu::tools
