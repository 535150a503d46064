#pragma once

#include <cstdint>

namespace tarnu::protocol {

// The six commands, numbered as on the wire (the tag's integer form).
enum class CommandKind : std::uint8_t {
  kMouseMove = 0,
  kMouseButton = 1,
  kScroll = 2,
  kKey = 3,
  kReleaseAll = 4,
  kSecureAttention = 5,
};

inline constexpr std::uint64_t kCommandKindCount = 6;

// How a payload wrote the command: fields by name in a map, or by position in an array.
enum class CommandForm : std::uint8_t { kMap, kArray };

// What the first decoding pass found: the command, its form, and how many entries (map
// form: key and value pairs; array form: elements after the tag) it buffered.
struct CommandLayout {
  CommandKind kind;
  CommandForm form;
  std::uint32_t entries;
};

}  // namespace tarnu::protocol
