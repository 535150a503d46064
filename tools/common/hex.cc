#include "common/hex.h"

namespace tarnu::tools {

std::optional<std::vector<std::uint8_t>> parse_hex(std::string_view text,
                                                   std::string_view ignored) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  int high = -1;
  for (const char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (ignored.find(c) != std::string_view::npos) {
      continue;
    } else {
      return std::nullopt;
    }
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace tarnu::tools
