#include "support/payload_bytes.h"

#include <stdexcept>

#include "common/hex.h"

namespace tarnu::support {

std::vector<std::uint8_t> hex_bytes(std::string_view hex) {
  auto bytes = tools::parse_hex(hex, " ");
  if (!bytes) {
    throw std::invalid_argument("not whole hex bytes: " + std::string(hex));
  }
  return *std::move(bytes);
}

std::vector<std::uint8_t> concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> bytes;
  for (const auto& part : parts) {
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  return bytes;
}

std::vector<std::uint8_t> str(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  if (text.size() < 32) {
    bytes.push_back(static_cast<std::uint8_t>(0xa0 | text.size()));
  } else {
    bytes.push_back(0xd9);
    bytes.push_back(static_cast<std::uint8_t>(text.size()));
  }
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

const std::vector<ExamplePayload>& example_payloads() {
  static const std::vector<ExamplePayload> examples = {
      {"MouseMove",
       "84 a4 74 79 70 65 a9 6d 6f 75 73 65 4d 6f 76 65 a1 78 64 a1 79 cc c8 ab 64 72 61 67 5f 62 "
       "75 74 74 6f 6e c0"},
      {"MouseMoveDrag",
       "84 a4 74 79 70 65 a9 6d 6f 75 73 65 4d 6f 76 65 a1 78 fb a1 79 cd 01 2c ab 64 72 61 67 5f "
       "62 75 74 74 6f 6e a4 6c 65 66 74"},
      {"MouseButton",
       "85 a4 74 79 70 65 ab 6d 6f 75 73 65 42 75 74 74 6f 6e a6 62 75 74 74 6f 6e a5 72 69 67 68 "
       "74 a4 64 6f 77 6e c3 a1 78 0a a1 79 14"},
      {"Scroll",
       "83 a4 74 79 70 65 a6 73 63 72 6f 6c 6c a7 64 65 6c 74 61 5f 78 00 a7 64 65 6c 74 61 5f 79 "
       "ff"},
      {"Key", "83 a4 74 79 70 65 a3 6b 65 79 a8 6b 65 79 5f 63 6f 64 65 41 a4 64 6f 77 6e c3"},
      {"ReleaseAll", "81 a4 74 79 70 65 aa 72 65 6c 65 61 73 65 41 6c 6c"},
      {"SecureAttention", "81 a4 74 79 70 65 af 73 65 63 75 72 65 41 74 74 65 6e 74 69 6f 6e"},
      {"ScrollArray", "93 a6 73 63 72 6f 6c 6c 00 ff"},
      {"ReleaseAllArray", "91 aa 72 65 6c 65 61 73 65 41 6c 6c"},
  };
  return examples;
}

std::vector<std::uint8_t> example_bytes(std::string_view name) {
  for (const ExamplePayload& example : example_payloads()) {
    if (example.name == name) {
      return hex_bytes(example.hex);
    }
  }
  throw std::invalid_argument("no example payload " + std::string(name));
}

}  // namespace tarnu::support
