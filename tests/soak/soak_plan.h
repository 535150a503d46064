#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/input_command.h"

namespace tarnu::soak {

// How a connection of the soak ends. Everything but kClose ends it in the middle of the
// frame layer: the worker drops the client there.
enum class Ending : std::uint8_t {
  kClose,       // after the last whole frame
  kZeroLength,  // a length of 0
  kHugeLength,  // a length above 65536
  kMidLength,   // 1 to 3 bytes of a length, then gone
  kMidPayload,  // a valid length and part of its payload, then gone
};

// One connection: the bytes the client writes, cut into the writes it makes them in, and
// what the worker must do with them.
struct Cycle {
  std::vector<std::uint8_t> stream;
  std::vector<std::size_t> writes;  // sizes of the successive writes, summing to the stream
  Ending ending = Ending::kClose;
  std::size_t frames = 0;          // the ending's partial or bad frame included
  std::size_t invalid_frames = 0;  // undecodable payloads and the bad ending
  // The commands the worker decodes and injects, in order; the end-of-connection release
  // follows them.
  std::vector<protocol::InputCommand> injected;
};

// A reproducible soak: `cycles` connections carrying `frames` frames in all, about a tenth
// of them invalid. Valid commands are mostly pointer moves, then keys, buttons and wheels,
// a few release-alls (no secure-attention requests: see the .cc); positions stay inside `area` so
// that the window there receives every pointer message. Keys are ones that make no window or system
// react (no Alt, Windows, F10 or Escape).
class SoakPlan {
 public:
  struct Area {
    std::int32_t left, top, right, bottom;  // inclusive
  };

  SoakPlan(std::uint64_t plan_key, std::size_t cycles, std::size_t frames, Area area);

  std::size_t cycles() const { return cycles_; }
  // The same index always gives the same cycle.
  Cycle cycle(std::size_t index) const;

 private:
  std::uint64_t plan_key_;
  std::size_t cycles_;
  std::size_t frames_;
  Area area_;
};

}  // namespace tarnu::soak
