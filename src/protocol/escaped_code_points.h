#pragma once

#include <cstddef>

namespace tarnu::protocol {

// An inclusive range of code points.
struct CodePointRange {
  char32_t first;
  char32_t last;
};

// Sorted, disjoint ranges of the code points that a quoted text writes as \u{...}: control,
// format, surrogate, private-use, unassigned, separator and combining-mark code points.
// Generated from the Unicode character database by unicode/regenerate.sh and committed, so
// that the texts do not depend on the Unicode data of the machine that builds them.
extern const CodePointRange kEscapedCodePoints[];
extern const std::size_t kEscapedCodePointRangeCount;

bool is_escaped_code_point(char32_t code_point);

}  // namespace tarnu::protocol
