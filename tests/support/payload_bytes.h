#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tarnu::support {

// Bytes from hexadecimal text such as "84 a4 74 79"; spaces are ignored. Throws
// std::invalid_argument on anything else.
std::vector<std::uint8_t> hex_bytes(std::string_view hex);

// Concatenates byte sequences.
std::vector<std::uint8_t> concat(std::initializer_list<std::vector<std::uint8_t>> parts);

// A MessagePack str in its shortest format.
std::vector<std::uint8_t> str(std::string_view text);

// The nine example payloads, as a client normally writes them.
struct ExamplePayload {
  std::string name;
  std::string hex;
};
const std::vector<ExamplePayload>& example_payloads();

// The bytes of the example payload of this name; throws std::invalid_argument when there
// is none.
std::vector<std::uint8_t> example_bytes(std::string_view name);

}  // namespace tarnu::support
