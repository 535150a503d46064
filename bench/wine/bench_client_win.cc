// tarnu-bench-client: writes the benchmark's command mix to a worker's pipe as fast as the
// pipe takes it, and reports how many frames per second the server got through.
//
//   tarnu-bench-client.exe [--wait MS] [--server-user SID] FRAMES
//
// The server must run as SID (default S-1-5-18, LocalSystem) in this program's session.
//
// Each frame is one WriteFile, as a client writes a command. A write completes once the
// pipe's buffer has room, so the server, not the client, sets the pace. The clock runs from
// the first write until FlushFileBuffers returns, which is when the server has read the
// last frame.

#include <windows.h>

#include <string>
#include <vector>

#include "bench_common_win.h"
#include "common/pipe_client_win.h"
#include "mix/command_mix.h"

namespace {

using namespace tarnu::bench;

constexpr char kUsage[] = "usage: tarnu-bench-client.exe [--wait MS] [--server-user SID] FRAMES";

}  // namespace

int wmain(int argc, wchar_t** argv) {
  unsigned long long wait_milliseconds = 0;
  std::string server_user = TARNU_INPUT_LOCAL_SYSTEM_SID;
  int at = 1;
  for (; at + 2 < argc && argv[at][0] == L'-'; at += 2) {
    const std::wstring option = argv[at];
    if (option == L"--wait" && parse_number(argv[at + 1], wait_milliseconds)) {
      continue;
    }
    if (option != L"--server-user") {
      return fail(kUsage);
    }
    const std::wstring sid = argv[at + 1];
    server_user.assign(sid.begin(), sid.end());  // a SID is ASCII
  }
  unsigned long long frames = 0;
  if (at != argc - 1 || !parse_number(argv[at], frames) || frames == 0) {
    return fail(kUsage);
  }

  std::vector<std::size_t> offsets;
  const std::vector<std::uint8_t> stream = mix_stream(frames, &offsets);

  tarnu::tools::PipeWriter pipe(TARNU_INPUT_OWN_SESSION, static_cast<DWORD>(wait_milliseconds),
                                server_user.c_str());
  if (!pipe.valid()) {
    return fail(std::string("tarnu-bench-client: ") + pipe.error().message);
  }
  const double start = now_seconds();
  for (std::size_t frame = 0; frame < frames; ++frame) {
    if (!pipe.write(stream.data() + offsets[frame], offsets[frame + 1] - offsets[frame])) {
      return fail("tarnu-bench-client: frame " + std::to_string(frame) + ": " +
                  pipe.error().message);
    }
  }
  // Returns once the server has read everything written.
  pipe.flush();
  const double seconds = now_seconds() - start;
  print_rate("client", frames, seconds);
  return 0;
}
