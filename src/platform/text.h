#pragma once

#include <charconv>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace tarnu::platform {

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

// Decodes the code point starting at `index` and advances `index` past it. An invalid
// sequence (as check_utf8 delimits it; at the end, whatever is left) decodes as U+FFFD.
char32_t next_code_point(std::string_view text, std::size_t& index);

// The bytes as text, each invalid sequence (and a truncated one at the end) replaced by
// U+FFFD.
std::string utf8_lossy(std::string_view bytes);

// Text read from Windows is UTF-16 that may hold unpaired surrogates; each one becomes
// U+FFFD so that the conversion never fails.
std::string utf16_to_utf8(std::u16string_view text);

// Text handed to Windows. Invalid UTF-8 sequences become U+FFFD, as in utf8_lossy. The
// result carries no terminator of its own; std::u16string::c_str() provides the NUL that
// Windows needs.
std::u16string utf8_to_utf16(std::string_view text);

// Appends an integer in decimal, without leading zeros and with '-' before a negative one, to
// UTF-8 or UTF-16 text; no allocation beyond what the text itself needs.
template <typename Text, std::integral Number>
void append_decimal(Text& text, Number value) {
  char digits[24];
  const char* const end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
  // Unit by unit: the digits are ASCII in either text, and a range append of chars into a
  // std::string trips a false -Wrestrict in MinGW's g++ 12.
  for (const char* digit = digits; digit != end; ++digit) {
    text.push_back(static_cast<typename Text::value_type>(*digit));
  }
}

// Whether a path unit separates two names: Windows takes '/' wherever it takes '\'.
template <typename Unit>
constexpr bool is_path_separator(Unit unit) {
  return unit == static_cast<Unit>('\\') || unit == static_cast<Unit>('/');
}

}  // namespace tarnu::platform
