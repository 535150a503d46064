#include "soak_plan.h"

#include <algorithm>
#include <array>

#include "common/command_encoder.h"
#include "invalid_payloads.h"
#include "protocol/decode_input_command.h"

namespace tarnu::soak {
namespace {

using protocol::InputCommand;
using protocol::MouseButton;
using Bytes = std::vector<std::uint8_t>;

// splitmix64: the same sequence from the same starting key on every compiler and library.
class Random {
 public:
  explicit Random(std::uint64_t plan_key) : state_(plan_key) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform enough in [low, high] for a test's purposes.
  std::int64_t between(std::int64_t low, std::int64_t high) {
    return low + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(high - low + 1));
  }
  bool chance(int percent) { return between(0, 99) < percent; }

 private:
  std::uint64_t state_;
};

// Letters, digits, space, Shift, Ctrl, the arrows, Insert, Delete, Home and End.
constexpr std::array<std::uint16_t, 16> kKeys = {0x41, 0x42, 0x43, 0x4b, 0x5a, 0x30, 0x39, 0x20,
                                                 0x10, 0x11, 0x25, 0x26, 0x27, 0x28, 0x2e, 0x24};

InputCommand valid_command(Random& random, const SoakPlan::Area& area) {
  const auto x = [&] { return static_cast<std::int32_t>(random.between(area.left, area.right)); };
  const auto y = [&] { return static_cast<std::int32_t>(random.between(area.top, area.bottom)); };
  const auto button = [&] { return static_cast<MouseButton>(random.between(0, 4)); };
  const std::int64_t pick = random.between(0, 99);
  if (pick < 60) {
    std::optional<MouseButton> drag;
    if (random.chance(10)) {
      drag = button();
    }
    return {InputCommand::MouseMove{x(), y(), drag}};
  }
  if (pick < 80) {
    return {InputCommand::Key{kKeys[static_cast<std::size_t>(random.between(0, kKeys.size() - 1))],
                              random.chance(50)}};
  }
  if (pick < 89) {
    // Some at (0, 0): those act where the pointer is.
    const bool here = random.chance(30);
    return {InputCommand::MouseButton{button(), random.chance(50), here ? 0 : x(), here ? 0 : y()}};
  }
  if (pick < 96) {
    return {InputCommand::Scroll{static_cast<std::int32_t>(random.between(-2, 2)),
                                 static_cast<std::int32_t>(random.between(-3, 3))}};
  }
  // No secure-attention requests: under Wine sas.dll exports SendSAS as an unimplemented
  // stub, and calling it ends the process.
  return {InputCommand::ReleaseAll{}};
}

// An undecodable payload: one of the fixed faults, random bytes, or a valid payload cut
// short. Whatever happens to decode is turned into a reserved marker.
Bytes invalid_payload(Random& random, const SoakPlan::Area& area) {
  const std::int64_t pick = random.between(0, 99);
  Bytes payload;
  if (pick < 60) {
    const auto& table = invalid_payloads();
    payload = table[static_cast<std::size_t>(random.between(0, table.size() - 1))];
  } else if (pick < 80) {
    payload.resize(static_cast<std::size_t>(random.between(1, 64)));
    for (std::uint8_t& byte : payload) {
      byte = static_cast<std::uint8_t>(random.next());
    }
  } else {
    payload = tools::encode_input_command(valid_command(random, area));
    payload.resize(static_cast<std::size_t>(random.between(1, payload.size() - 1)));
  }
  if (protocol::decode_input_command(payload).has_value()) {
    payload[0] = 0xc1;
  }
  return payload;
}

void append(Bytes& stream, const Bytes& bytes) {
  stream.insert(stream.end(), bytes.begin(), bytes.end());
}

void append_frame(Bytes& stream, const Bytes& payload) {
  append(stream, tools::length_prefix(static_cast<std::uint32_t>(payload.size())));
  append(stream, payload);
}

}  // namespace

SoakPlan::SoakPlan(std::uint64_t plan_key, std::size_t cycles, std::size_t frames, Area area)
    : plan_key_(plan_key),
      cycles_(std::max<std::size_t>(cycles, 1)),
      frames_(frames),
      area_(area) {}

Cycle SoakPlan::cycle(std::size_t index) const {
  Random random(plan_key_ ^ (0xa0761d6478bd642fULL * (index + 1)));
  Cycle cycle;
  // The frames are spread evenly; the first cycles take the remainder.
  const std::size_t frames = frames_ / cycles_ + (index < frames_ % cycles_ ? 1 : 0);
  if (frames > 0 && random.chance(80)) {
    cycle.ending = static_cast<Ending>(random.between(1, 4));
  }
  const std::size_t whole = cycle.ending == Ending::kClose ? frames : frames - 1;
  // Invalid frames inside the stream make up the rest of the tenth.
  const std::int64_t wanted_invalid =
      static_cast<std::int64_t>((frames + 5) / 10) - (cycle.ending == Ending::kClose ? 0 : 1);
  std::vector<bool> invalid(whole, false);
  for (std::int64_t placed = 0; placed < wanted_invalid && whole > 0; ++placed) {
    invalid[static_cast<std::size_t>(random.between(0, whole - 1))] = true;
  }
  for (std::size_t frame = 0; frame < whole; ++frame) {
    if (invalid[frame]) {
      append_frame(cycle.stream, invalid_payload(random, area_));
      ++cycle.invalid_frames;
    } else {
      InputCommand command = valid_command(random, area_);
      append_frame(cycle.stream, tools::encode_input_command(command));
      cycle.injected.push_back(std::move(command));
    }
  }
  cycle.frames = whole;
  if (cycle.ending != Ending::kClose) {
    ++cycle.frames;
    ++cycle.invalid_frames;
  }
  switch (cycle.ending) {
    case Ending::kClose:
      break;
    case Ending::kZeroLength:
      append(cycle.stream, tools::length_prefix(0));
      break;
    case Ending::kHugeLength:
      append(cycle.stream,
             tools::length_prefix(static_cast<std::uint32_t>(random.between(65537, 0xffffffff))));
      break;
    case Ending::kMidLength: {
      const Bytes length = tools::length_prefix(static_cast<std::uint32_t>(random.between(1, 64)));
      cycle.stream.insert(cycle.stream.end(), length.begin(),
                          length.begin() + random.between(1, 3));
      break;
    }
    case Ending::kMidPayload: {
      const Bytes payload = tools::encode_input_command(valid_command(random, area_));
      append(cycle.stream, tools::length_prefix(static_cast<std::uint32_t>(payload.size())));
      cycle.stream.insert(cycle.stream.end(), payload.begin(),
                          payload.begin() + random.between(0, payload.size() - 1));
      break;
    }
  }
  // Mostly large writes holding many frames, with runs of tiny ones that split lengths and
  // payloads.
  for (std::size_t left = cycle.stream.size(); left > 0;) {
    const std::size_t size = static_cast<std::size_t>(random.chance(70) ? random.between(64, 4096)
                                                                        : random.between(1, 16));
    cycle.writes.push_back(std::min(size, left));
    left -= cycle.writes.back();
  }
  return cycle;
}

}  // namespace tarnu::soak
