#pragma once

// Small helpers the contract cases share.

#include <string>
#include <string_view>

namespace tarnu::contract {

// UTF-16 text as plain text for test messages (non-ASCII as '?').
inline std::string narrow(std::u16string_view text) {
  std::string result;
  for (const char16_t unit : text) {
    result += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return result;
}

// "S-1-" followed by at least two more numbers, digits and dashes only: what
// ConvertSidToStringSidW makes of a SID.
inline bool is_sid_text(std::u16string_view text) {
  if (text.substr(0, 4) != u"S-1-" || text.size() < 7 || text.back() == u'-') {
    return false;
  }
  int dashes = 0;
  for (const char16_t unit : text.substr(4)) {
    if (unit == u'-') {
      ++dashes;
    } else if (unit < u'0' || unit > u'9') {
      return false;
    }
  }
  return dashes >= 1;
}

}  // namespace tarnu::contract
