#pragma once

#include <string>
#include <string_view>

namespace tarnu::tools {

// The one-line answer of payload-decode for one input line: the line is a payload in
// hexadecimal (either case, a trailing CR ignored). "OK <command>", "ERR <error text>" with
// control characters made visible (^ as ^^, U+0000 to U+001F as ^@ to ^_, U+007F as ^?), or
// "BADHEX". An empty line is an empty payload.
std::string answer_line(std::string_view line);

}  // namespace tarnu::tools
