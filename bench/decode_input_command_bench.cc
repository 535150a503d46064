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

// A mouseMove whose x is a float 64 given by its eight bytes: refused, with the float's text
// in the error.
std::vector<std::uint8_t> move_with_float_x(std::vector<std::uint8_t> float_bytes) {
  return concat(
      {{0x83}, str("type"), str("mouseMove"), str("x"), {0xcb}, float_bytes, str("y"), {0x00}});
}

void decode(benchmark::State& state, const std::vector<std::uint8_t>& payload, bool refused) {
  bool as_expected = true;
  const std::uint64_t before = tarnu::bench::heap_allocations();
  for (auto _ : state) {
    auto result = tarnu::protocol::decode_input_command(payload);
    as_expected = as_expected && result.has_value() != refused;
    benchmark::DoNotOptimize(result);
  }
  const std::uint64_t allocations = tarnu::bench::heap_allocations() - before;
  if (!as_expected) {
    state.SkipWithError(refused ? "payload decoded" : "payload did not decode");
  }
  state.counters["allocs/decode"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["bytes"] = static_cast<double>(payload.size());
}

}  // namespace

int main(int argc, char** argv) {
  for (const auto& example : tarnu::support::example_payloads()) {
    benchmark::RegisterBenchmark(("Example/" + example.name).c_str(), decode,
                                 tarnu::support::hex_bytes(example.hex), false);
  }
  benchmark::RegisterBenchmark("KeyBuffering/16Entries", decode, key_with_extra_entries(14), false);
  benchmark::RegisterBenchmark("KeyBuffering/40Entries", decode, key_with_extra_entries(38), false);
  // The error text of a float: plain shortest digits, and a tie settled away from zero.
  benchmark::RegisterBenchmark("FloatText/123456.78125", decode,
                               move_with_float_x({0x40, 0xfe, 0x24, 0x0c, 0x80, 0, 0, 0}), true);
  benchmark::RegisterBenchmark("FloatText/1500000000000000.25", decode,
                               move_with_float_x({0x43, 0x15, 0x50, 0xf7, 0xdc, 0xa7, 0x00, 0x01}),
                               true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
