// tarnu-bench-client: writes the benchmark's command mix to a worker's pipe as fast as the
// pipe takes it, and reports how many frames per second the server got through.
//
//   tarnu-bench-client.exe [--wait MS] FRAMES
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

constexpr char kUsage[] = "usage: tarnu-bench-client.exe [--wait MS] FRAMES";

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool wait_given = argc == 4 && std::wstring(argv[1]) == L"--wait";
  unsigned long long wait_milliseconds = 0;
  unsigned long long frames = 0;
  if (argc != (wait_given ? 4 : 2) || (wait_given && !parse_number(argv[2], wait_milliseconds)) ||
      !parse_number(argv[argc - 1], frames) || frames == 0) {
    return fail(kUsage);
  }

  std::vector<std::size_t> offsets;
  const std::vector<std::uint8_t> stream = mix_stream(frames, &offsets);

  tarnu::tools::PipeWriter pipe(tarnu::tools::worker_pipe_name(own_session()),
                                static_cast<DWORD>(wait_milliseconds));
  if (!pipe.valid()) {
    return fail("tarnu-bench-client: cannot open the pipe, Windows error " +
                std::to_string(pipe.error()));
  }
  const double start = now_seconds();
  for (std::size_t frame = 0; frame < frames; ++frame) {
    if (!pipe.write(stream.data() + offsets[frame], offsets[frame + 1] - offsets[frame])) {
      return fail("tarnu-bench-client: write of frame " + std::to_string(frame) +
                  " failed with Windows error " + std::to_string(pipe.error()));
    }
  }
  // Returns once the server has read everything written.
  pipe.flush();
  const double seconds = now_seconds() - start;
  print_rate("client", frames, seconds);
  return 0;
}
