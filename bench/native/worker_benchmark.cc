// The worker's own work per command, with every platform call answered at once by a null
// seam: frame reassembly in the real frame loop, decoding, held-input bookkeeping,
// translation to input records and the status file's path and content. Each benchmark
// reports the CPU time per command (`per_cmd`) and the heap allocations per command
// (`allocs/cmd`) for the mix of bench/mix.

#include <benchmark/benchmark.h>

#include <array>
#include <span>
#include <vector>

#include "allocation_counter.h"
#include "common/command_encoder.h"
#include "fakes/fake_library_api.h"
#include "fakes/fake_monotonic_clock.h"
#include "fakes/fake_session_api.h"
#include "mix/command_mix.h"
#include "null_platform.h"
#include "protocol/decode_input_command.h"
#include "windows_input/input_injector.h"
#include "worker/pipe_server.h"
#include "worker/status_file.h"

namespace tarnu::bench {
namespace {

// One client connection carries this many frames: whole cycles of the mix, so that it
// leaves nothing held, and enough of them that the end of the connection weighs little.
constexpr std::size_t kFramesPerConnection = 256 * kMixCycle;

// The injector over null seams, as the worker owns it. The mix has no secure attention
// command, so the libraries are never asked for anything.
struct NullInjection {
  fakes::HandleLedger ledger;
  NullDesktopApi desktops;
  NullInputApi input;
  fakes::FakeLibraryApi libraries{ledger};
  fakes::FakeMonotonicClock clock;
  windows_input::RefusalGate gate;
  windows_input::InputInjector injector{
      windows_input::InjectorPlatform{desktops, input, libraries, clock, gate}};
};

// Sets the per-command counters from the number of commands handled per iteration and the
// allocations counted during the timed loop.
void report(benchmark::State& state, std::size_t commands_per_iteration,
            std::uint64_t allocations) {
  const double commands =
      static_cast<double>(commands_per_iteration) * static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(commands));
  // CPU time per command: the inverse of a rate, shown as a time (e.g. 250ns).
  state.counters["per_cmd"] = benchmark::Counter(
      static_cast<double>(commands_per_iteration),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs/cmd"] = benchmark::Counter(static_cast<double>(allocations) / commands);
}

// Everything the worker does for a connection's frames: the real frame loop over a pipe
// that hands over exactly what each read asks for.
void BM_FrameLoop(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = mix_stream(kFramesPerConnection, nullptr);
  NullHandleApi handles;
  NullInjection injection;
  // Asked only by a server's own loop, which the benchmark does not run.
  fakes::FakeSessionApi sessions{injection.ledger};
  StreamPipeApi pipes;
  NullFileSystemApi files;
  const worker::WorkerPlatform platform{handles, sessions, pipes, files};
  worker::PipeServer server(platform, injection.injector, &protocol::decode_input_command, 1);

  // Two connections first, so that the buffers kept for reuse have reached their size (the
  // held-key list and the one a release works through trade storage at each release).
  for (int warm_up = 0; warm_up < 2; ++warm_up) {
    pipes.start(stream);
    server.serve_connection(platform::PipeHandle(1));
  }
  const std::uint64_t before = heap_allocations();
  for (auto _ : state) {
    pipes.start(stream);
    server.serve_connection(platform::PipeHandle(1));
  }
  const std::uint64_t allocations = heap_allocations() - before;
  benchmark::DoNotOptimize(injection.input.checksum());
  report(state, kFramesPerConnection, allocations);
}
BENCHMARK(BM_FrameLoop);

// Decoding alone, one payload of the mix per iteration.
void BM_Decode(benchmark::State& state) {
  std::vector<std::vector<std::uint8_t>> payloads;
  for (std::size_t i = 0; i < kMixCycle; ++i) {
    payloads.push_back(tools::encode_input_command(mix_command(i)));
  }
  std::size_t index = 0;
  const std::uint64_t before = heap_allocations();
  for (auto _ : state) {
    auto command = protocol::decode_input_command(payloads[index]);
    benchmark::DoNotOptimize(command);
    index = (index + 1) % kMixCycle;
  }
  report(state, 1, heap_allocations() - before);
}
BENCHMARK(BM_Decode);

// Binding, bookkeeping and translation of one decoded command of the mix per iteration.
void BM_BindAndInject(benchmark::State& state) {
  std::vector<protocol::InputCommand> commands;
  for (std::size_t i = 0; i < kMixCycle; ++i) {
    commands.push_back(mix_command(i));
  }
  NullInjection injection;
  for (const auto& command : commands) {
    injection.injector.inject_command(command);
  }
  std::size_t index = 0;
  const std::uint64_t before = heap_allocations();
  for (auto _ : state) {
    auto outcome = injection.injector.bind_input_desktop();
    benchmark::DoNotOptimize(outcome);
    injection.injector.inject_command(commands[index]);
    index = (index + 1) % kMixCycle;
  }
  benchmark::DoNotOptimize(injection.input.checksum());
  report(state, 1, heap_allocations() - before);
}
BENCHMARK(BM_BindAndInject);

// The status file's path and content for one successful binding.
void BM_StatusWrite(benchmark::State& state) {
  NullHandleApi handles;
  NullFileSystemApi files;
  const windows_input::StatusOutcome outcome = windows_input::StatusOutcome::Success("Default");
  worker::StatusFile status_file(files, handles, 1);
  status_file.write(outcome);
  const std::uint64_t before = heap_allocations();
  for (auto _ : state) {
    status_file.write(outcome);
  }
  report(state, 1, heap_allocations() - before);
}
BENCHMARK(BM_StatusWrite);

}  // namespace
}  // namespace tarnu::bench

BENCHMARK_MAIN();
