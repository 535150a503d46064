#pragma once

#include <string>
#include <string_view>

#include "protocol/buffered_value.h"

namespace tarnu::protocol {

// Appends how an error message names a value: "unit value", "boolean `true`",
// "integer `-5`", "floating point `1.0`", "string \"...\"", "byte array", "sequence", "map"
// or "newtype struct".
void append_value_description(std::string& out, const BufferedValue& value);

// Appends a 64-bit float as its shortest round-trip decimal (of two equally short and equally
// near, the one farther from zero), never in exponent form and with ".0" when it has no
// decimal point; "NaN", "inf" and "-inf" otherwise.
void append_float_text(std::string& out, double value);

// Appends valid UTF-8 text between double quotes with `"` and `\` escaped, \t \r \n \0 for
// those characters, \u{hex} for other control, format, separator, private-use, unassigned
// and combining code points, and everything else as it stands.
void append_quoted_text(std::string& out, std::string_view text);

}  // namespace tarnu::protocol
