#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tarnu::tools {

// Bytes from pairs of hexadecimal digits (either case). Characters in `ignored` may stand
// anywhere, even inside a pair; anything else, or an odd number of digits, gives nothing.
std::optional<std::vector<std::uint8_t>> parse_hex(std::string_view text,
                                                   std::string_view ignored = {});

}  // namespace tarnu::tools
