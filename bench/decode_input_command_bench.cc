// Time and heap allocations per decode, for the nine example payloads and for commands with
// more buffered entries. Run from the `bench` preset for meaningful figures.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "allocation_counter.h"
#include "protocol/decode_input_command.h"
#include "support/payload_bytes.h"

namespace {

using tarnu::support::concat;
using tarnu::support::str;

// A key command in map form whose map holds `unknown` extra entries besides its two fields,
// so that it buffers `unknown + 2` entries.
std::vector<std::uint8_t> key_with_extra_entries(std::size_t unknown) {
  std::vector<std::uint8_t> bytes =
      concat({{0xde, 0, static_cast<std::uint8_t>(unknown + 3)}, str("type"), str("key")});
  for (std::size_t index = 0; index < unknown; ++index) {
    bytes =
        concat({bytes, str("extra" + std::to_string(index)), {static_cast<std::uint8_t>(index)}});
  }
  return concat({bytes, str("key_code"), {0x41}, str("down"), {0xc3}});
}

void decode(benchmark::State& state, const std::vector<std::uint8_t>& payload) {
  bool decoded = true;
  const std::uint64_t before = tarnu::bench::heap_allocations();
  for (auto _ : state) {
    auto result = tarnu::protocol::decode_input_command(payload);
    decoded = decoded && result.has_value();
    benchmark::DoNotOptimize(result);
  }
  const std::uint64_t allocations = tarnu::bench::heap_allocations() - before;
  if (!decoded) {
    state.SkipWithError("payload did not decode");
  }
  state.counters["allocs/decode"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["bytes"] = static_cast<double>(payload.size());
}

}  // namespace

int main(int argc, char** argv) {
  for (const auto& example : tarnu::support::example_payloads()) {
    benchmark::RegisterBenchmark(("Example/" + example.name).c_str(), decode,
                                 tarnu::support::hex_bytes(example.hex));
  }
  benchmark::RegisterBenchmark("KeyBuffering/16Entries", decode, key_with_extra_entries(14));
  benchmark::RegisterBenchmark("KeyBuffering/40Entries", decode, key_with_extra_entries(38));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
