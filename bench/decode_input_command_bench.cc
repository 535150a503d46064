// Time and heap allocations per decode, for the nine example payloads and for commands with
// more buffered entries. Run from the `bench` preset for meaningful figures.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "allocation_counter.h"
#include "protocol/decode_input_command.h"

namespace {

std::vector<std::uint8_t> from_hex(std::string_view hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t index = 0; index + 1 < hex.size(); index += 2) {
    bytes.push_back(
        static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(index, 2)), nullptr, 16)));
  }
  return bytes;
}

std::vector<std::uint8_t> str(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(1 + text.size());
  bytes.push_back(static_cast<std::uint8_t>(0xa0 | text.size()));
  for (const char c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
  }
  return bytes;
}

void append(std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& more) {
  for (const std::uint8_t byte : more) {
    bytes.push_back(byte);
  }
}

// A key command in map form whose map holds `unknown` extra entries besides its two fields,
// so that it buffers `unknown + 2` entries.
std::vector<std::uint8_t> key_with_extra_entries(std::size_t unknown) {
  std::vector<std::uint8_t> bytes{0xde, 0, static_cast<std::uint8_t>(unknown + 3)};
  append(bytes, str("type"));
  append(bytes, str("key"));
  for (std::size_t index = 0; index < unknown; ++index) {
    append(bytes, str("extra" + std::to_string(index)));
    bytes.push_back(static_cast<std::uint8_t>(index));
  }
  append(bytes, str("key_code"));
  bytes.push_back(0x41);
  append(bytes, str("down"));
  bytes.push_back(0xc3);
  return bytes;
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
  const struct {
    const char* name;
    const char* hex;
  } examples[] = {
      {"MouseMove", "84a474797065a96d6f7573654d6f7665a17864a179ccc8ab647261675f627574746f6ec0"},
      {"MouseMoveDrag",
       "84a474797065a96d6f7573654d6f7665a178fba179cd012cab647261675f627574746f6ea46c656674"},
      {"MouseButton",
       "85a474797065ab6d6f757365427574746f6ea6627574746f6ea57269676874a4646f776ec3a1780aa17914"},
      {"Scroll", "83a474797065a67363726f6c6ca764656c74615f7800a764656c74615f79ff"},
      {"Key", "83a474797065a36b6579a86b65795f636f646541a4646f776ec3"},
      {"ReleaseAll", "81a474797065aa72656c65617365416c6c"},
      {"SecureAttention", "81a474797065af736563757265417474656e74696f6e"},
      {"ScrollArray", "93a67363726f6c6c00ff"},
      {"ReleaseAllArray", "91aa72656c65617365416c6c"},
  };
  for (const auto& example : examples) {
    benchmark::RegisterBenchmark((std::string("Example/") + example.name).c_str(), decode,
                                 from_hex(example.hex));
  }
  benchmark::RegisterBenchmark("KeyBuffering/16Entries", decode, key_with_extra_entries(14));
  benchmark::RegisterBenchmark("KeyBuffering/40Entries", decode, key_with_extra_entries(38));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
