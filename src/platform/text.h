#pragma once

#include <string>
#include <string_view>

namespace tarnu::platform {

// Text read from Windows is UTF-16 that may hold unpaired surrogates; each one becomes
// U+FFFD so that the conversion never fails.
std::string utf16_to_utf8(std::u16string_view text);

// Text handed to Windows. Invalid UTF-8 sequences become U+FFFD. The result carries no
// terminator of its own; std::u16string::c_str() provides the NUL that Windows needs.
std::u16string utf8_to_utf16(std::string_view text);

}  // namespace tarnu::platform
