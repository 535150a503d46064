#pragma once

#include <cstdint>
#include <vector>

#include "protocol/input_command.h"

namespace tarnu::tools {

// A command in the map form that clients normally write: the "type" entry first, then the
// fields in declaration order (`drag_button` always present, nil when no button is given),
// each integer in its shortest format.
std::vector<std::uint8_t> encode_input_command(const protocol::InputCommand& command);

// The payload behind its 4-byte little-endian length.
std::vector<std::uint8_t> frame_payload(const std::vector<std::uint8_t>& payload);

// The bare 4-byte little-endian length.
std::vector<std::uint8_t> length_prefix(std::uint32_t length);

}  // namespace tarnu::tools
