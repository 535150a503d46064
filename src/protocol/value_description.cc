#include "protocol/value_description.h"

#include <charconv>
#include <cmath>

#include "platform/text.h"
#include "protocol/escaped_code_points.h"

namespace tarnu::protocol {
namespace {

void append_decimal(std::string& out, auto number) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  out.append(digits, result.ptr);
}

void append_hex(std::string& out, char32_t code_point) {
  char digits[8];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, static_cast<std::uint32_t>(code_point), 16);
  out.append(digits, result.ptr);
}

}  // namespace

void append_value_description(std::string& out, const BufferedValue& value) {
  switch (value.kind) {
    case ValueKind::kNil:
      out += "unit value";
      return;
    case ValueKind::kBoolean:
      out += value.boolean ? "boolean `true`" : "boolean `false`";
      return;
    case ValueKind::kUnsigned:
      out += "integer `";
      append_decimal(out, value.unsigned_value);
      out += '`';
      return;
    case ValueKind::kSigned:
      out += "integer `";
      append_decimal(out, value.signed_value);
      out += '`';
      return;
    case ValueKind::kFloat:
      out += "floating point `";
      append_float_text(out, value.float_value);
      out += '`';
      return;
    case ValueKind::kText:
      out += "string ";
      append_quoted_text(out, value.bytes());
      return;
    case ValueKind::kBytes:
      out += "byte array";
      return;
    case ValueKind::kArray:
      out += "sequence";
      return;
    case ValueKind::kMap:
      out += "map";
      return;
    case ValueKind::kExt:
      out += "newtype struct";
      return;
  }
}

void append_float_text(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return;
  }
  // The shortest round-trip digits come in scientific form ("-1.2345e+02"); they are laid
  // out again in plain positional form, padded with zeros where needed.
  char scientific[32];
  const auto result = std::to_chars(scientific, scientific + sizeof scientific, value,
                                    std::chars_format::scientific);
  std::string_view text(scientific, static_cast<std::size_t>(result.ptr - scientific));
  if (text.front() == '-') {
    out += '-';
    text.remove_prefix(1);
  }
  const std::size_t exponent_mark = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + exponent_mark + (text[exponent_mark + 1] == '+' ? 2 : 1),
                  text.data() + text.size(), exponent);
  std::string digits;
  for (const char c : text.substr(0, exponent_mark)) {
    if (c != '.') {
      digits += c;
    }
  }
  const int digit_count = static_cast<int>(digits.size());
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else if (exponent + 1 >= digit_count) {
    out += digits;
    out.append(static_cast<std::size_t>(exponent + 1 - digit_count), '0');
    out += ".0";
  } else {
    out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
    out += '.';
    out.append(digits, static_cast<std::size_t>(exponent + 1));
  }
}

void append_quoted_text(std::string& out, std::string_view text) {
  out += '"';
  std::size_t index = 0;
  while (index < text.size()) {
    const std::size_t start = index;
    const char32_t code_point = platform::next_code_point(text, index);
    switch (code_point) {
      case U'"':
        out += "\\\"";
        continue;
      case U'\\':
        out += "\\\\";
        continue;
      case U'\t':
        out += "\\t";
        continue;
      case U'\r':
        out += "\\r";
        continue;
      case U'\n':
        out += "\\n";
        continue;
      case U'\0':
        out += "\\0";
        continue;
      default:
        break;
    }
    if (code_point != U' ' && is_escaped_code_point(code_point)) {
      out += "\\u{";
      append_hex(out, code_point);
      out += '}';
    } else {
      out.append(text, start, index - start);
    }
  }
  out += '"';
}

}  // namespace tarnu::protocol
