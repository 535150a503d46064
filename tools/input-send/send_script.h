#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/expected.h"

namespace tarnu::tools {

// One write to the pipe: a whole frame, a bare length prefix or bare bytes.
struct WriteStep {
  std::vector<std::uint8_t> bytes;
  bool operator==(const WriteStep&) const = default;
};

// A pause between writes.
struct SleepStep {
  std::uint32_t milliseconds = 0;
  bool operator==(const SleepStep&) const = default;
};

using SendStep = std::variant<WriteStep, SleepStep>;

// What one script line asks for, in order. Lines:
//   move X Y [BUTTON]            button NAME down|up [X Y]     scroll DX DY
//   key VK down|up               tap VK                        type TEXT
//   release-all                  sas                           sleep MS
//   raw HEX (a frame around the payload)   frame-len N (a bare length prefix)
//   bytes HEX (bare bytes, no prefix)
// Blank lines and lines starting with '#' ask for nothing. Numbers are decimal or 0x-hex.
Result<std::vector<SendStep>> parse_send_line(std::string_view line);

}  // namespace tarnu::tools
