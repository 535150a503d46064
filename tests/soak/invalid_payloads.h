#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnu::soak {

// A payload the decoder must refuse, with the text it refuses it with (without the
// "decode input command: " prefix).
struct InvalidPayload {
  std::vector<std::uint8_t> bytes;
  std::string error;
};

// One payload for every way a payload can fail to decode: reading faults (truncation,
// reserved marker, nesting, bad UTF-8) and every structural fault of the tag, the fields
// and the array form.
const std::vector<InvalidPayload>& invalid_payloads();

}  // namespace tarnu::soak
