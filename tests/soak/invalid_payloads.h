#pragma once

#include <cstdint>
#include <vector>

namespace tarnu::soak {

// One payload for every way a payload can fail to decode: reading faults (truncation,
// reserved marker, nesting, bad UTF-8) and every structural fault of the tag, the fields
// and the array form. The decoder's texts for them are held in tests/protocol.
const std::vector<std::vector<std::uint8_t>>& invalid_payloads();

}  // namespace tarnu::soak
