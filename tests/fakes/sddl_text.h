#pragma once

#include <cstddef>
#include <string_view>

namespace tarnu::fakes {

// What the fakes need to know of an SDDL text: whether ConvertStringSecurityDescriptorTo-
// SecurityDescriptorW would take it at all (empty, or starting with an owner, group, DACL or
// SACL component; anything else fails with 87), and whether it carries a DACL.
inline bool converts_as_sddl(std::u16string_view sddl) {
  if (sddl.empty()) {
    return true;
  }
  return sddl.size() >= 2 && sddl[1] == u':' &&
         (sddl[0] == u'O' || sddl[0] == u'G' || sddl[0] == u'D' || sddl[0] == u'S');
}

// A "D:" component outside the parentheses of the ACEs.
inline bool sddl_has_dacl(std::u16string_view sddl) {
  int depth = 0;
  for (std::size_t i = 0; i + 1 < sddl.size(); ++i) {
    if (sddl[i] == u'(') {
      ++depth;
    } else if (sddl[i] == u')') {
      --depth;
    } else if (depth == 0 && sddl[i] == u'D' && sddl[i + 1] == u':') {
      return true;
    }
  }
  return false;
}

}  // namespace tarnu::fakes
