// The soak, and the hostile clients of the worker's pipe that tarnu-input-send cannot play
// and a hostile server of its name, for the Wine tests:
//
//   tarnu-soak-client.exe [--server-user SID] soak SESSION EXE CYCLES FRAMES EVERY
//                         [PLAN_KEY [FIRST [LAST]]]
//       plays cycles FIRST to LAST - 1 (default: all) of the soak plan of CYCLES connections
//       and FRAMES frames against the worker of SESSION, whose executable is named EXE and
//       which must run as SID (default S-1-5-18, LocalSystem).
//       At cycle FIRST, at every multiple of EVERY and at the plan's end, once the worker
//       listens again, prints "soak-sample cycle=C handles=H private=P" (the worker's
//       entries in the system handle table and its private bytes); at the end prints
//       "soak: cycles=... frames=... invalid=... injected=... endings=... seconds=...
//       worker=running|exited". Exit status 0 when every cycle was written and the worker
//       still runs.
//   tarnu-soak-client.exe floor CONTROL CYCLES FRAMES EVERY [PLAN_KEY]
//       reads lines "FIRST LAST" from the file CONTROL as it grows (it waits at the end for
//       more, until a line "end"), and for each makes, in this process,
//       the injector calls the worker makes for those cycles (bind and inject per command,
//       the end-of-connection release per cycle) with no pipe, decoding or status file;
//       prints "floor-sample cycle=C grown=G" at the soak's sampling points, G being how
//       much its private memory has grown since it started, then "floor-done LAST". One
//       process serves a whole soak, as one worker does.
//   tarnu-soak-client.exe squat PIPE STOP_FILE     tries to create a pipe of the worker's name
//                                                 in a tight loop until STOP_FILE exists;
//                                                 prints "squat: tries=T created=C", exit
//                                                 status 1 when it ever got the name
//   tarnu-soak-client.exe privileges PID           prints "privileges: NAME..." for the
//                                                 process PID's token
//   tarnu-soak-client.exe impostor PIPE           creates a pipe of the worker's name first,
//                                                 prints "impostor: listening", reads what
//                                                 its first client writes until it leaves,
//                                                 and prints "impostor: received N bytes"
//
// A failure goes to standard error with exit status 1.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/pipe_client_win.h"
#include "soak_plan.h"
#include "support/process_probe_win.h"
#include "windows_input/command_injector.h"

namespace {

using tarnu::protocol::InputCommand;
using tarnu::soak::Cycle;
using tarnu::soak::SoakPlan;

// Inside the test window the Wine tests open at (100, 100), 640 x 480.
constexpr SoakPlan::Area kArea{120, 120, 720, 560};
constexpr std::uint64_t kDefaultSeed = 20261208;

// Waits up to 10 s for the worker's next instance.
constexpr DWORD kOpenWaitMilliseconds = 10000;

// Waits (up to 10 s) until the worker offers a new instance, that is until it is idle
// between connections.
bool wait_listening(const std::wstring& name) {
  const ULONGLONG deadline = ::GetTickCount64() + 10000;
  while (::GetTickCount64() < deadline) {
    if (::WaitNamedPipeW(name.c_str(), 100)) {
      return true;
    }
    ::Sleep(1);
  }
  return false;
}

int failed(const char* what) {
  std::fprintf(stderr, "tarnu-soak-client: %s (Windows error %lu)\n", what, ::GetLastError());
  return 1;
}

// The names of Ending's values, in their order.
constexpr const char* kEndingNames[] = {"close", "zero-length", "huge-length", "mid-length",
                                        "mid-payload"};

bool sample_due(std::size_t done, std::size_t every, std::size_t cycles) {
  return done == 0 || done % every == 0 || done == cycles;
}

// The part of a plan one run plays.
struct Range {
  std::size_t first, last;
};

int soak(std::uint32_t session, const char* server_user, const std::wstring& exe,
         std::size_t cycles, std::size_t frames, std::size_t every, std::uint64_t plan_key,
         Range range) {
  const std::wstring pipe_name = tarnu::tools::worker_pipe_name(session);
  const tarnu::support::ProcessProbe worker(exe);
  if (!worker.valid()) {
    return failed("no single running worker to watch");
  }
  const SoakPlan plan(plan_key, cycles, frames, kArea);
  std::size_t sent_frames = 0, invalid = 0, injected = 0, done = range.first;
  std::size_t endings[std::size(kEndingNames)] = {};
  const auto start = std::chrono::steady_clock::now();
  bool worker_gone = false;
  for (;; ++done) {
    if (done == range.first || sample_due(done, every, plan.cycles())) {
      if (!wait_listening(pipe_name)) {
        worker_gone = worker.exited();
        std::fprintf(stderr, "tarnu-soak-client: the worker stopped listening after %zu cycles\n",
                     done);
        break;
      }
      std::printf("soak-sample cycle=%zu handles=%ld private=%zu\n", done, worker.handle_count(),
                  worker.private_bytes());
      std::fflush(stdout);
    }
    if (done == range.last) {
      break;
    }
    const Cycle cycle = plan.cycle(done);
    tarnu::tools::PipeWriter pipe(session, kOpenWaitMilliseconds, server_user);
    if (!pipe.valid()) {
      std::fprintf(stderr, "tarnu-soak-client: cycle %zu: %s\n", done, pipe.error().message);
      break;
    }
    std::size_t offset = 0;
    bool written = true;
    for (const std::size_t size : cycle.writes) {
      written = written && pipe.write(cycle.stream.data() + offset, size);
      offset += size;
    }
    // Returns once the worker has read everything written, so that nothing is lost to the
    // close.
    pipe.flush();
    if (!written) {
      std::fprintf(stderr, "tarnu-soak-client: cycle %zu: %s\n", done, pipe.error().message);
      break;
    }
    sent_frames += cycle.frames;
    invalid += cycle.invalid_frames;
    injected += cycle.injected.size();
    ++endings[static_cast<int>(cycle.ending)];
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  worker_gone = worker_gone || worker.exited();
  std::printf("soak: cycles=%zu frames=%zu invalid=%zu injected=%zu endings=", done - range.first,
              sent_frames, invalid, injected);
  for (std::size_t i = 0; i < std::size(kEndingNames); ++i) {
    std::printf("%s%s:%zu", i ? "," : "", kEndingNames[i], endings[i]);
  }
  std::printf(" seconds=%.1f worker=%s\n", seconds, worker_gone ? "exited" : "running");
  return done == range.last && !worker_gone ? 0 : 1;
}

// The next whole line of a file that another program appends lines to, waiting for it as
// long as it takes.
std::string next_line(std::ifstream& file) {
  std::string line;
  for (std::string part;; ::Sleep(50)) {
    std::getline(file, part);
    line += part;
    if (!file.eof()) {
      return line;
    }
    // At the end for now, maybe inside a line. The C runtime remembers an end of file until
    // the next seek, so a seek to where it is lets the next read see what was appended.
    file.clear();
    file.seekg(0, std::ios::cur);
  }
}

int floor_run(const std::wstring& control_path, std::size_t cycles, std::size_t frames,
              std::size_t every, std::uint64_t plan_key) {
  std::ifstream control(control_path.c_str(), std::ios::binary);
  if (!control) {
    return failed("cannot open the floor's control file");
  }
  const auto injector = tarnu::windows_input::make_win32_command_injector();
  const SoakPlan plan(plan_key, cycles, frames, kArea);
  const long long start = static_cast<long long>(tarnu::support::own_private_bytes());
  for (;;) {
    const std::string line = next_line(control);
    if (line.rfind("end", 0) == 0) {
      return 0;
    }
    unsigned long long first = 0, last = 0;
    if (std::sscanf(line.c_str(), "%llu %llu", &first, &last) != 2 || first > last ||
        last > plan.cycles()) {
      std::fprintf(stderr, "tarnu-soak-client: floor: bad range \"%s\"\n", line.c_str());
      return 1;
    }
    for (std::size_t done = first;; ++done) {
      if (done == first || sample_due(done, every, plan.cycles())) {
        std::printf("floor-sample cycle=%zu grown=%lld\n", done,
                    static_cast<long long>(tarnu::support::own_private_bytes()) - start);
      }
      if (done == last) {
        break;
      }
      for (const InputCommand& command : plan.cycle(done).injected) {
        injector->bind_input_desktop();
        injector->inject_command(command);
      }
      injector->release_at_connection_end();
    }
    std::printf("floor-done %llu\n", last);
    std::fflush(stdout);
  }
}

// What another user's process can try at any moment: take the worker's machine-wide name
// with an instance of its own, to wait for the session's client in the worker's place.
int squat(const std::wstring& pipe_name, const std::wstring& stop_file) {
  long tries = 0;
  long created = 0;
  while (::GetFileAttributesW(stop_file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    HANDLE pipe =
        ::CreateNamedPipeW(pipe_name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ++tries;
    if (pipe != INVALID_HANDLE_VALUE) {
      ++created;
      ::CloseHandle(pipe);
    }
  }
  std::printf("squat: tries=%ld created=%ld\n", tries, created);
  return created == 0 ? 0 : 1;
}

// The privileges of another process's token on one line, in the system's order: the worker's
// are fewer than those of the service that started it.
int privileges(DWORD process_id) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  HANDLE token = nullptr;
  const bool opened = process != nullptr && ::OpenProcessToken(process, TOKEN_QUERY, &token);
  DWORD size = 0;
  std::vector<unsigned char> buffer;
  if (opened) {
    ::GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    buffer.resize(size);
  }
  const bool read =
      size > 0 && ::GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size);
  const DWORD error = ::GetLastError();
  for (HANDLE handle : {token, process}) {
    if (handle != nullptr) {
      ::CloseHandle(handle);
    }
  }
  if (!read) {
    std::fprintf(stderr, "cannot read the token of process %lu: error %lu\n", process_id, error);
    return 1;
  }
  const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  std::printf("privileges:");
  for (DWORD i = 0; i < held->PrivilegeCount; ++i) {
    LUID luid = held->Privileges[i].Luid;
    wchar_t name[128];
    DWORD length = 128;
    std::printf(" %ls", ::LookupPrivilegeNameW(nullptr, &luid, name, &length) ? name : L"?");
  }
  std::printf("\n");
  return 0;
}

// What any process can do while no worker holds the name: serve it itself and read what the
// session's next client writes.
int impostor(const std::wstring& pipe_name) {
  HANDLE pipe =
      ::CreateNamedPipeW(pipe_name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) {
    return failed("impostor: cannot create the pipe");
  }
  std::printf("impostor: listening\n");
  std::fflush(stdout);
  // A client that came first is still there (535) or has already left (232).
  unsigned long long received = 0;
  if (::ConnectNamedPipe(pipe, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED ||
      ::GetLastError() == ERROR_NO_DATA) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      received += got;
    }
  }
  ::CloseHandle(pipe);
  std::printf("impostor: received %llu bytes\n", received);
  return 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: tarnu-soak-client [--server-user SID] soak SESSION EXE CYCLES FRAMES EVERY "
               "[PLAN_KEY [FIRST [LAST]]] | floor CONTROL CYCLES FRAMES EVERY [PLAN_KEY] | "
               "squat PIPE STOP_FILE | impostor PIPE | privileges PID\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The user the worker must run as: LocalSystem unless the caller says otherwise.
  std::string server_user = TARNU_INPUT_LOCAL_SYSTEM_SID;
  if (argc >= 3 && std::wstring(argv[1]) == L"--server-user") {
    server_user.assign(argv[2], argv[2] + std::wcslen(argv[2]));  // a SID is ASCII
    argv += 2;
    argc -= 2;
  }
  if (argc < 2) {
    return usage();
  }
  const std::wstring mode = argv[1];
  const auto count = [&](int i) {
    return static_cast<std::size_t>(std::wcstol(argv[i], nullptr, 0));
  };
  const auto plan_key = [&](int i) {
    return argc > i ? static_cast<std::uint64_t>(std::wcstoull(argv[i], nullptr, 0)) : kDefaultSeed;
  };
  // Cycles FIRST to LAST - 1 from the arguments at i and i + 1, within the plan's cycles.
  const auto range = [&](int i, std::size_t cycles) {
    cycles = std::max<std::size_t>(cycles, 1);
    const std::size_t last = argc > i + 1 ? std::min(count(i + 1), cycles) : cycles;
    return Range{argc > i ? std::min(count(i), last) : 0, last};
  };
  if (mode == L"soak" && argc >= 7) {
    return soak(static_cast<std::uint32_t>(count(2)), server_user.c_str(), argv[3], count(4),
                count(5), std::max<std::size_t>(count(6), 1), plan_key(7), range(8, count(4)));
  }
  if (mode == L"floor" && argc >= 6) {
    return floor_run(argv[2], count(3), count(4), std::max<std::size_t>(count(5), 1), plan_key(6));
  }
  if (mode == L"squat" && argc >= 4) {
    return squat(argv[2], argv[3]);
  }
  if (mode == L"privileges" && argc >= 3) {
    return privileges(static_cast<DWORD>(count(2)));
  }
  if (mode == L"impostor" && argc >= 3) {
    return impostor(argv[2]);
  }
  return usage();
}
