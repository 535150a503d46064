#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/input_command.h"

namespace tarnu::bench {

// The traffic of a remote session as the benchmarks replay it: mostly absolute pointer
// moves, with a key typed and a left click (pressed and released where the pointer is,
// dragging in between) once every 16 commands. Every press is released within its cycle,
// so a client that stops after any whole number of cycles leaves nothing held.
inline constexpr std::size_t kMixCycle = 16;

// Command `index` of the mix; the positions stay on a 1920x1080 screen.
protocol::InputCommand mix_command(std::size_t index);

// `count` frames of the mix, back to back, as a client writes them: a 4-byte little-endian
// length, then the command in the map form. `offsets` receives where each frame starts
// (and, last, the end of the stream).
std::vector<std::uint8_t> mix_stream(std::size_t count, std::vector<std::size_t>* offsets);

}  // namespace tarnu::bench
