#include "protocol/escaped_code_points.h"

#include <algorithm>
#include <span>

namespace tarnu::protocol {

bool is_escaped_code_point(char32_t code_point) {
  const std::span ranges(kEscapedCodePoints, kEscapedCodePointRangeCount);
  // The first range that does not end before the code point.
  const auto range = std::ranges::lower_bound(ranges, code_point, {}, &CodePointRange::last);
  return range != ranges.end() && range->first <= code_point;
}

}  // namespace tarnu::protocol
