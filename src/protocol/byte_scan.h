#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarnu::protocol {

// Comparisons and scans over the short names and texts of a payload, done a machine word at
// a time. Words may overlap at the end, but never reach outside the `length` bytes given.
namespace byte_scan {

template <typename Word>
Word load(const char* data) {
  Word word;
  std::memcpy(&word, data, sizeof word);
  return word;
}

inline bool equal(const char* a, const char* b, std::size_t length) {
  if (length >= 8) {
    for (std::size_t index = 0; index + 8 < length; index += 8) {
      if (load<std::uint64_t>(a + index) != load<std::uint64_t>(b + index)) {
        return false;
      }
    }
    return load<std::uint64_t>(a + length - 8) == load<std::uint64_t>(b + length - 8);
  }
  if (length >= 4) {
    return load<std::uint32_t>(a) == load<std::uint32_t>(b) &&
           load<std::uint32_t>(a + length - 4) == load<std::uint32_t>(b + length - 4);
  }
  if (length >= 2) {
    return load<std::uint16_t>(a) == load<std::uint16_t>(b) &&
           load<std::uint16_t>(a + length - 2) == load<std::uint16_t>(b + length - 2);
  }
  return length == 0 || a[0] == b[0];
}

inline bool is_ascii(const char* data, std::size_t length) {
  if (length >= 8) {
    std::uint64_t any = load<std::uint64_t>(data + length - 8);
    for (std::size_t index = 0; index + 8 < length; index += 8) {
      any |= load<std::uint64_t>(data + index);
    }
    return (any & 0x8080808080808080u) == 0;
  }
  if (length >= 4) {
    return ((load<std::uint32_t>(data) | load<std::uint32_t>(data + length - 4)) & 0x80808080u) ==
           0;
  }
  if (length >= 2) {
    return ((load<std::uint16_t>(data) | load<std::uint16_t>(data + length - 2)) & 0x8080u) == 0;
  }
  return length == 0 || static_cast<unsigned char>(data[0]) < 0x80;
}

}  // namespace byte_scan
}  // namespace tarnu::protocol
