#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnu::protocol {

// Where a byte string stops being UTF-8. `error_length` is the length of the invalid
// sequence (1 to 3), or 0 when the string ends inside a sequence that was valid so far.
struct Utf8Check {
  bool valid = true;
  std::size_t valid_up_to = 0;
  std::uint8_t error_length = 0;
};

// Validates strictly: no overlong forms, no surrogates, nothing above U+10FFFF. An invalid
// sequence is the longest prefix of a well-formed sequence that the bytes begin with, or one
// byte when none.
Utf8Check check_utf8(std::string_view bytes);

// Whether the bytes are valid UTF-8; fast for the plain ASCII names of ordinary payloads.
bool is_utf8(std::string_view bytes);

// The bytes as text, each invalid sequence (and a truncated one at the end) replaced by
// U+FFFD.
std::string utf8_lossy(std::string_view bytes);

// Decodes the code point starting at `index` of valid UTF-8 text and advances `index`.
char32_t next_code_point(std::string_view text, std::size_t& index);

}  // namespace tarnu::protocol
